"""Writes ROWS rows x 10 columns (x1..x10) drawn from a mixture of 8 Gaussian clusters with
well separated centers (seed 20261206) as CSV on stdout: the data of kmeans.sh."""
import sys

import numpy as np

rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
rng = np.random.default_rng(20261206)
centers = rng.uniform(-10, 10, size=(8, 10))
spread = rng.uniform(0.5, 2.0, size=8)
out = sys.stdout
out.write(",".join("x%d" % (j + 1) for j in range(10)) + "\n")
for start in range(0, rows, 100000):
    n = min(100000, rows - start)
    which = rng.integers(0, 8, size=n)
    x = centers[which] + rng.normal(size=(n, 10)) * spread[which, None]
    np.savetxt(out, x, delimiter=",", fmt="%.6f")
