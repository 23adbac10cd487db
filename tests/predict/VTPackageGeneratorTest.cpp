// The C scoring package generator: copies, messages, and packages compiled and run as
// separate programs whose scores must equal the library's own.
#include "qmxmisc/predict/VTPackageGenerator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../vtcsrc/VTTestSupport.h"
#include "qmxmisc/base/QMXException.h"
#include "vtcsrc/VTCoxRegression.h"
#include "vtcsrc/VTKMeansCluster.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTNaiveBayes.h"
#include "vtcsrc/VTNeuralNetwork.h"
#include "vtcsrc/VTObjects.h"
#include "vtcsrc/VTPrincipalComponents.h"
#include "vtcsrc/VTTree.h"

using vttest::Obj;

namespace {
const std::string kSourceDir = QMX_VTCSRC_PACKAGE_DIR;

// Metadata: numeric x and y, factor g with levels (lo, hi); one term each.
void metaData(Obj& md) {
  const char* names[] = {"x", "y", "g"};
  const int nLevels[] = {0, 0, 2};
  const char* gLevels[] = {"lo", "hi"};
  const char* const* levels[] = {nullptr, nullptr, gLevels};
  Obj info, terms;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 3, names, nLevels, levels, nullptr),
            TELVAR_OK);
  const int nCols[] = {1, 1, 1};
  const char* const* cols[] = {names, names + 1, names + 2};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 3, names, nCols, cols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
}

// Input rows: x starts negative (the first-row rule alone would read it as text), g in the
// order hi, lo so that its codes differ from the model's, and an extra column the models skip.
const char* kData =
    "y,x,g,extra\n"
    "0.5,-1.25,hi,a\n"
    "2,3.5,lo,b\n"
    "-4.75,0,hi,c\n"
    "1e-3,12345.678,lo,d\n"
    "7,0.1,lo,e\n";

// The library's own scores of the model read back from model.txt, as the program prints them.
std::string libraryScores(
    const std::string& dir, const std::string& dataFile,
    const std::function<int(TelvarObject*, const TelvarObject*, const TelvarObject*)>& predict) {
  Obj model, data, scores;
  EXPECT_EQ(TelvarObject_createFromFile(&model, (dir + "/model.txt").c_str()), TELVAR_OK);
  EXPECT_EQ(TelvarDataSet_createWithModel(model.get(), &data, dataFile.c_str()), TELVAR_OK);
  EXPECT_EQ(predict(&scores, data.get(), model.get()), TELVAR_OK);
  int nrow = 0, ncol = 0;
  TelvarDataSet_getNRows(&nrow, scores.get());
  TelvarDataSet_getNColumns(&ncol, scores.get());
  Obj names;
  TelvarDataSet_getColumnNames(&names, scores.get());
  std::string out;
  for (int c = 0; c < ncol; ++c)
    out += (c ? "," : "") + vttest::strings(names.get())[c];
  out += "\n";
  char cell[64];
  for (int r = 0; r < nrow; ++r) {
    for (int c = 0; c < ncol; ++c) {
      int mode = 0;
      TelvarDataSet_getColumnMode(&mode, scores.get(), c);
      double v = TelvarDataSet_getNonStringValue(scores.get(), c, r);
      if (mode == TELVAR_LONG) {
        std::snprintf(cell, sizeof cell, "%d", static_cast<int>(v));
      } else {
        std::snprintf(cell, sizeof cell, "%.17g", v);
      }
      out += (c ? "," : "") + std::string(cell);
    }
    out += "\n";
  }
  return out;
}

int run(const std::string& command) {
  return std::system(command.c_str());
}

// Generates, compiles and runs the package of one model kind; returns the program's output.
std::string buildAndRun(const vttest::TempDir& tmp, const std::string& kind,
                        const TelvarObject& model, const std::string& dataFile) {
  std::string dist = tmp.file(kind);
  std::filesystem::create_directories(dist);
  VTPackageGenerator generator(kSourceDir, dist);
  EXPECT_TRUE(generator.writePackage(kind, model));
  for (const std::string& f :
       {std::string("readme.txt"), std::string("VTObjects.h"), std::string("VTObjects.c"),
        "VT" + kind + ".h", "VT" + kind + ".c", std::string("main.c"), std::string("model.txt")}) {
    EXPECT_TRUE(std::filesystem::exists(dist + "/" + f)) << f;
  }
  std::string mainText = vttest::readText(dist + "/main.c");
  EXPECT_EQ(mainText.find("$$model"), std::string::npos);
  EXPECT_NE(mainText.find("Telvar" + kind + "Model_predict"), std::string::npos);
  EXPECT_NE(vttest::readText(dist + "/readme.txt").find("for a " + kind + " model"),
            std::string::npos);
  std::string compile = "cd '" + dist +
                        "' && cc -std=c11 -Wall -Wextra -Werror -o score main.c VTObjects.c VT" +
                        kind + ".c -lm 2> compile.log";
  EXPECT_EQ(run(compile), 0) << vttest::readText(dist + "/compile.log");
  std::string execute = "cd '" + dist + "' && ./score '" + dataFile + "' > scores.csv 2> err.log";
  EXPECT_EQ(run(execute), 0) << vttest::readText(dist + "/err.log");
  return vttest::readText(dist + "/scores.csv");
}
}  // namespace

