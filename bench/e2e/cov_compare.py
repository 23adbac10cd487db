#!/usr/bin/python3
"""Compares two `target,with,cov,cor,n` files; exits non-zero when a value differs by more
than TOL relative (default 1e-9) or a pair or row count differs.

Usage: cov_compare.py A.csv B.csv [TOL]
"""
import csv
import sys


def load(path):
    with open(path) as f:
        rows = [r for r in csv.DictReader(line for line in f if not line.startswith("#"))]
    return {(r["target"], r["with"]): r for r in rows}


def main():
    a, b = load(sys.argv[1]), load(sys.argv[2])
    tol = float(sys.argv[3]) if len(sys.argv) > 3 else 1e-9
    worst = 0.0
    for key, ra in a.items():
        rb = b.get(key)
        if rb is None or ra["n"] != rb["n"]:
            sys.exit(f"mismatch for {key}: {ra} vs {rb}")
        for field in ("cov", "cor"):
            x, y = float(ra[field]), float(rb[field])
            worst = max(worst, abs(x - y) / max(1.0, abs(y)))
    print(f"max relative difference {worst:.3g} over {len(a)} pairs")
    if worst > tol:
        sys.exit(1)


if __name__ == "__main__":
    main()
