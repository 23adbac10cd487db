// Scoring model kinds with layouts of their own: neural network, Cox regression, naive Bayes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTCoxRegression.h"
#include "vtcsrc/VTNaiveBayes.h"
#include "vtcsrc/VTNeuralNetwork.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

namespace {
// Metadata: numeric "x" and factor "g" with levels (a, b, c) and the given split categories.
void mixedMetaData(Obj& md, const int32_t* gSplits) {
  const char* names[] = {"x", "g"};
  const int nLevels[] = {0, 3};
  const char* gLevels[] = {"a", "b", "c"};
  const char* const* levels[] = {nullptr, gLevels};
  const int32_t* splits[] = {nullptr, gSplits};
  Obj info, terms;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 2, names, nLevels, levels, splits),
            TELVAR_OK);
  const int nCols[] = {1, 1};
  const char* const* cols[] = {names, names + 1};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 2, names, nCols, cols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
}

// Rows (x, g): (1, a), (2, c), (0.5, b).
void mixedData(Obj& ds) {
  const int modes[] = {TELVAR_DOUBLE, TELVAR_LONG};
  const double x[] = {1, 2, 0.5};
  const int32_t zeros[] = {0, 0, 0};
  const void* cols[] = {x, zeros};
  const char* names[] = {"x", "g"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 3, 2, modes, names, cols), TELVAR_OK);
  Obj g;
  const char* texts[] = {"a", "c", "b"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&g, 3, texts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 1, g.get()), TELVAR_OK);
}

std::vector<double> column(const TelvarObject* scores, int c, const char* name) {
  return vttest::doubles(vttest::scoreColumn(scores, c, name));
}

double logistic(double v) {
  return 1.0 / (1.0 + std::exp(-v));
}
}  // namespace

