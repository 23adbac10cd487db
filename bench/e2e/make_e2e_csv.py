#!/usr/bin/env python3
"""Writes the N-row file of the end-to-end benchmark (bench/e2e/e2e_bench.sh): three
responses, ten numeric predictors and two factors.

Usage: bench/e2e/make_e2e_csv.py ROWS [-o FILE] [--seed 1]

Columns: y (numeric: 1 + sum_j x_j/j + factor effects + N(0, 1) noise), yb (0/1, drawn as 1
with probability logistic(eta_b)), count (Poisson with mean exp(eta_c)), x1..x10 (x_j normal
with mean 0 and sd j/2), g1 (levels p1..p5) and g2 (levels q1..q3); numbers with 6 significant
digits. Rows are drawn with a fixed seed from a pool of 65536 precomputed rows (each row's
predictors and responses stay consistent, so every model recovers its signal), written in
batches: constant memory, about 100 thousand rows per second on one core; stdout without -o.
"""
import argparse
import math
import random
import sys

POOL = 65536
BATCH = 20000
NUMERIC = 10
G1_EFFECTS = [0.0, 0.5, -0.25, 1.0, -0.6]
G2_EFFECTS = [0.0, -0.5, 0.3]
G1_LOGIT = [0.0, 0.4, -0.3, 0.6, 0.2]
G2_LOGIT = [0.0, -0.2, 0.5]
G1_LOG = [0.0, 0.2, -0.1, 0.3, 0.1]
G2_LOG = [0.0, -0.2, 0.15]


def poisson(rng, mean):
    # Knuth's product of uniforms: fine for the small means drawn here.
    limit, k, p = math.exp(-mean), 0, rng.random()
    while p > limit:
        k += 1
        p *= rng.random()
    return k


def make_row(rng):
    xs = [float("%.6g" % rng.gauss(0.0, (j + 1) / 2.0)) for j in range(NUMERIC)]
    g1 = rng.randrange(len(G1_EFFECTS))
    g2 = rng.randrange(len(G2_EFFECTS))
    mean = 1.0 + sum(x / (j + 1) for j, x in enumerate(xs)) + G1_EFFECTS[g1] + G2_EFFECTS[g2]
    y = mean + rng.gauss(0.0, 1.0)
    eta_b = -0.5 + sum((-1) ** (j + 1) * x / (2.0 * (j + 1)) for j, x in enumerate(xs))
    eta_b += G1_LOGIT[g1] + G2_LOGIT[g2]
    yb = 1 if rng.random() < 1.0 / (1.0 + math.exp(-eta_b)) else 0
    eta_c = 0.5 + sum(x / (10.0 * (j + 1) ** 2) for j, x in enumerate(xs)) + G1_LOG[g1] + G2_LOG[g2]
    count = poisson(rng, math.exp(eta_c))
    fields = ["%.6g" % y, str(yb), str(count)] + ["%.6g" % x for x in xs]
    fields += ["p%d" % (g1 + 1), "q%d" % (g2 + 1)]
    return ",".join(fields)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows", type=int)
    parser.add_argument("-o", "--output", help="output file (default: stdout)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.rows < 0:
        parser.error("need ROWS >= 0")

    rng = random.Random(args.seed)
    pool = [make_row(rng) for _ in range(POOL)]
    header = ["y", "yb", "count"] + ["x%d" % (j + 1) for j in range(NUMERIC)] + ["g1", "g2"]

    out = open(args.output, "w", newline="\n") if args.output else sys.stdout
    with out:
        out.write(",".join(header) + "\n")
        left = args.rows
        while left > 0:
            batch = min(BATCH, left)
            out.write("\n".join(rng.choices(pool, k=batch)) + "\n")
            left -= batch


if __name__ == "__main__":
    main()
