// Scoring model kinds: hand-computed predictions on small data.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTKMeansCluster.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTObjects.h"
#include "vtcsrc/VTPrincipalComponents.h"
#include "vtcsrc/VTTree.h"

using vttest::Obj;
using vttest::scoreColumn;

namespace {
// Metadata of numeric columns named names (one term each).
void numericMetaData(Obj& md, const std::vector<const char*>& names) {
  Obj info, terms;
  int n = static_cast<int>(names.size());
  ASSERT_EQ(
      TelvarMetaData_createInputDescription(&info, n, names.data(), nullptr, nullptr, nullptr),
      TELVAR_OK);
  std::vector<int> ones(names.size(), 1);
  std::vector<const char* const*> cols;
  for (const char* const& name : names)
    cols.push_back(&name);
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, n, names.data(), ones.data(), cols.data()),
            TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
}

// A data set of double columns.
void doubleData(Obj& ds, const std::vector<const char*>& names,
                const std::vector<std::vector<double>>& columns) {
  std::vector<int> modes(names.size(), TELVAR_DOUBLE);
  std::vector<const void*> data;
  for (const auto& c : columns)
    data.push_back(c.data());
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, static_cast<int>(columns[0].size()),
                                          static_cast<int>(names.size()), modes.data(),
                                          names.data(), data.data()),
            TELVAR_OK);
}

}  // namespace

TEST(TelvarKMeansClusterModel, NearestCenterFirstOnTies) {
  Obj md, model, ds, scores;
  numericMetaData(md, {"x"});
  const double centers[] = {0, 2, 4};
  const double scale[] = {2};
  const int32_t sizes[] = {5, 6, 7};
  ASSERT_EQ(TelvarKMeansClusterModel_create(&model, md.get(), 3, 1, centers, scale, sizes),
            TELVAR_OK);
  EXPECT_TRUE(TelvarKMeansClusterModel_isValid(model.get()));
  // x / 2 = 3 is as far from center 2 as from center 4: cluster 2 wins. 1 ties clusters 1, 2.
  doubleData(ds, {"x"}, {{6, 2, 10, -4, 3}});
  ASSERT_EQ(TelvarKMeansClusterModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  TelvarObject* m = scoreColumn(scores.get(), 0, "PREDICT.membership");
  EXPECT_EQ(m->mode, TELVAR_LONG);
  EXPECT_EQ(vttest::longs(m), (std::vector<int>{2, 1, 3, 1, 2}));

  // More converted columns than center columns.
  Obj md2, model2, ds2, scores2;
  numericMetaData(md2, {"x", "y"});
  ASSERT_EQ(TelvarKMeansClusterModel_create(&model2, md2.get(), 3, 1, centers, scale, sizes),
            TELVAR_OK);
  doubleData(ds2, {"x", "y"}, {{1}, {2}});
  EXPECT_EQ(TelvarKMeansClusterModel_predict(&scores2, ds2.get(), nullptr, model2.get()),
            TELVAR_INVALID);
  EXPECT_TRUE(TelvarObject_isEmpty(scores2.get()));
  EXPECT_EQ(TelvarKMeansClusterModel_create(&model2, md2.get(), 0, 1, centers, scale, sizes),
            TELVAR_INVALID);
}

TEST(TelvarKMeansClusterModel, ValidityPrintAndStreamRoundTrip) {
  Obj md, model;
  numericMetaData(md, {"x", "y"});
  const double centers[] = {0, 1, 2, 3};
  const double scale[] = {1, 1};
  const int32_t sizes[] = {4, 4};
  ASSERT_EQ(TelvarKMeansClusterModel_create(&model, md.get(), 2, 2, centers, scale, sizes),
            TELVAR_OK);
  testing::internal::CaptureStdout();
  ASSERT_EQ(TelvarKMeansClusterModel_print(model.get()), TELVAR_OK);
  std::string out = testing::internal::GetCapturedStdout();
  for (const char* heading : {"Meta Data:\n", "Cluster Centers:\n", "Column Scaling Factor:\n",
                              "Cluster sizes:\n4, 4\n"}) {
    EXPECT_NE(out.find(heading), std::string::npos) << heading;
  }
  Obj back;
  ASSERT_EQ(vttest::readText(&back, vttest::streamText(model.get())), TELVAR_OK);
  EXPECT_TRUE(TelvarKMeansClusterModel_isValid(back.get()));
  EXPECT_STREQ(back.get()->className, "KMeansClusterModel");

  // A scale vector shorter than the center columns is invalid.
  Obj shortScale;
  ASSERT_EQ(TelvarVector_create(&shortScale, 1, TELVAR_DOUBLE, scale), TELVAR_OK);
  ASSERT_EQ(TelvarList_setAt(&model, 2, shortScale.get()), TELVAR_OK);
  EXPECT_FALSE(TelvarKMeansClusterModel_isValid(model.get()));
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarKMeansClusterModel_print(model.get()), TELVAR_INVALID);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(0, 23), "vtcsrc/VTKMeansCluster(");
  EXPECT_EQ(err.substr(err.size() - 19), ") : Invalid pModel\n");
}

