// The fixed guards: the written-out constants are the double format's own values, and the two
// clamps bound their arguments without touching values inside the range.
#include "qmxmisc/glm/GLMClamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(GLMClamp, ConstantsAreThoseOfTheDoubleFormat) {
  using Limits = std::numeric_limits<double>;
  // Exact: each literal must be the double nearest to the quantity it names.
  EXPECT_EQ(glm::kEps, Limits::epsilon());
  EXPECT_EQ(glm::kOneMinusEps, 1.0 - Limits::epsilon());
  EXPECT_EQ(glm::kSqrtMax, std::sqrt(Limits::max()));
  EXPECT_EQ(glm::kSqrtMin, std::sqrt(Limits::min()));
  // Logarithms: within one unit in the last place of the library's log.
  EXPECT_NEAR(glm::kExpMax, std::log(glm::kSqrtMax), 1e-15 * glm::kExpMax);
  EXPECT_NEAR(glm::kExpMin, std::log(glm::kSqrtMin), 1e-15 * -glm::kExpMin);
  EXPECT_NEAR(glm::kLogEps, std::log(glm::kEps), 1e-15 * -glm::kLogEps);
}

TEST(GLMClamp, ClampsOnlyOutsideTheRange) {
  struct Case {
    double x, range, eta;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.0, glm::kSqrtMin, 0.0},
      {-5.0, glm::kSqrtMin, -5.0},
      {1e-300, glm::kSqrtMin, 1e-300},
      {2.5, 2.5, 2.5},
      {354.0, 354.0, 354.0},
      {1000.0, 1000.0, glm::kExpMax},
      {-1000.0, glm::kSqrtMin, glm::kExpMin},
      {1e300, glm::kSqrtMax, glm::kExpMax},
      {inf, glm::kSqrtMax, glm::kExpMax},
      {-inf, glm::kSqrtMin, glm::kExpMin},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(glm::clampRange(c.x), c.range) << c.x;
    EXPECT_EQ(glm::clampEta(c.x), c.eta) << c.x;
  }
  EXPECT_TRUE(std::isnan(glm::clampRange(std::nan(""))));
  EXPECT_TRUE(std::isnan(glm::clampEta(std::nan(""))));
  // The guarded functions stay finite at any finite or infinite argument.
  for (const double x : {0.0, -1.0, 1e-320, 1e308, inf, -inf}) {
    EXPECT_TRUE(std::isfinite(glm::logClamped(x))) << x;
    EXPECT_TRUE(std::isfinite(glm::expClamped(x))) << x;
    EXPECT_GT(glm::expClamped(x), 0.0) << x;
  }
}
