#!/usr/bin/python3
"""numpy side of the covariance benchmark: loads a numeric CSV with np.loadtxt and writes
the covariance and correlation of every column pair as `target,with,cov,cor,n`.

Usage: cov_numpy.py DATA.csv OUT.csv
"""
import sys

import numpy as np


def main():
    path, out_path = sys.argv[1], sys.argv[2]
    with open(path) as f:
        names = f.readline().strip().split(",")
    data = np.loadtxt(path, delimiter=",", skiprows=1, dtype=np.float64)
    cov = np.cov(data, rowvar=False)
    cor = np.corrcoef(data, rowvar=False)
    with open(out_path, "w") as out:
        out.write("target,with,cov,cor,n\n")
        for i, ti in enumerate(names):
            for j, wj in enumerate(names):
                out.write(f"{ti},{wj},{cov[i, j]:.15g},{cor[i, j]:.15g},{data.shape[0]}\n")


if __name__ == "__main__":
    main()
