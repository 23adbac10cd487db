// The scoring model kinds against data: each case of tests/ref/vtcsrc/score_cases.csv reads its
// model from <case>.model.txt, its input from <case>.data.csv (typed by the model's metadata)
// and scores it as <case>.scores.csv (values computed from the model's definition, not by the
// library), or predict refuses the model (status 2) and leaves the scores empty.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "support/RefCompare.h"
#include "vtcsrc/VTCoxRegression.h"
#include "vtcsrc/VTKMeansCluster.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTNaiveBayes.h"
#include "vtcsrc/VTNeuralNetwork.h"
#include "vtcsrc/VTPrincipalComponents.h"
#include "vtcsrc/VTTree.h"

using vttest::Obj;

namespace {

using Predict = int (*)(TelvarObject*, const TelvarObject*, const TelvarObject*,
                        const TelvarObject*);
struct Kind {
  Predict predict;
  int (*print)(const TelvarObject*);
};
const std::map<std::string, Kind> kKinds = {
    {"KMeansCluster", {TelvarKMeansClusterModel_predict, TelvarKMeansClusterModel_print}},
    {"LinearRegression", {TelvarLinearRegressionModel_predict, TelvarLinearRegressionModel_print}},
    {"LogisticRegression",
     {TelvarLogisticRegressionModel_predict, TelvarLogisticRegressionModel_print}},
    {"PrincipalComponents",
     {TelvarPrincipalComponentsModel_predict, TelvarPrincipalComponentsModel_print}},
    {"Tree", {TelvarTreeModel_predict, TelvarTreeModel_print}},
    {"NeuralNetwork", {TelvarNeuralNetworkModel_predict, TelvarNeuralNetworkModel_print}},
    {"CoxRegression", {TelvarCoxRegressionModel_predict, TelvarCoxRegressionModel_print}},
    {"NaiveBayes", {TelvarNaiveBayesModel_predict, TelvarNaiveBayesModel_print}},
};

}  // namespace

// Tolerance 1e-13 relative, 1e-15 absolute.
TEST(VTModel, KindsScoreTheirReferenceData) {
  vttest::TempDir tmp;
  std::map<std::string, int> kindsSeen;
  for (const RefRow& c : readRefCsv("vtcsrc", "score_cases.csv")) {
    const std::string& name = c.text("case");
    SCOPED_TRACE(name);
    const Kind& kind = kKinds.at(c.text("kind"));
    Obj model, data, scores;
    ASSERT_EQ(TelvarObject_createFromFile(&model, refPath("vtcsrc", name + ".model.txt").c_str()),
              TELVAR_OK);
    const std::string input = vttest::withoutComments(refPath("vtcsrc", name + ".data.csv"), tmp);
    ASSERT_EQ(TelvarDataSet_createWithModel(model.get(), &data, input.c_str()), TELVAR_OK);
    const int status = kind.predict(&scores, data.get(), nullptr, model.get());
    ASSERT_EQ(status, static_cast<int>(c.num("status")));
    if (status != TELVAR_OK) {
      EXPECT_TRUE(TelvarObject_isEmpty(scores.get()));
      continue;
    }
    ++kindsSeen[c.text("kind")];
    const std::vector<std::vector<std::string>> expected =
        readRefCells(refPath("vtcsrc", name + ".scores.csv"));
    Obj names;
    ASSERT_EQ(TelvarDataSet_getColumnNames(&names, scores.get()), TELVAR_OK);
    ASSERT_EQ(vttest::strings(names.get()), expected[0]);
    int nrow = 0;
    TelvarDataSet_getNRows(&nrow, scores.get());
    EXPECT_EQ(nrow, static_cast<int>(expected.size()) - 1);
    for (std::size_t col = 0; col < expected[0].size(); ++col) {
      std::vector<double> want, got;
      for (std::size_t row = 1; row < expected.size(); ++row) {
        want.push_back(RefRow::refNumber(expected[row][col]));
        got.push_back(TelvarDataSet_getNonStringValue(scores.get(), static_cast<int>(col),
                                                      static_cast<int>(row) - 1));
      }
      EXPECT_TRUE(qmxtest::matchesColumn(got, want, 1e-13, 1e-15)) << expected[0][col];
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(kind.print(model.get()), TELVAR_OK);
    EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
  }
  EXPECT_EQ(kindsSeen.size(), kKinds.size());
}
