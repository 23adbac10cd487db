// The bracketing search and the zero finder where the distribution functions do not reach
// them: a start outside the interval, function values that underflow, a failed evaluation.
#include "qmxmisc/numeric/CdfSearch.h"

#include <gtest/gtest.h>

#include <cmath>

#include "qmxmisc/numeric/CdfInternal.h"

TEST(CdfSearch, StartOutsideTheIntervalIsInconsistent) {
  const CdfSearchResult result = cdfSearch(
      [](double x, double* fx) { return *fx = x - 15.0, true; }, 5.0, CdfSearchLimits{10.0, 20.0});
  EXPECT_EQ(result.status, CdfSearchStatus::kNotMonotone);
  EXPECT_STREQ(cdfSearchMessage(result.status), "SMALL, X, BIG not monotone in INVR");
  EXPECT_STREQ(cdfSearchMessage(CdfSearchStatus::kFound), "");
}

// Function values of order 1e-300 (their products underflow) still converge; no sign change
// in the bracket is reported.
TEST(CdfSearch, ZeroFinderNeedsASignChangeAndHandlesTinyValues) {
  const auto tiny = [](double x, double* fx) { return *fx = 1e-300 * (x - 2.0), true; };
  EXPECT_EQ(cdfZeroIn(tiny, 3.0, 4.0, 1e-50, 1e-8).status, CdfSearchStatus::kNoConvergence);
  const CdfSearchResult result = cdfZeroIn(tiny, 0.0, 7.0, 1e-50, 1e-12);
  EXPECT_EQ(result.status, CdfSearchStatus::kFound);
  EXPECT_NEAR(result.x, 2.0, 2e-12);
}

// cdfInvert: an evaluation with p + q = 2 inside the search stops it with status 10; below
// the failing region the same function is inverted.
TEST(CdfSearch, FailedEvaluationInsideTheInversionGivesStatus10) {
  double answer = -1.0, bound = -99.0;
  int status = -99;
  const auto broken = [](double x) -> CdfTails {
    return x > 20.0 ? CdfTails{1.0, 1.0} : CdfTails{x / 100.0, 1.0 - x / 100.0};
  };
  cdfInvert(broken, 0.4, 0.6, 0.0, 1e100, &answer, &status, &bound);
  EXPECT_EQ(status, 10);
  EXPECT_EQ(bound, 0.0);
  cdfInvert(broken, 0.1, 0.9, 0.0, 20.0, &answer, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(answer, 10.0, 1e-7);
}
