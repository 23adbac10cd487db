#!/usr/bin/python3
"""Writes a CSV of ROWS rows and COLS correlated numeric columns x1..xCOLS (fixed seed).

Usage: cov_make_csv.py ROWS COLS OUT.csv
Values are written with 7 significant digits; rows are generated in blocks so memory stays
small at any row count.
"""
import sys

import numpy as np


def main():
    rows, cols, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rng = np.random.default_rng(20261205)
    block = 200_000
    fmt = ",".join(["%.7g"] * cols)
    with open(path, "w") as out:
        out.write(",".join(f"x{c + 1}" for c in range(cols)) + "\n")
        done = 0
        while done < rows:
            n = min(block, rows - done)
            shared = rng.standard_normal((n, 1))
            data = np.arange(cols) + (np.arange(cols) + 1) * (0.6 * shared + rng.standard_normal((n, cols)))
            lines = "\n".join(fmt % tuple(row) for row in data.tolist())
            out.write(lines + "\n")
            done += n


if __name__ == "__main__":
    main()
