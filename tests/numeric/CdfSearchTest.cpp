// The bracketing search and the zero finder on functions with known roots.
#include "qmxmisc/numeric/CdfSearch.h"

#include <gtest/gtest.h>

#include <cmath>

#include "qmxmisc/numeric/CdfInternal.h"

namespace {

TEST(CdfSearch, FindsRootsOfIncreasingAndDecreasingFunctions) {
  // Tolerance: the published stopping rule, a bracket of width max(1e-50, 1e-8 |x|).
  struct Case {
    const char* what;
    CdfSearchFunction f;
    double root;
  };
  const Case cases[] = {
      {"cube", [](double x, double* fx) { return *fx = x * x * x - 2.0, true; }, std::cbrt(2.0)},
      {"decreasing exp", [](double x, double* fx) { return *fx = std::exp(-x) - 1e-30, true; },
       30.0 * std::log(10.0)},
      {"far", [](double x, double* fx) { return *fx = std::log(x) - std::log(3e80), true; }, 3e80},
      {"near zero", [](double x, double* fx) { return *fx = x - 1e-20, true; }, 1e-20},
      {"at start", [](double x, double* fx) { return *fx = x - 5.0, true; }, 5.0},
  };
  for (const Case& c : cases) {
    int calls = 0;
    const CdfSearchFunction counted = [&](double x, double* fx) {
      ++calls;
      return c.f(x, fx);
    };
    const CdfSearchResult result = cdfSearch(counted, 5.0, CdfSearchLimits{});
    EXPECT_EQ(result.status, CdfSearchStatus::kFound) << c.what;
    EXPECT_LE(std::fabs(result.x - c.root), std::max(1e-50, 1e-8 * c.root)) << c.what;
    EXPECT_LT(calls, 400) << c.what;
  }
}

TEST(CdfSearch, ReportsRootsOutsideTheInterval) {
  CdfSearchLimits limits;
  limits.small = 1e-100;
  // Increasing with its root below small, and above big.
  CdfSearchResult below =
      cdfSearch([](double x, double* fx) { return *fx = x + 1.0, true; }, 5.0, limits);
  EXPECT_EQ(below.status, CdfSearchStatus::kBelowSmall);
  EXPECT_EQ(below.x, 1e-100);
  CdfSearchResult above =
      cdfSearch([](double x, double* fx) { return *fx = x - 1e101, true; }, 5.0, limits);
  EXPECT_EQ(above.status, CdfSearchStatus::kAboveBig);
  EXPECT_EQ(above.x, 1e100);
  // Decreasing with its root below small.
  CdfSearchResult decreasing =
      cdfSearch([](double x, double* fx) { return *fx = -x - 1.0, true; }, 5.0, limits);
  EXPECT_EQ(decreasing.status, CdfSearchStatus::kBelowSmall);
}

TEST(CdfSearch, StartOutsideTheIntervalIsInconsistent) {
  CdfSearchLimits limits;
  limits.small = 10.0;
  limits.big = 20.0;
  const CdfSearchResult result =
      cdfSearch([](double x, double* fx) { return *fx = x - 15.0, true; }, 5.0, limits);
  EXPECT_EQ(result.status, CdfSearchStatus::kNotMonotone);
  EXPECT_STREQ(cdfSearchMessage(result.status), "SMALL, X, BIG not monotone in INVR");
  EXPECT_STREQ(cdfSearchMessage(CdfSearchStatus::kFound), "");
}

TEST(CdfSearch, FailedEvaluationStopsTheSearch) {
  const CdfSearchResult result = cdfSearch(
      [](double x, double* fx) {
        *fx = x - 50.0;
        return x < 30.0;
      },
      5.0, CdfSearchLimits{});
  EXPECT_EQ(result.status, CdfSearchStatus::kEvaluationFailed);
}

TEST(CdfSearch, ZeroFinderNeedsASignChangeAndHandlesTinyValues) {
  const auto f = [](double x, double* fx) { return *fx = x - 2.0, true; };
  EXPECT_EQ(cdfZeroIn(f, 3.0, 4.0, 1e-50, 1e-8).status, CdfSearchStatus::kNoConvergence);
  // Function values of order 1e-300 (their products underflow): still converges.
  const auto tiny = [](double x, double* fx) { return *fx = 1e-300 * (x - 2.0), true; };
  const CdfSearchResult result = cdfZeroIn(tiny, 0.0, 7.0, 1e-50, 1e-12);
  EXPECT_EQ(result.status, CdfSearchStatus::kFound);
  EXPECT_NEAR(result.x, 2.0, 2e-12);
}

// cdfInvert: an evaluation with p + q = 2 inside the search stops it with status 10; below
// the failing region the same function is inverted.
TEST(CdfSearch, FailedEvaluationInsideTheInversionGivesStatus10) {
  double answer = -1.0, bound = -99.0;
  int status = -99, calls = 0;
  const auto broken = [&](double x) -> CdfTails {
    ++calls;
    if (x > 20.0) return {1.0, 1.0};
    return {x / 100.0, 1.0 - x / 100.0};
  };
  cdfInvert(broken, 0.4, 0.6, 0.0, 1e100, &answer, &status, &bound);
  EXPECT_EQ(status, 10);
  EXPECT_EQ(bound, 0.0);
  EXPECT_GT(calls, 0);
  cdfInvert(broken, 0.1, 0.9, 0.0, 20.0, &answer, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(answer, 10.0, 1e-7);
}

}  // namespace