TEST(TelvarLinearRegressionModel, InterceptPlusCoefficientsAndCountCheck) {
  Obj md, model, ds, scores;
  numericMetaData(md, {"a", "b"});
  const double coef[] = {1, 2, -1};
  ASSERT_EQ(TelvarLinearRegressionModel_create(&model, md.get(), 3, coef), TELVAR_OK);
  doubleData(ds, {"b", "a"}, {{1, 0, 3}, {1, 2, 0}});
  ASSERT_EQ(TelvarLinearRegressionModel_predict(&scores, ds.get(), nullptr, model.get()),
            TELVAR_OK);
  EXPECT_EQ(vttest::doubles(scoreColumn(scores.get(), 0, "PREDICT.fit")),
            (std::vector<double>{2, 5, -2}));

  Obj tooMany, scores2;
  const double coef4[] = {1, 2, -1, 7};
  ASSERT_EQ(TelvarLinearRegressionModel_create(&tooMany, md.get(), 4, coef4), TELVAR_OK);
  EXPECT_EQ(TelvarLinearRegressionModel_predict(&scores2, ds.get(), nullptr, tooMany.get()),
            TELVAR_INVALID);
  EXPECT_EQ(TelvarLinearRegressionModel_create(&scores2, md.get(), 0, coef4), TELVAR_INVALID);
  testing::internal::CaptureStdout();
  TelvarLinearRegressionModel_print(model.get());
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Coefficients:\n1, 2, -1\n"),
            std::string::npos);
}

TEST(TelvarLogisticRegressionModel, ProbabilitiesAndOverflow) {
  Obj md, model, ds, scores;
  numericMetaData(md, {"x"});
  const double coef[] = {0, 1};
  ASSERT_EQ(TelvarLogisticRegressionModel_create(&model, md.get(), 2, coef), TELVAR_OK);
  doubleData(ds, {"x"}, {{0, std::log(3.0), 800, -800}});
  ASSERT_EQ(TelvarLogisticRegressionModel_predict(&scores, ds.get(), nullptr, model.get()),
            TELVAR_OK);
  std::vector<double> p = vttest::doubles(scoreColumn(scores.get(), 0, "PREDICT.prob"));
  EXPECT_EQ(p[0], 0.5);
  EXPECT_NEAR(p[1], 0.75, 1e-15);
  EXPECT_EQ(p[2], 1.0);  // e^800 overflows: exactly 1
  EXPECT_EQ(p[3], 0.0);
}

TEST(TelvarPrincipalComponentsModel, CenteredScaledScores) {
  Obj md, model, ds, scores;
  numericMetaData(md, {"u", "v"});
  const double center[] = {1, 2};
  const double scale[] = {1, 2};
  const double loading[] = {0.6, 0.8, -0.8, 0.6};
  ASSERT_EQ(TelvarPrincipalComponentsModel_create(&model, md.get(), 2, 2, center, scale, loading),
            TELVAR_OK);
  doubleData(ds, {"u", "v"}, {{2, 1}, {6, 2}});
  ASSERT_EQ(TelvarPrincipalComponentsModel_predict(&scores, ds.get(), nullptr, model.get()),
            TELVAR_OK);
  // (u, v) = (2, 6): z = (1, 2), scores 0.6 + 1.6 and -0.8 + 1.2. (1, 2): z = 0.
  std::vector<double> c0 = vttest::doubles(scoreColumn(scores.get(), 0, "Component0"));
  std::vector<double> c1 = vttest::doubles(scoreColumn(scores.get(), 1, "Component1"));
  EXPECT_NEAR(c0[0], 2.2, 1e-15);
  EXPECT_NEAR(c1[0], 0.4, 1e-15);
  EXPECT_EQ(c0[1], 0.0);
  EXPECT_EQ(c1[1], 0.0);
  testing::internal::CaptureStdout();
  TelvarPrincipalComponentsModel_print(model.get());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Column Centers:\n1, 2\nColumn Scaling Factor:\n1, 2\n"
                     "Component Loading Factor:\n"),
            std::string::npos);
}

