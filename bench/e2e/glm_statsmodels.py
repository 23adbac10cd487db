#!/usr/bin/python3
"""statsmodels side of the regression benchmark: pandas read_csv, then smf.ols (y ~ x1 + ...
+ x10 + f1 + f2) or smf.glm (b ~ ..., family Binomial), written as term,estimate (the ten
numeric slopes) followed by a "deviance" row (residual sum of squares for ols, residual
deviance for glm), the format of glm_r.R.

Usage: glm_statsmodels.py lm|glm DATA.csv OUT.csv
"""
import sys

import pandas as pd
import statsmodels.api as sm
import statsmodels.formula.api as smf


def main():
    kind, path, out_path = sys.argv[1], sys.argv[2], sys.argv[3]
    data = pd.read_csv(path)
    rhs = " + ".join(["x%d" % j for j in range(1, 11)] + ["f1", "f2"])
    if kind == "lm":
        fit = smf.ols("y ~ " + rhs, data=data).fit()
        deviance = fit.ssr
    else:
        fit = smf.glm("b ~ " + rhs, data=data, family=sm.families.Binomial()).fit()
        deviance = fit.deviance
    with open(out_path, "w") as out:
        out.write("term,estimate\n")
        for j in range(1, 11):
            out.write("x%d,%.15g\n" % (j, fit.params["x%d" % j]))
        out.write("deviance,%.15g\n" % deviance)


if __name__ == "__main__":
    main()