TEST(TelvarNeuralNetworkModel, RegressionWithScalingAndTwoHiddenLayers) {
  // g coded by split categories a -> none (baseline), b -> neuron 0, c -> neuron 1.
  const int32_t gSplits[] = {-1, 0, 1};
  Obj md, model, ds, scores;
  mixedMetaData(md, gSplits);
  const int32_t numeric[] = {1, 0};
  const double range[] = {10, 20, 0, 1};  // data [10, 20], neuron [0, 1]
  // Input x scaled from [0, 2] to [-1, 1]; the two indicators pass through.
  const double scaling[] = {0, 2, -1, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  const int layers[] = {2, 1};
  // Layer 0 (bias; from x, b, c): neuron 0 = x, neuron 1 = b - c.
  const double h0[] = {0, 1, 0, 0, 0, 0, 1, -1};
  const double h1[] = {0.5, 1, -1};  // one neuron: 0.5 + n0 - n1
  const double* hidden[] = {h0, h1};
  const double outW[] = {0, 2};
  ASSERT_EQ(TelvarNeuralNetworkModel_create(&model, md.get(), 0, 2, numeric, range, 3, scaling, 2,
                                            layers, hidden, 1, nullptr, outW),
            TELVAR_OK);
  ASSERT_TRUE(TelvarNeuralNetworkModel_isValid(model.get()));
  mixedData(ds);
  ASSERT_EQ(TelvarNeuralNetworkModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> fit = column(scores.get(), 0, "PREDICT.fit");
  // Hand computation row by row: scaled x = x - 1; (b, c) indicators.
  const double xs[] = {0, 1, -0.5};
  const double b[] = {0, 0, 1};
  const double c[] = {0, 1, 0};
  for (int r = 0; r < 3; ++r) {
    double n0 = logistic(xs[r]);
    double n1 = logistic(b[r] - c[r]);
    double m = logistic(0.5 + n0 - n1);
    double out = logistic(2 * m);
    EXPECT_NEAR(fit[r], 10 + 10 * out, 1e-12) << r;
  }
  Obj back;
  ASSERT_EQ(vttest::readText(&back, vttest::streamText(model.get())), TELVAR_OK);
  EXPECT_TRUE(TelvarNeuralNetworkModel_isValid(back.get()));
  testing::internal::CaptureStdout();
  TelvarNeuralNetworkModel_print(model.get());
  std::string out = testing::internal::GetCapturedStdout();
  for (const char* heading :
       {"Is Classification Model:\n0\n",
        "Input Variables & Output Variable Range (output used for Regression ONLY):\n1, 0\n",
        "Dependent Levels:\n", "Input Weights:\n", "Hidden Weights:\n", "Output Weights:\n"}) {
    EXPECT_NE(out.find(heading), std::string::npos) << heading;
  }
}

TEST(TelvarNeuralNetworkModel, ClassificationWithoutHiddenLayers) {
  const int32_t gSplits[] = {0, 1, 2};
  Obj md, model, ds, scores;
  mixedMetaData(md, gSplits);
  const int32_t numeric[] = {1, 0};
  const double range[] = {0, 1, 0, 1};
  const double scaling[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  // Outputs yes = logistic(x + a), no = logistic(-x + 2c).
  const double outW[] = {0, 1, 1, 0, 0, 0, -1, 0, 0, 2};
  const char* levels[] = {"yes", "no"};
  ASSERT_EQ(TelvarNeuralNetworkModel_create(&model, md.get(), 1, 2, numeric, range, 4, scaling, 0,
                                            nullptr, nullptr, 2, levels, outW),
            TELVAR_OK);
  mixedData(ds);
  ASSERT_EQ(TelvarNeuralNetworkModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> yes = column(scores.get(), 0, "Pr(yes)");
  std::vector<double> no = column(scores.get(), 1, "Pr(no)");
  EXPECT_NEAR(yes[0], logistic(2), 1e-15);
  EXPECT_NEAR(no[1], logistic(0), 1e-15);
  EXPECT_NEAR(yes[2], logistic(0.5), 1e-15);
  EXPECT_NEAR(no[2], logistic(-0.5), 1e-15);
  // An input layer of the wrong width is refused.
  Obj bad, scores2;
  ASSERT_EQ(TelvarNeuralNetworkModel_create(&bad, md.get(), 1, 2, numeric, range, 3, scaling, 0,
                                            nullptr, nullptr, 2, levels, outW),
            TELVAR_OK);
  EXPECT_EQ(TelvarNeuralNetworkModel_predict(&scores2, ds.get(), nullptr, bad.get()),
            TELVAR_INVALID);
}

TEST(TelvarCoxRegressionModel, RiskAndStandardError) {
  const char* names[] = {"x", "z"};
  Obj info, terms, md, model, ds, scores;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 2, names, nullptr, nullptr, nullptr),
            TELVAR_OK);
  const int nCols[] = {1, 1};
  const char* const* cols[] = {names, names + 1};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 2, names, nCols, cols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
  const double beta[] = {0.5, -1};
  const double center[] = {1, 2};
  const double survival[] = {1, 1, 10, 0.1, 0.01, 2, 1, 9, 0.21, 0.02};
  // L = [[2, 0], [1, 3]] (lower triangular), V = L L' = [[4, 2], [2, 10]].
  const double chol[] = {2, 1, 0, 3};
  ASSERT_EQ(TelvarCoxRegressionModel_create(&model, md.get(), 2, 2, beta, center, survival, chol),
            TELVAR_OK);
  const int modes[] = {TELVAR_DOUBLE, TELVAR_DOUBLE};
  const double x[] = {1, 3};
  const double z[] = {2, 1};
  const void* data[] = {x, z};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 2, 2, modes, names, data), TELVAR_OK);
  ASSERT_EQ(TelvarCoxRegressionModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> risk = column(scores.get(), 0, "PREDICT.risk");
  std::vector<double> se = column(scores.get(), 1, "PREDICT.risk.se");
  EXPECT_EQ(risk[0], 1.0);  // at the centre
  EXPECT_EQ(se[0], 0.0);
  // Row 2: d = (2, -1): eta = 1 + 1 = 2; q = d' V d = 16 - 8 + 10 = 18.
  EXPECT_NEAR(risk[1], std::exp(2.0), 1e-13);
  EXPECT_NEAR(se[1], std::sqrt(std::exp(2.0) * 18), 1e-12);
  testing::internal::CaptureStdout();
  TelvarCoxRegressionModel_print(model.get());
  std::string out = testing::internal::GetCapturedStdout();
  for (const char* h :
       {"Coefficients:\n0.5, -1\n", "Centers:\n1, 2\n", "Survival:\n", "Choleski:\n"}) {
    EXPECT_NE(out.find(h), std::string::npos) << h;
  }
  Obj broken;
  EXPECT_EQ(TelvarCoxRegressionModel_create(&broken, md.get(), 2, 0, beta, center, survival, chol),
            TELVAR_INVALID);
}

TEST(TelvarNaiveBayesModel, NormalisedPosteriorProbabilities) {
  // Two independent factors: g (a, b, c) and h (u, v); dependent levels yes, no.
  const char* names[] = {"g", "h"};
  const int nLevels[] = {3, 2};
  const char* gLevels[] = {"a", "b", "c"};
  const char* hLevels[] = {"u", "v"};
  const char* const* levels[] = {gLevels, hLevels};
  Obj info, terms, md, model;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 2, names, nLevels, levels, nullptr),
            TELVAR_OK);
  const int nCols[] = {1, 1};
  const char* const* cols[] = {names, names + 1};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 2, names, nCols, cols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
  const int32_t counts[] = {3, 2};
  const char* dep[] = {"yes", "no"};
  const double priors[] = {0.25, 0.75};
  // Rows code * 2 + k. Column g: P(a|yes) .5, P(a|no) .2, P(b|.) .3/.3, P(c|.) .2/.5.
  // Column h: P(u|yes) .9, P(u|no) .4, P(v|.) .1/.6, unused rows 0.
  const double table[] = {.5, .2, .3, .3, .2, .5, .9, .4, .1, .6, 0, 0};
  ASSERT_EQ(TelvarNaiveBayesModel_create(&model, md.get(), 2, 2, counts, dep, priors, table),
            TELVAR_OK);
  ASSERT_TRUE(TelvarNaiveBayesModel_isValid(model.get()));
  Obj ds, g, h, scores;
  const int modes[] = {TELVAR_LONG, TELVAR_LONG};
  const int32_t zeros[] = {0, 0};
  const void* data[] = {zeros, zeros};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 2, 2, modes, names, data), TELVAR_OK);
  const char* gTexts[] = {"a", "c"};
  const char* hTexts[] = {"u", "v"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&g, 2, gTexts), TELVAR_OK);
  ASSERT_EQ(TelvarFactor_createFromStrings(&h, 2, hTexts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 0, g.get()), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 1, h.get()), TELVAR_OK);
  ASSERT_EQ(TelvarNaiveBayesModel_predict(&scores, ds.get(), nullptr, model.get()), TELVAR_OK);
  std::vector<double> yes = column(scores.get(), 0, "Pr(yes)");
  std::vector<double> no = column(scores.get(), 1, "Pr(no)");
  // Row (a, u): yes .25*.5*.9 = .1125, no .75*.2*.4 = .06. Row (c, v): .005 and .225.
  EXPECT_NEAR(yes[0], 0.1125 / 0.1725, 1e-15);
  EXPECT_NEAR(no[0], 0.06 / 0.1725, 1e-15);
  EXPECT_NEAR(yes[1], 0.005 / 0.23, 1e-15);
  testing::internal::CaptureStdout();
  TelvarNaiveBayesModel_print(model.get());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Num Dependent Levels:\n2\nDependent Levels:\nyes, no\n"
                     "Num Independent Levels:\n3, 2\nInitial Probabilities:\n0.25, 0.75\n"
                     "Probability Matrix:\n"),
            std::string::npos)
      << out;
  Obj notModel;
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarNaiveBayesModel_print(notModel.get()), TELVAR_INVALID);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(0, 20), "vtcsrc/VTNaiveBayes(");
}