TEST(VTPackageGenerator, CopiesWithSubstitutionAndMessages) {
  vttest::TempDir src, dist;
  vttest::writeText(src.file("t.txt"), "a $$model b $$model$$model\nplain\n$$mode\n");
  VTPackageGenerator generator(src.path.string(), dist.path.string());
  ASSERT_TRUE(generator.copyFile("t.txt", "u.txt", "Tree"));
  EXPECT_EQ(vttest::readText(dist.file("u.txt")), "a Tree b TreeTree\nplain\n$$mode\n");
  ASSERT_TRUE(generator.copyFile("t.txt"));
  EXPECT_EQ(vttest::readText(dist.file("t.txt")), vttest::readText(src.file("t.txt")));

  testing::internal::CaptureStderr();
  EXPECT_FALSE(generator.copyFile("missing.txt"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad input file\n");

  VTPackageGenerator nowhere(src.path.string(), dist.file("no/such/dir"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(nowhere.copyFile("t.txt"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "cannot open output file for writing:" + dist.file("no/such/dir") + "/t.txt\n");

  if (::geteuid() != 0) {  // permissions do not stop root
    std::filesystem::permissions(src.file("t.txt"), std::filesystem::perms::none);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(generator.copyFile("t.txt"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cannot open input file for reading:" + src.file("t.txt") + "\n");
  }

  Obj model;
  try {
    generator.writePackage("Forest", *model.get());
    FAIL() << "no exception";
  } catch (const QMXException& e) {
    EXPECT_STREQ(e.message(), "unknown C scoring model kind: Forest");
  }
}

TEST(VTPackageGenerator, CompiledPackagesReproduceTheLibraryScores) {
  if (run("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  vttest::TempDir tmp;
  std::string dataFile = tmp.file("data.csv");
  vttest::writeText(dataFile, kData);
  Obj md;
  metaData(md);

  // Linear regression: coefficients with more digits than the stream's "%lf" keeps, so the
  // package and the library both score the model as read back from model.txt.
  Obj linear;
  const double coef[] = {0.25, 1.5, -2.0, 0.123456789};
  ASSERT_EQ(TelvarLinearRegressionModel_create(&linear, md.get(), 4, coef), TELVAR_OK);
  std::string got = buildAndRun(tmp, "LinearRegression", *linear.get(), dataFile);
  std::string want =
      libraryScores(tmp.file("LinearRegression"), dataFile,
                    [](TelvarObject* s, const TelvarObject* d, const TelvarObject* m) {
                      return TelvarLinearRegressionModel_predict(s, d, nullptr, m);
                    });
  EXPECT_EQ(got, want);
  // Spot check: row 1 has x = -1.25, y = 0.5, g = hi (model code 1).
  EXPECT_EQ(got.substr(0, 12), "PREDICT.fit\n");

  Obj kmeans;
  const double centers[] = {0, 3, 0, 1, 0, 1};
  const double scale[] = {1, 2, 1};
  const int32_t sizes[] = {10, 20};
  ASSERT_EQ(TelvarKMeansClusterModel_create(&kmeans, md.get(), 2, 3, centers, scale, sizes),
            TELVAR_OK);
  got = buildAndRun(tmp, "KMeansCluster", *kmeans.get(), dataFile);
  want = libraryScores(tmp.file("KMeansCluster"), dataFile,
                       [](TelvarObject* s, const TelvarObject* d, const TelvarObject* m) {
                         return TelvarKMeansClusterModel_predict(s, d, nullptr, m);
                       });
  EXPECT_EQ(got, want);
  EXPECT_EQ(got, "PREDICT.membership\n1\n2\n1\n2\n1\n");

  Obj logistic;
  ASSERT_EQ(TelvarLogisticRegressionModel_create(&logistic, md.get(), 4, coef), TELVAR_OK);
  got = buildAndRun(tmp, "LogisticRegression", *logistic.get(), dataFile);
  want = libraryScores(tmp.file("LogisticRegression"), dataFile,
                       [](TelvarObject* s, const TelvarObject* d, const TelvarObject* m) {
                         return TelvarLogisticRegressionModel_predict(s, d, nullptr, m);
                       });
  EXPECT_EQ(got, want);

  // Principal components, a two-tree classification ensemble on x and g, a Cox model and a
  // regression network with one hidden layer.
  Obj pca;
  const double center[] = {1, -1, 0.5};
  const double pcaScale[] = {2, 1, 1};
  const double loading[] = {0.6, 0.8, 0, -0.8, 0.6, 0.1};
  ASSERT_EQ(TelvarPrincipalComponentsModel_create(&pca, md.get(), 3, 2, center, pcaScale, loading),
            TELVAR_OK);
  std::vector<std::pair<std::string, const TelvarObject*>> more = {
      {"PrincipalComponents", pca.get()}};
  Obj tree;
  // Columns: node, column, operator, v1, v2, fit, Pr(A), Pr(B).
  const double t1[] = {1, 2,  3,  0, -1, -1, 2, 0,    0,    0.5, -1,   -1,
                       0, -1, -1, 0, 0,  0,  0, 0.75, 0.25, 0,   0.25, 0.75};
  const double t2[] = {1,  2,  3,  2, -1, -1, 0, 0,   0,     1, -1,  -1,
                       -1, -1, -1, 0, 0,  0,  0, 0.5, 0.125, 0, 0.5, 0.875};
  const double* trees[] = {t1, t2};
  const char* classes[] = {"A", "B"};
  ASSERT_EQ(TelvarTreeModel_create(&tree, md.get(), 1, 2, 2, classes, 2, 3, trees), TELVAR_OK);
  more.emplace_back("Tree", tree.get());
  Obj cox;
  const double survival[] = {1, 1, 5, 0.2, 0.04};
  const double chol[] = {0.5, 0.25, 0.125, 0, 0.5, 0.25, 0, 0, 0.5};
  const double beta[] = {0.5, -0.25, 1};
  ASSERT_EQ(TelvarCoxRegressionModel_create(&cox, md.get(), 3, 1, beta, center, survival, chol),
            TELVAR_OK);
  more.emplace_back("CoxRegression", cox.get());
  Obj nnet;
  const int32_t numeric[] = {1, 1, 0};
  const double range[] = {-5, 5, 0, 1};
  const double scaling[] = {-2, 13000, 0, 1, -5, 7, -1, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  const int layers[] = {2};
  const double h0[] = {0.5, 1, -1, 0.25, 0, -0.5, 0.5, 2, -1, 1};
  const double* hidden[] = {h0};
  const double outW[] = {-1, 1.5, 0.75};
  ASSERT_EQ(TelvarNeuralNetworkModel_create(&nnet, md.get(), 0, 3, numeric, range, 4, scaling, 1,
                                            layers, hidden, 1, nullptr, outW),
            TELVAR_OK);
  more.emplace_back("NeuralNetwork", nnet.get());
  // Naive Bayes on the factor g alone.
  Obj gInfo, gTerms, gMeta, bayes;
  const char* gName[] = {"g"};
  const int gCount[] = {2};
  const char* gLevels[] = {"lo", "hi"};
  const char* const* gLevelList[] = {gLevels};
  ASSERT_EQ(TelvarMetaData_createInputDescription(&gInfo, 1, gName, gCount, gLevelList, nullptr),
            TELVAR_OK);
  const char* const* gTerm[] = {gName};
  const int one[] = {1};
  ASSERT_EQ(TelvarMetaData_createTerms(&gTerms, 1, gName, one, gTerm), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&gMeta, gInfo.get(), gTerms.get()), TELVAR_OK);
  const int32_t counts[] = {2};
  const char* dep[] = {"yes", "no"};
  const double priors[] = {0.375, 0.625};
  const double table[] = {0.25, 0.5, 0.75, 0.5};
  ASSERT_EQ(TelvarNaiveBayesModel_create(&bayes, gMeta.get(), 1, 2, counts, dep, priors, table),
            TELVAR_OK);
  more.emplace_back("NaiveBayes", bayes.get());
  using Predict =
      int (*)(TelvarObject*, const TelvarObject*, const TelvarObject*, const TelvarObject*);
  const Predict predicts[] = {TelvarPrincipalComponentsModel_predict, TelvarTreeModel_predict,
                              TelvarCoxRegressionModel_predict, TelvarNeuralNetworkModel_predict,
                              TelvarNaiveBayesModel_predict};
  for (size_t i = 0; i < more.size(); ++i) {
    SCOPED_TRACE(more[i].first);
    got = buildAndRun(tmp, more[i].first, *more[i].second, dataFile);
    Predict predict = predicts[i];
    want = libraryScores(tmp.file(more[i].first), dataFile,
                         [predict](TelvarObject* s, const TelvarObject* d, const TelvarObject* m) {
                           return predict(s, d, nullptr, m);
                         });
    EXPECT_EQ(got, want);
    EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), 6);
  }

  // A failing run exits non-zero with a message.
  std::string dist = tmp.file("LinearRegression");
  EXPECT_NE(run("cd '" + dist + "' && ./score /nonexistent.csv > /dev/null 2> err2.log"), 0);
  EXPECT_NE(vttest::readText(dist + "/err2.log").find("cannot read the data file"),
            std::string::npos);
}
