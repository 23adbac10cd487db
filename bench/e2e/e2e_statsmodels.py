#!/usr/bin/python3
"""statsmodels side of the end-to-end benchmark (e2e_bench.sh): the operations of e2e_r.R on
the file of make_e2e_csv.py, read with pandas read_csv.

  describe: DataFrame.describe() of every column.
  lm, glm_binomial, glm_poisson: smf.ols / smf.glm (Binomial, Poisson); OUT gets
    term,estimate (the ten numeric slopes) and a "deviance" row (ssr for ols).
  save_glm MODEL: the binomial glm without its data (remove_data), pickled, for score.
  score MODEL: predictions on the response and link scales, written with to_csv.

Usage: e2e_statsmodels.py OPERATION DATA.csv OUT [MODEL]
"""
import sys

import pandas as pd
import statsmodels.api as sm
import statsmodels.formula.api as smf

RHS = " + ".join(["x%d" % j for j in range(1, 11)] + ["g1", "g2"])


def slopes(fit, deviance, path):
    with open(path, "w") as out:
        out.write("term,estimate\n")
        for j in range(1, 11):
            out.write("x%d,%.15g\n" % (j, fit.params["x%d" % j]))
        out.write("deviance,%.15g\n" % deviance)


def main():
    op, path, out_path = sys.argv[1], sys.argv[2], sys.argv[3]
    data = pd.read_csv(path)
    if op == "describe":
        with open(out_path, "w") as out:
            out.write(data.describe(include="all").to_string() + "\n")
    elif op == "lm":
        fit = smf.ols("y ~ " + RHS, data=data).fit()
        slopes(fit, fit.ssr, out_path)
    elif op in ("glm_binomial", "save_glm"):
        fit = smf.glm("yb ~ " + RHS, data=data, family=sm.families.Binomial()).fit()
        if op == "glm_binomial":
            slopes(fit, fit.deviance, out_path)
        else:
            fit.remove_data()
            fit.save(sys.argv[4])
    elif op == "glm_poisson":
        fit = smf.glm("count ~ " + RHS, data=data, family=sm.families.Poisson()).fit()
        slopes(fit, fit.deviance, out_path)
    elif op == "score":
        fit = sm.load(sys.argv[4])
        scores = pd.DataFrame({"fitted": fit.predict(data), "link": fit.predict(data, linear=True)})
        scores.to_csv(out_path, index=False)
    else:
        sys.exit("unknown operation " + op)


if __name__ == "__main__":
    main()
