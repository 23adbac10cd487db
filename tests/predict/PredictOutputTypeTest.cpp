// The output type table: codes and the names "define.output" gives. Unknown names and the
// types that may name no variable are rows of tests/framework/data/properties.tsv.
#include "qmxmisc/predict/PredictOutputType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PredictOutputType, CodesAndNames) {
  const std::vector<std::string> names = {"copy",
                                          "fitted.value",
                                          "residual",
                                          "weight",
                                          "eta",
                                          "category",
                                          "probability",
                                          "agreement",
                                          "clusterMembership",
                                          "distanceToCenter",
                                          "score",
                                          "risk",
                                          "riskSE",
                                          "survival",
                                          "survivalSE",
                                          "",  // 15: kNone
                                          "residual.default",
                                          "residual.response",
                                          "residual.pearson",
                                          "residual.deviance",
                                          "residual.working"};
  for (std::size_t code = 0; code < names.size(); ++code) {
    if (names[code].empty()) continue;
    SCOPED_TRACE(names[code]);
    const auto type = findPredictOutputType(names[code].c_str());
    ASSERT_TRUE(type.has_value());
    EXPECT_EQ(static_cast<std::size_t>(*type), code);
    EXPECT_EQ(predictOutputTypeName(*type), names[code]);
  }
  EXPECT_EQ(static_cast<int>(PredictOutputType::kNone), 15);
  EXPECT_STREQ(predictOutputTypeName(PredictOutputType::kNone), "none");
  EXPECT_FALSE(findPredictOutputType(nullptr).has_value());
}
