#!/usr/bin/env python3
"""A large Gamma fit, w ~ x1 + x2 + g, where an IRLS without R's rules stops early.

Writes ROWS rows (fixed seed) of a positive response w (gamma, shape 1.5, mean 1/eta), two
covariates and a 5-level factor g, runs `qmx fit glm --family gamma` (R's default inverse
link) on them and prints the iterations, convergence, deviance and null deviance of the JSON
summary, any warning, and a line when the residual deviance exceeds the null deviance (the
sign of a diverged fit); with --r also R's glm() on the same file. Not part of the unit suite:

  bench/e2e/glm_gamma_divergence.py 1000000 --qmx build/release/tools/qmx/qmx [--r]
"""
import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import time


def write_data(path, rows, seed):
    rng = random.Random(seed)
    effects = {"a": 0.0, "b": 0.15, "c": -0.1, "d": 0.3, "e": 0.05}
    levels = sorted(effects)
    with open(path, "w") as out:
        out.write("w,x1,x2,g\n")
        for _ in range(rows):
            x1 = rng.uniform(-2.0, 2.0)
            x2 = rng.uniform(0.0, 4.0)
            g = rng.choice(levels)
            # The linear predictor of the inverse link stays positive (0.3 .. 1.2).
            mean = 1.0 / (0.8 + 0.1 * x1 - 0.05 * x2 + effects[g])
            shape = 1.5
            w = rng.gammavariate(shape, mean / shape)
            out.write(f"{max(w, 1e-6):.6g},{x1:.6g},{x2:.6g},{g}\n")


def run_qmx(qmx, data):
    with tempfile.TemporaryDirectory() as tmp:
        start = time.time()
        done = subprocess.run(
            [qmx, "fit", "glm", data, "--formula", "w ~ x1 + x2 + g", "--family", "gamma",
             "--summary-format", "json", "-o", os.path.join(tmp, "fit.xml")],
            capture_output=True, text=True)
        seconds = time.time() - start
    if done.returncode != 0:
        sys.exit(f"qmx failed ({done.returncode}): {done.stderr}")
    summary = json.loads(done.stdout)
    warnings = [line for line in done.stderr.splitlines() if line.startswith("warning:")]
    return summary, warnings, seconds


def run_r(data):
    script = (
        "d <- read.csv(commandArgs(TRUE)[1]); d$g <- factor(d$g);"
        "f <- glm(w ~ x1 + x2 + g, family = Gamma, data = d);"
        "cat(f$iter, f$converged, sprintf('%.10g', f$deviance), sprintf('%.10g', f$null.deviance))")
    done = subprocess.run(["Rscript", "-e", script, data], capture_output=True, text=True)
    return done.stdout.strip() or done.stderr.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", type=int)
    parser.add_argument("--qmx", default="build/release/tools/qmx/qmx")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--keep", help="write the data here and keep it")
    parser.add_argument("--r", action="store_true", help="also fit with R's glm()")
    args = parser.parse_args()
    data = args.keep or tempfile.mkstemp(suffix=".csv")[1]
    try:
        write_data(data, args.rows, args.seed)
        summary, warnings, seconds = run_qmx(args.qmx, data)
        print(f"qmx: iterations {summary['iterations']}, converged {summary['converged']}, "
              f"deviance {summary['deviance']:.10g}, null deviance "
              f"{summary['null_deviance']:.10g} ({seconds:.1f} s)")
        for line in warnings:
            print(f"  {line}")
        if summary["deviance"] > summary["null_deviance"] or not math.isfinite(summary["deviance"]):
            print("  the residual deviance exceeds the null deviance")
        if args.r:
            print(f"R:   iterations, converged, deviance, null deviance: {run_r(data)}")
    finally:
        if not args.keep:
            os.remove(data)


if __name__ == "__main__":
    main()
