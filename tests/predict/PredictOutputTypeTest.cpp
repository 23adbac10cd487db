// The output type table: codes, the names "define.output" gives, and which types may name no
// variable.
#include "qmxmisc/predict/PredictOutputType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PredictOutputType, CodesAndNames) {
  const std::vector<std::string> names = {
      "copy",        "fitted.value", "residual",          "weight",           "eta",   "category",
      "probability", "agreement",    "clusterMembership", "distanceToCenter", "score", "risk",
      "riskSE",      "survival",     "survivalSE"};
  for (std::size_t code = 0; code < names.size(); ++code) {
    SCOPED_TRACE(names[code]);
    const auto type = findPredictOutputType(names[code].c_str());
    ASSERT_TRUE(type.has_value());
    EXPECT_EQ(static_cast<std::size_t>(*type), code);
    EXPECT_EQ(predictOutputTypeName(*type), names[code]);
  }
  EXPECT_EQ(static_cast<int>(PredictOutputType::kNone), 15);
  EXPECT_STREQ(predictOutputTypeName(PredictOutputType::kNone), "none");
}

TEST(PredictOutputType, UnknownNamesAreNotFound) {
  for (const char* name : {"none", "Copy", "fitted", "fitted.value ", "", "residuals"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(findPredictOutputType(name).has_value());
  }
  EXPECT_FALSE(findPredictOutputType(nullptr).has_value());
}

TEST(PredictOutputType, TypesThatMayNameNoVariable) {
  for (int code = 0; code <= 15; ++code) {
    const auto type = static_cast<PredictOutputType>(code);
    SCOPED_TRACE(predictOutputTypeName(type));
    EXPECT_EQ(predictOutputAllowsEmptyName(type), code >= 8 && code <= 13);
  }
}
