// The quasi variance functions against R's quasi(variance = ...) and at their guards.
#include "qmxmisc/glm/GLMQuasiVariance.h"

#include <gtest/gtest.h>

#include <cmath>

#include "GlmRefCsv.h"
#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMClamp.h"

// Tolerance: 1e-12 relative; deviances also 1e-14 absolute (cancelling terms of order one).
TEST(GLMQuasiVariance, MatchesRQuasi) {
  int checked = 0;
  for (const GlmRefRow& row : readGlmRefCsv("family_values.csv")) {
    if (row.text("family") != "quasi") continue;
    const auto variance = GLMQuasiVariance::create(varianceFromR(row.text("variance")));
    const bool isVariance = row.text("what") == "variance";
    const double actual = isVariance ? variance->variance(row.num("a"))
                                     : variance->deviance(row.num("a"), row.num("b"));
    EXPECT_TRUE(closeTo(actual, row.num("value"), 1e-12, isVariance ? 0.0 : 1e-14))
        << row.text("what") << " " << row.text("variance") << " " << row.text("a") << " "
        << row.text("b");
    ++checked;
  }
  EXPECT_EQ(checked, 80);
}

TEST(GLMQuasiVariance, CodesAndUndefinedCodes) {
  for (int code = 1; code <= 5; ++code) {
    const auto variance = GLMQuasiVariance::create(static_cast<GLMQuasiVariance::VARIANCES>(code));
    ASSERT_NE(variance, nullptr);
    EXPECT_EQ(static_cast<int>(variance->varType()), code);
  }
  for (const int code : {0, 6, -1}) {
    EXPECT_TRUE(throwsMessage(
        [&] { GLMQuasiVariance::create(static_cast<GLMQuasiVariance::VARIANCES>(code)); },
        "Undefined variance code"))
        << code;
  }
}

// mu(1-mu) deviance where mu(1-mu) < eps: mu is moved to eps (or 1 - mu floored at eps), so the
// deviance stays finite: at y = 1, mu = 0 it is -2 ln(eps); at y = 0, mu = 1 also -2 ln(eps).
TEST(GLMQuasiVariance, BinomialVarianceDevianceAtTheGuards) {
  const VarMu0 mu0;
  EXPECT_TRUE(closeTo(mu0.deviance(1.0, 0.0), -2.0 * glm::kLogEps, 1e-14, 0.0));
  EXPECT_TRUE(closeTo(mu0.deviance(0.0, 1.0), -2.0 * glm::kLogEps, 1e-14, 0.0));
  // y = mu at a bound: 0 up to the eps moved into the fitted term.
  EXPECT_TRUE(closeTo(mu0.deviance(0.0, 0.0), 0.0, 0.0, 1e-15));
  EXPECT_TRUE(closeTo(mu0.deviance(1.0, 1.0), 0.0, 0.0, 1e-15));
  // Tiny y: the y term is y itself (not y ln y), so d(1e-20, 0.5) = 2(1e-20 + ln 2 ...) ~ 2 ln 2.
  EXPECT_TRUE(closeTo(mu0.deviance(1e-20, 0.5), 2.0 * std::log(2.0), 1e-15, 0.0));
  const VarMu1 mu1;
  EXPECT_EQ(mu1.deviance(0.0, 2.5), 5.0);
  EXPECT_EQ(mu1.deviance(-1.0, 2.5), 7.0);
  const VarMu2 mu2;
  EXPECT_EQ(mu2.deviance(0.0, 1.0), -2.0);
}
