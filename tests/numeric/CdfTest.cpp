// The distribution functions against R (pnorm, pt, pchisq, pf, pgamma and their quantile
// functions; tests/ref/numeric/cdf_*.R), their identities and their status codes.
#include "qmxmisc/numeric/Cdf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "numeric/DistRefCsv.h"

namespace {

// Result of one call: status, bound and the argument values afterwards.
struct Call {
  int status = -99;
  double bound = -99.0;
  double p = 0.0;
  double q = 0.0;
  double x = 0.0;
  double par1 = 0.0;
  double par2 = 0.0;
};

// Calls the distribution `dist` with the arguments of `in`; par2 is unused for t and
// chisq.
Call callCdf(const std::string& dist, int which, Call in) {
  Call out = in;
  if (dist == "normal") {
    cdfnor(&which, &out.p, &out.q, &out.x, &out.par1, &out.par2, &out.status, &out.bound);
  } else if (dist == "t") {
    cdft(&which, &out.p, &out.q, &out.x, &out.par1, &out.status, &out.bound);
  } else if (dist == "chisq") {
    cdfchi(&which, &out.p, &out.q, &out.x, &out.par1, &out.status, &out.bound);
  } else if (dist == "f") {
    cdff(&which, &out.p, &out.q, &out.x, &out.par1, &out.par2, &out.status, &out.bound);
  } else {
    cdfgam(&which, &out.p, &out.q, &out.x, &out.par1, &out.par2, &out.status, &out.bound);
  }
  return out;
}

// True when the smaller tail of our own distribution function, evaluated at
// x -+ max(rel |x|, 1e-50), brackets the probability the quantile x was computed for: x is
// within that distance of the exact root. (1e-50 is the search's absolute tolerance, which
// bounds the accuracy of quantiles that small.)
bool bracketsOwnRoot(const std::string& dist, const Call& quantile, double rel) {
  const bool onLower = quantile.p <= quantile.q;
  const double target = onLower ? quantile.p : quantile.q;
  const double halfWidth = std::max(rel * std::fabs(quantile.x), 1e-50);
  double lo = quantile.x - halfWidth;
  double hi = quantile.x + halfWidth;
  if (lo < 0.0 && dist != "t" && dist != "normal") lo = 0.0;
  Call atLo = quantile;
  atLo.x = lo;
  Call atHi = quantile;
  atHi.x = hi;
  atLo = callCdf(dist, 1, atLo);
  atHi = callCdf(dist, 1, atHi);
  if (onLower) return atLo.p <= target && target <= atHi.p;
  return atHi.q <= target && target <= atLo.q;
}

double relErr(double got, double want) {
  if (got == want) return 0.0;
  return std::fabs(got - want) / std::max(std::fabs(want), std::numeric_limits<double>::min());
}

TEST(Cdf, ProbabilitiesMatchRInBothTails) {
  // Tolerance: 1e-12 relative on each tail, down to 1e-300.
  const auto rows = readDistRefCsv("cdf_probabilities.csv");
  ASSERT_GT(rows.size(), 300u);
  double worst = 0.0;
  for (const auto& row : rows) {
    Call in;
    in.x = row.num("x");
    in.par1 = row.num("par1");
    in.par2 = row.num("par2");
    const Call out = callCdf(row.text("dist"), 1, in);
    SCOPED_TRACE(row.text("dist") + " x=" + row.text("x") + " par=" + row.text("par1") + "," +
                 row.text("par2"));
    ASSERT_EQ(out.status, 0);
    EXPECT_LE(relErr(out.p, row.num("p")), 1e-12) << out.p << " vs " << row.text("p");
    EXPECT_LE(relErr(out.q, row.num("q")), 1e-12) << out.q << " vs " << row.text("q");
    worst = std::max({worst, relErr(out.p, row.num("p")), relErr(out.q, row.num("q"))});
  }
  std::printf("worst relative error of p, q against R: %.3g\n", worst);
}

TEST(Cdf, QuantilesMatchR) {
  // Tolerance: 1e-12 relative (the search brackets to 1e-8, the direct inverse refines it).
  const auto rows = readDistRefCsv("cdf_quantiles.csv");
  ASSERT_GT(rows.size(), 400u);
  double worst = 0.0;
  int outside = 0;
  int compared = 0;
  for (const auto& row : rows) {
    Call in;
    in.p = row.num("p");
    in.q = row.num("q");
    in.x = -1.0;
    in.par1 = row.num("par1");
    in.par2 = row.num("par2");
    const Call out = callCdf(row.text("dist"), 2, in);
    SCOPED_TRACE(row.text("dist") + " p=" + row.text("p") + " q=" + row.text("q") +
                 " par=" + row.text("par1") + "," + row.text("par2"));
    const double want = row.num("x");
    if (want < -1e100) {
      // Beyond the search interval of t: status 1 with the lower end as bound.
      EXPECT_EQ(out.status, 1);
      EXPECT_EQ(out.bound, -1e100);
      ++outside;
      continue;
    }
    if (want > 1e100) {
      EXPECT_EQ(out.status, 2);
      EXPECT_EQ(out.bound, 1e100);
      ++outside;
      continue;
    }
    ASSERT_EQ(out.status, 0);
    EXPECT_TRUE(bracketsOwnRoot(row.text("dist"), out, 1e-12));
    if (row.num("rok") == 0.0) continue;  // R's own quantile is not reliable here
    // t and normal quantiles cross 0: their error is taken relative to max(|x|, 1).
    const bool crossesZero = row.text("dist") == "t" || row.text("dist") == "normal";
    const double err = crossesZero ? std::fabs(out.x - want) / std::max(std::fabs(want), 1.0)
                                   : relErr(out.x, want);
    EXPECT_LE(err, 1e-12) << out.x << " vs " << row.text("x");
    worst = std::max(worst, err);
    ++compared;
  }
  EXPECT_GT(outside, 0);  // the grid reaches beyond 1e100 for t with df 0.5
  EXPECT_GT(compared, 400);
  std::printf("worst relative error of quantiles against R: %.3g (%d compared, %d outside)\n",
              worst, compared, outside);
}

}  // namespace
