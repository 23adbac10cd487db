// Status codes and bounds of the distribution functions, and the documented edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

struct Outcome {
  int status;
  double bound;
};

// One call of each function with all arguments given as values.
Outcome nor(int which, double p, double q, double x, double mean, double sd) {
  Outcome out{-99, -99.0};
  cdfnor(&which, &p, &q, &x, &mean, &sd, &out.status, &out.bound);
  return out;
}
Outcome tdist(int which, double p, double q, double t, double df) {
  Outcome out{-99, -99.0};
  cdft(&which, &p, &q, &t, &df, &out.status, &out.bound);
  return out;
}
Outcome chi(int which, double p, double q, double x, double df) {
  Outcome out{-99, -99.0};
  cdfchi(&which, &p, &q, &x, &df, &out.status, &out.bound);
  return out;
}
Outcome fdist(int which, double p, double q, double f, double dfn, double dfd) {
  Outcome out{-99, -99.0};
  cdff(&which, &p, &q, &f, &dfn, &dfd, &out.status, &out.bound);
  return out;
}
Outcome gam(int which, double p, double q, double x, double shape, double scale) {
  Outcome out{-99, -99.0};
  cdfgam(&which, &p, &q, &x, &shape, &scale, &out.status, &out.bound);
  return out;
}

TEST(Cdf, ArgumentChecksGiveMinusPositionAndNearerLimit) {
  struct Case {
    const char* what;
    Outcome got;
    int status;
    double bound;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"nor which 0", nor(0, 0.5, 0.5, 0, 0, 1), -1, 1.0},
      {"nor which 5", nor(5, 0.5, 0.5, 0, 0, 1), -1, 4.0},
      {"nor p 0 (quantile unbounded)", nor(2, 0.0, 1.0, 0, 0, 1), -2, 0.0},
      {"nor p 1.5", nor(2, 1.5, 0.5, 0, 0, 1), -2, 1.0},
      {"nor q 0", nor(2, 1.0, 0.0, 0, 0, 1), -3, 0.0},
      {"nor q 1.2", nor(2, 0.5, 1.2, 0, 0, 1), -3, 1.0},
      {"nor sd 0", nor(1, 0, 0, 0, 0, 0.0), -6, 0.0},
      {"nor sd not checked when sought", nor(4, 0.25, 0.75, -1, 0, -3.0), 0, 0.0},
      {"nor p checked before sd", nor(2, -1.0, 0.5, 0, 0, 0.0), -2, 0.0},
      {"nor p, q not checked for which 1", nor(1, -5.0, 7.0, 0, 0, 1), 0, 0.0},
      {"t which 4", tdist(4, 0.5, 0.5, 0, 1), -1, 3.0},
      {"t p 0", tdist(2, 0.0, 1.0, 0, 1), -2, 0.0},
      {"t df -1", tdist(1, 0, 0, 1, -1.0), -5, 0.0},
      {"chisq which -3", chi(-3, 0.5, 0.5, 1, 1), -1, 1.0},
      {"chisq p -0.1", chi(2, -0.1, 0.5, 1, 1), -2, 0.0},
      {"chisq x -1", chi(1, 0, 0, -1.0, 1), -4, 0.0},
      {"chisq x NaN", chi(1, 0, 0, nan, 1), -4, 0.0},
      {"chisq df 0", chi(1, 0, 0, 3, 0.0), -5, 0.0},
      {"chisq x not checked when sought", chi(2, 0.5, 0.5, -7.0, 1), 0, 0.0},
      {"f which 5", fdist(5, 0.5, 0.5, 1, 1, 1), -1, 4.0},
      {"f q 2", fdist(2, 0.5, 2.0, 1, 1, 1), -3, 1.0},
      {"f f -1", fdist(1, 0, 0, -1.0, 1, 1), -4, 0.0},
      {"f dfn 0", fdist(1, 0, 0, 1, 0.0, 1), -5, 0.0},
      {"f dfd -2", fdist(1, 0, 0, 1, 1, -2.0), -6, 0.0},
      {"gamma x -1", gam(1, 0, 0, -1.0, 1, 1), -4, 0.0},
      {"gamma shape 0", gam(1, 0, 0, 1, 0.0, 1), -5, 0.0},
      {"gamma scale 0", gam(1, 0, 0, 1, 1, 0.0), -6, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got.status, c.status) << c.what;
    EXPECT_EQ(c.got.bound, c.bound) << c.what;
  }
}

