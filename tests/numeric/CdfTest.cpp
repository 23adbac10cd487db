// The distribution functions against R (pnorm, pt, pchisq, pf, pgamma and their quantile
// functions; tests/ref/numeric/cdf_reference.R), cdf(quantile(p)) == p, the parameter
// searches and the status codes (cdf_status.csv).
#include "qmxmisc/numeric/Cdf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/RefCsv.h"

namespace {

// The arguments of one call and, after it, its answers, status and bound.
struct Call {
  int status = -99;
  double bound = -99.0, p = 0.0, q = 0.0, x = 0.0, par1 = 0.0, par2 = 0.0;
};

// Calls the distribution `dist` (par2 is unused for t and chisq).
Call callCdf(const std::string& dist, int which, Call c) {
  if (dist == "normal") cdfnor(&which, &c.p, &c.q, &c.x, &c.par1, &c.par2, &c.status, &c.bound);
  if (dist == "t") cdft(&which, &c.p, &c.q, &c.x, &c.par1, &c.status, &c.bound);
  if (dist == "chisq") cdfchi(&which, &c.p, &c.q, &c.x, &c.par1, &c.status, &c.bound);
  if (dist == "f") cdff(&which, &c.p, &c.q, &c.x, &c.par1, &c.par2, &c.status, &c.bound);
  if (dist == "gamma") cdfgam(&which, &c.p, &c.q, &c.x, &c.par1, &c.par2, &c.status, &c.bound);
  return c;
}

// The arguments p, q, x, par1, par2 of a table row.
Call argsOf(const RefRow& row) {
  Call c;
  for (auto [name, slot] :
       {std::pair{"p", &c.p}, {"q", &c.q}, {"x", &c.x}, {"par1", &c.par1}, {"par2", &c.par2}})
    *slot = row.num(name);
  return c;
}

std::string where(const RefRow& row) {
  return row.text("dist") + " p=" + row.text("p") + " x=" + row.text("x") +
         " par=" + row.text("par1") + "," + row.text("par2");
}

double relErr(double got, double want) {
  return got == want ? 0.0 : std::fabs(got - want) / std::max(std::fabs(want), 1e-300);
}

// Both tails to 1e-12 relative, down to 1e-300. Then which = 3 and 4 (and the normal mean
// and sd): from R's p and q each parameter is found again to the search tolerance, 1e-8
// relative, loosened by the sensitivity of the tail to the parameter (points where the tail
// hardly moves are ill-conditioned and left out). The F distribution function is not
// monotone in dfn or dfd (P(F <= 3) with dfd = 4 falls from 1 to 0.84 and rises again to
// 0.856 as dfn grows): there the search may report leaving its interval (status 1 or 2), as
// published.
TEST(Cdf, ProbabilitiesMatchRAndGiveBackTheirParameters) {
  int checked = 0, fChecked = 0, nonMonotone = 0;
  for (const auto& row : readRefCsv("numeric", "cdf_probabilities.csv")) {
    const std::string dist = row.text("dist");
    const Call in = argsOf(row),
               out = callCdf(dist, 1, Call{0, 0.0, -1.0, -1.0, in.x, in.par1, in.par2});
    ASSERT_EQ(out.status, 0) << where(row);
    EXPECT_LE(std::max(relErr(out.p, in.p), relErr(out.q, in.q)), 1e-12)
        << where(row) << ": " << out.p << " " << out.q;
    const double tail = std::min(in.p, in.q);
    for (int which = 3; which <= (dist == "t" || dist == "chisq" ? 3 : 4) && tail > 1e-280;
         ++which) {
      double Call::*par = which == 3 ? &Call::par1 : &Call::par2;
      if ((dist == "normal" && which == 4 && in.x == in.par1) || (dist == "t" && in.x == 0.0))
        continue;  // the parameter is undetermined
      Call moved = in;
      moved.*par *= 1.0 + 1e-6;
      moved = callCdf(dist, 1, moved);
      const double sensitivity = std::fabs((in.p <= in.q ? moved.p : moved.q) / tail - 1.0) / 1e-6;
      Call start = in;
      start.*par = 1.0;
      const Call found = callCdf(dist, which, start);
      if (sensitivity < 1e-3 || (dist == "f" && (found.status == 1 || found.status == 2))) {
        nonMonotone += sensitivity >= 1e-3;
        continue;
      }
      ASSERT_EQ(found.status, 0) << where(row) << " which=" << which;
      const double err = dist == "normal" && which == 3
                             ? std::fabs(found.*par - in.*par) / std::max(std::fabs(in.*par), 1.0)
                             : relErr(found.*par, in.*par);
      EXPECT_LE(err, 2e-8 + 1e-12 / sensitivity) << where(row) << " which=" << which;
      ++checked, fChecked += dist == "f";
    }
  }
  EXPECT_GT(checked, 300);
  EXPECT_GT(fChecked, 100);
  EXPECT_LT(nonMonotone, fChecked);
}

// Quantiles to 1e-12 relative where R's own are reliable (rok; t and normal relative to
// max(|x|, 1)); everywhere the smaller tail of our own distribution function at
// x -+ max(1e-12 |x|, 1e-50) brackets p: cdf(quantile(p)) == p. (Quantiles beyond the largest
// double, status 1 or 2: rows of cdf_edges.csv.)
TEST(Cdf, QuantilesMatchRAndInvertTheDistributionFunction) {
  int compared = 0;
  for (const auto& row : readRefCsv("numeric", "cdf_quantiles.csv")) {
    const std::string dist = row.text("dist");
    Call in = argsOf(row);
    in.x = -1.0;
    const Call out = callCdf(dist, 2, in);
    const double want = row.num("x");
    if (std::isinf(want)) continue;
    ASSERT_EQ(out.status, 0) << where(row);
    const bool onLower = out.p <= out.q, wholeLine = dist == "t" || dist == "normal";
    const double halfWidth = std::max(1e-12 * std::fabs(out.x), 1e-50);
    Call lo = out, hi = out;
    lo.x = wholeLine ? out.x - halfWidth : std::max(out.x - halfWidth, 0.0);
    hi.x = out.x + halfWidth;
    lo = callCdf(dist, 1, lo), hi = callCdf(dist, 1, hi);
    EXPECT_TRUE(onLower ? lo.p <= in.p && in.p <= hi.p : hi.q <= in.q && in.q <= lo.q)
        << where(row) << ": " << out.x;
    if (row.num("rok") == 0.0) continue;
    EXPECT_LE(std::fabs(out.x - want) / std::max(std::fabs(want), wholeLine ? 1.0 : 1e-300), 1e-12)
        << where(row) << ": " << out.x;
    ++compared;
  }
  EXPECT_GT(compared, 400);
}

// The edges of cdf_edges.csv (x = 0 or +-inf, p = 0 or 1, tiny and infinite parameters,
// quantiles from 1e-300 to beyond the largest double): which = 1 gives R's two tails, which = 2
// R's quantile through cdfRValue, each with the status of the row, to the row's tolerance.
TEST(Cdf, EdgesMatchR) {
  for (const auto& row : readRefCsv("numeric", "cdf_edges.csv")) {
    const int which = static_cast<int>(row.num("which"));
    const Call in = argsOf(row);
    Call start = in;
    // Sought arguments start infinite: a call must not leave them so where it has no answer.
    (which == 1 ? start.p : start.x) = std::numeric_limits<double>::infinity();
    const Call out = callCdf(row.text("dist"), which, start);
    EXPECT_EQ(out.status, row.num("status")) << where(row);
    const std::vector<std::pair<double, double>> answers =
        which == 1 ? std::vector{std::pair{out.p, in.p}, {out.q, in.q}}
                   : std::vector{std::pair{cdfRValue(out.status, out.x), in.x}};
    for (const auto& [got, want] : answers)
      EXPECT_TRUE(got == want || relErr(got, want) <= row.num("tol") ||
                  (std::isnan(got) && std::isnan(want)))
          << where(row) << ": " << got;
  }
}

// Status codes, bounds and documented edge cases: one call per row of cdf_status.csv.
TEST(Cdf, StatusCodesBoundsAndEdgeCases) {
  for (const auto& row : readRefCsv("numeric", "cdf_status.csv")) {
    SCOPED_TRACE(row.text("case"));
    const Call out = callCdf(row.text("dist"), static_cast<int>(row.num("which")), argsOf(row));
    EXPECT_EQ(out.status, row.num("status"));
    const double bound = row.num("bound");  // NA (NaN): not checked
    EXPECT_TRUE(std::isnan(bound) || out.bound == bound) << out.bound;
    for (const auto& [name, got] : {std::pair{"out_p", out.p}, {"out_q", out.q}, {"out_x", out.x}})
      EXPECT_TRUE(std::isnan(row.num(name)) || std::fabs(got - row.num(name)) <= row.num("tol"))
          << name << " " << got;
  }
}

}  // namespace