TEST(TelvarTreeModel, RegressionEnsembleAverages) {
  Obj md, model, ds, scores;
  numericMetaData(md, {"x"});
  // Columns: node, split column, operator, one split value, fitted value.
  // Trees 1 and 3 split x <= 5; tree 2 is a single leaf padded with two empty rows.
  const double t1[] = {1, 2, 3, 0, -1, -1, 2, 0, 0, 5, -1, -1, 0, 1, 10};
  const double t2[] = {1, 0, 0, -1, 0, 0, 0, 0, 0, -1, 0, 0, 4, 0, 0};
  const double t3[] = {1, 2, 3, 0, -1, -1, 2, 0, 0, 5, -1, -1, 0, 6, 30};
  const double* trees[] = {t1, t2, t3};
  ASSERT_EQ(TelvarTreeModel_create(&model, md.get(), 0, 0, 1, nullptr, 3, 3, trees), TELVAR_OK);
  EXPECT_TRUE(TelvarTreeModel_isValid(model.get()));
  doubleData(ds, {"x"}, {{3, 7, 5}});
  ASSERT_EQ(TelvarTreeModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> fit = vttest::doubles(scoreColumn(scores.get(), 0, "PREDICT.fit"));
  EXPECT_DOUBLE_EQ(fit[0], (1.0 + 4.0 + 6.0) / 3);
  EXPECT_DOUBLE_EQ(fit[1], (10.0 + 4.0 + 30.0) / 3);
  EXPECT_DOUBLE_EQ(fit[2], (1.0 + 4.0 + 6.0) / 3);

  // A numeric split column tries only the first split value.
  Obj model2, scores2;
  const double two[] = {1, 2, 3, 0, -1, -1, 1, 0, 0, 1, -1, -1, 100, -1, -1, 0, 1, 2};
  const double* one[] = {two};
  ASSERT_EQ(TelvarTreeModel_create(&model2, md.get(), 0, 0, 2, nullptr, 1, 3, one), TELVAR_OK);
  ASSERT_EQ(TelvarTreeModel_predict(&scores2, ds.get(), nullptr, model2.get()), TELVAR_OK);
  EXPECT_EQ(vttest::doubles(scoreColumn(scores2.get(), 0, "PREDICT.fit")),
            (std::vector<double>{2, 2, 2}));
  EXPECT_EQ(TelvarTreeModel_create(&model2, md.get(), 0, 0, 1, nullptr, 0, 3, one), TELVAR_INVALID);
}

TEST(TelvarTreeModel, ClassificationOnLevelsAveragesProbabilities) {
  // Factor column g with levels a, b, c; output levels yes, no; two split values per node.
  Obj info, terms, md;
  const char* names[] = {"g"};
  const int nLevels[] = {3};
  const char* gLevels[] = {"a", "b", "c"};
  const char* const* levels[] = {gLevels};
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 1, names, nLevels, levels, nullptr),
            TELVAR_OK);
  const int nCols[] = {1};
  const char* const* termCols[] = {names};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 1, names, nCols, termCols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
  // Columns: node, column, operator, v1, v2, fit, Pr(yes), Pr(no).
  // Tree 1: g = a or g = c goes left (0.9, 0.1), else right (0.2, 0.8).
  const double t1[] = {1, 2,  3,  0, -1, -1, 0, 0,   0,   0, -1,  -1,
                       2, -1, -1, 0, 0,  0,  0, 0.9, 0.2, 0, 0.1, 0.8};
  // Tree 2: the first split value is -1, so every row goes left (1, 0).
  const double t2[] = {1,  2,  3,  0, -1, -1, 0, 0, 0, -1, -1, -1,
                       -1, -1, -1, 0, 0,  0,  0, 1, 0, 0,  0,  1};
  const double* trees[] = {t1, t2};
  const char* outLevels[] = {"yes", "no"};
  Obj model;
  ASSERT_EQ(TelvarTreeModel_create(&model, md.get(), 1, 2, 2, outLevels, 2, 3, trees), TELVAR_OK);
  Obj ds, f, scores;
  const int modes[] = {TELVAR_LONG};
  const int32_t zeros[] = {0, 0, 0};
  const void* cols[] = {zeros};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 3, 1, modes, names, cols), TELVAR_OK);
  const char* texts[] = {"c", "b", "a"};  // factor levels in order c, b, a
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 3, texts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 0, f.get()), TELVAR_OK);
  ASSERT_EQ(TelvarTreeModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> yes = vttest::doubles(scoreColumn(scores.get(), 0, "Pr(yes)"));
  std::vector<double> no = vttest::doubles(scoreColumn(scores.get(), 1, "Pr(no)"));
  EXPECT_DOUBLE_EQ(yes[0], 0.95);
  EXPECT_DOUBLE_EQ(yes[1], 0.6);
  EXPECT_DOUBLE_EQ(yes[2], 0.95);
  EXPECT_DOUBLE_EQ(no[1], 0.4);
  testing::internal::CaptureStdout();
  TelvarTreeModel_print(model.get());
  std::string out = testing::internal::GetCapturedStdout();
  for (const char* heading :
       {"Classification:\n1\n", "Num Levels Output:\n2\n", "Dependent Levels:\nyes, no\n",
        "Num Max Comparisons:\n2\n", "Tree Description (0):\n", "Tree Description (1):\n"}) {
    EXPECT_NE(out.find(heading), std::string::npos) << heading;
  }
}
