// The fixed guards: the written-out constants are the double format's own values, and the
// guarded functions stay finite.
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

// The clamps' values: tests/ref/glm/family_fixed.csv (GLMFamilyTest).
TEST(GLMClamp, GuardedFunctionsStayFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isnan(glm::clampRange(std::nan(""))));
  EXPECT_TRUE(std::isnan(glm::clampEta(std::nan(""))));
  for (const double x : {0.0, -1.0, 1e-320, 1e308, inf, -inf}) {
    EXPECT_TRUE(std::isfinite(glm::logClamped(x))) << x;
    EXPECT_GT(glm::expClamped(x), 0.0) << x;
    EXPECT_TRUE(std::isfinite(glm::expClamped(x))) << x;
  }
}