TEST(Cdf, ProbabilitiesNotSummingToOneGiveStatus3) {
  // bound 0 when p + q < 1, 1 when above; 3 eps is the tolerance.
  const double eps = std::numeric_limits<double>::epsilon();
  EXPECT_EQ(nor(2, 0.3, 0.6, 0, 0, 1).status, 3);
  EXPECT_EQ(nor(2, 0.3, 0.6, 0, 0, 1).bound, 0.0);
  EXPECT_EQ(tdist(2, 0.3, 0.6, 0, 5).status, 3);
  EXPECT_EQ(chi(2, 0.3, 0.6, 0, 5).status, 3);
  EXPECT_EQ(fdist(3, 0.3, 0.6, 1, 5, 5).status, 3);
  EXPECT_EQ(gam(4, 0.3, 0.6, 1, 5, 5).status, 3);
  EXPECT_EQ(gam(4, 0.5, 0.6, 1, 5, 5).status, 3);
  EXPECT_EQ(gam(4, 0.5, 0.6, 1, 5, 5).bound, 1.0);
  EXPECT_EQ(chi(2, 0.5, 0.5 + 2 * eps, 0, 5).status, 0);
  EXPECT_EQ(chi(2, 0.5, 0.5 + 8 * eps, 0, 5).status, 3);
  // The p + q check comes after the argument checks.
  EXPECT_EQ(chi(2, 0.3, 0.6, 0, 0.0).status, -5);
}

TEST(Cdf, AnswersOutsideTheSearchIntervalGiveStatus1And2) {
  // df below 1e-100: the upper tail at x = 1 is about 3e-101 already at df = 1e-100.
  Outcome below = chi(3, 1.0, 1e-110, 1.0, 0);
  EXPECT_EQ(below.status, 1);
  EXPECT_EQ(below.bound, 1e-100);
  // df above 1e100: the median of a chi-square with df degrees of freedom is about df.
  Outcome above = chi(3, 0.5, 0.5, 1e200, 0);
  EXPECT_EQ(above.status, 2);
  EXPECT_EQ(above.bound, 1e100);
  // A t quantile beyond -1e100 (df 0.5, p = 1e-100 gives about -1e200).
  Outcome tBelow = tdist(2, 1e-100, 1.0, 0, 0.5);
  EXPECT_EQ(tBelow.status, 1);
  EXPECT_EQ(tBelow.bound, -1e100);
  Outcome fAbove = fdist(2, 1.0, 1e-250, 0, 0.5, 0.5);
  EXPECT_EQ(fAbove.status, 2);
  EXPECT_EQ(fAbove.bound, 1e100);
}

TEST(Cdf, FailedEvaluationsGiveStatus10) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // t is not range-checked, so a NaN reaches the evaluation, whose p + q is not <= 1.5.
  EXPECT_EQ(tdist(1, 0, 0, nan, 3).status, 10);
  EXPECT_EQ(nor(1, 0, 0, nan, 0, 1).status, 10);
  // Inside a search: an evaluation with p + q = 2 stops it with status 10.
  double answer = -1.0;
  int status = -99;
  double bound = -99.0;
  int calls = 0;
  const auto broken = [&](double x) -> CdfTails {
    ++calls;
    if (x > 20.0) return {1.0, 1.0};
    return {x / 100.0, 1.0 - x / 100.0};
  };
  cdfInvert(broken, 0.4, 0.6, 0.0, 1e100, &answer, &status, &bound);
  EXPECT_EQ(status, 10);
  EXPECT_EQ(bound, 0.0);
  EXPECT_GT(calls, 0);
  // The same function below the failing region: found.
  cdfInvert(broken, 0.1, 0.9, 0.0, 20.0, &answer, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(answer, 10.0, 1e-7);
}

TEST(Cdf, DocumentedEdgeCases) {
  int which = 1;
  double p = -1.0;
  double q = -1.0;
  double x = 3.25;
  double mean = 3.25;
  double sd = 2.0;
  int status = -99;
  double bound = -99.0;
  cdfnor(&which, &p, &q, &x, &mean, &sd, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(p, 0.5);
  EXPECT_EQ(q, 0.5);

  double chiX = 3.841458820694124;
  double df = 1.0;
  cdfchi(&which, &p, &q, &chiX, &df, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(q, 0.05, 1e-14);
  EXPECT_NEAR(p, 0.95, 1e-14);

  which = 2;
  p = 0.975;
  q = 0.025;
  double t = 0.0;
  df = 10.0;
  cdft(&which, &p, &q, &t, &df, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(t, 2.2281388519862739, 1e-12);  // R: qt(0.975, 10)

  // A chi-square quantile at p = 0 is 0.
  p = 0.0;
  q = 1.0;
  cdfchi(&which, &p, &q, &chiX, &df, &status, &bound);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(chiX, 0.0);

  EXPECT_EQ(chi(1, 0, 0, 3, 0.0).status, -5);
}

}  // namespace
