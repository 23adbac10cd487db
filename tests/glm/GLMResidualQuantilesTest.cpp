// R's quantile(x) of sets of values (residual_quantiles.R: ties, a constant, heavy tails, an
// outlier, subnormal-sized values), kept in memory and selected over passes with bounds down
// to one value.
#include "qmxmisc/glm/GLMResidualQuantiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/RefCompare.h"
#include "support/RefCsv.h"

TEST(GLMResidualQuantiles, MatchRAtEveryBound) {
  std::map<std::string, std::vector<double>> sets;
  for (const RefRow& row : readRefCsv("glm", "residual_quantiles_data.csv"))
    sets[row.text("set")].push_back(row.num("x"));
  for (const RefRow& want : readRefCsv("glm", "residual_quantiles_ref.csv")) {
    const std::vector<double>& values = sets.at(want.text("set"));
    for (const long bound : {1L, 3L, 100L, 1000000L}) {
      SCOPED_TRACE(want.text("set") + " bound " + std::to_string(bound));
      GLMResidualQuantiles q(bound);
      long passes = 0;
      do {
        q.startPass();
        for (const double x : values)
          q.add(x);
        ASSERT_LT(++passes, 20);
      } while (!q.finishPass());
      // Values that fit the bound need one pass.
      if (static_cast<long>(values.size()) <= bound) {
        EXPECT_EQ(passes, 1);
      }
      const char* names[] = {"min", "q1", "median", "q3", "max"};
      for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(qmxtest::near(q.quantiles()[i], want.num(names[i]), 1e-15)) << names[i];
    }
  }
}
