// Regression fits in the standalone C scoring library: fits of the regression procs on mtcars,
// under every factor coding and with powers, score in the library as in the scoring proc
// (1e-10 relative); the packages of the fits of tests/ref/vtcsrc/package_fits.csv, compiled
// with the system C compiler, print what the scoring proc prints, to the last digit; the
// messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../vtcsrc/VTTestSupport.h"
#include "glm/GlmProcCases.h"
#include "qmxbase/QMXNumberText.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/glm/QMXProcGLMFit.h"
#include "support/TextFiles.h"
#include "support/ThrownMessage.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTObjects.h"

using vttest::Obj;

namespace {

GLMFit fitOf(const std::string& refCase) {
  const qmxtest::ProcResult run = glmcase::procOf(glmcase::caseOf(refCase)).run();
  EXPECT_TRUE(run.ok) << run.error;
  return GLMFit(run.properties.at("fitted.model.pmml").c_str());
}

// The scoring proc's output of one type ("fitted.value", "probability", "eta") on mtcars.
std::vector<double> procScores(const GLMFit& fit, const char* type, int index = 0) {
  QMXProcGLMFit proc;
  proc.setFit(fit);
  qmxtest::ProcHarness run(proc, "QMXProcGLMFit");
  run.input(glmcase::mtcars()).output({{"out", QMXColumnType::Double, {}}});
  const qmxtest::ProcResult result =
      run.set("define.output", {std::to_string(index), type, "out"}).run(7);
  EXPECT_TRUE(result.ok) << result.error;
  return result.output.numbers("out");
}

// mtcars as the package program reads it: the reference table without its comment lines.
std::string writeDataFile(const vttest::TempDir& tmp) {
  return vttest::withoutComments(refPath("glm", "glm_procs_data.csv"), tmp);
}

// The library's scores of a model on the data file.
std::vector<double> libraryScores(const TelvarObject* model, const std::string& dataFile) {
  Obj data, scores;
  EXPECT_EQ(TelvarDataSet_createWithModel(model, &data, dataFile.c_str()), TELVAR_OK);
  const bool logistic = std::string(model->className) == "LogisticRegressionModel";
  EXPECT_EQ(logistic ? TelvarLogisticRegressionModel_predict(&scores, data.get(), nullptr, model)
                     : TelvarLinearRegressionModel_predict(&scores, data.get(), nullptr, model),
            TELVAR_OK);
  int nrow = 0;
  TelvarDataSet_getNRows(&nrow, scores.get());
  std::vector<double> values;
  for (int row = 0; row < nrow; ++row)
    values.push_back(TelvarDataSet_getNonStringValue(scores.get(), 0, row));
  return values;
}

// The linear fit with another factor coding and coefficients of its own.
GLMFit recoded(GLMFit fit, MatrixCoding coding, long cylColumns, long amColumns) {
  fit.factorInfo("cyl").setMatrixCoding(coding);
  fit.factorInfo("am").setMatrixCoding(coding);
  // (Intercept), wt, hp, cyl, am, cyl:am, wt:cyl.
  const long n = 3 + cylColumns + amColumns + cylColumns * amColumns + cylColumns;
  TMatrix<double> coef(n, 1);
  for (long j = 0; j < n; ++j)
    coef(j, 0) = (j % 2 == 0 ? 1.0 : -1.0) * (0.5 + 0.25 * static_cast<double>(j));
  fit.setCoefficients(coef);
  fit.setStdErr(coef);
  fit.setCoefTable(TMatrix<long>(n, fit.nVariables()));
  return fit;
}

// The linear fit's terms replaced by wt + hp^2 + hp^3:cyl.
GLMFit withPowers(GLMFit fit) {
  const strVector& variables = fit.termsTable().getRowNames();
  TMatrix<long> table(fit.nVariables(), 3, variables, strVector({"wt", "hp^2", "hp^3:cyl"}));
  for (long v = 0; v < fit.nVariables(); ++v) {
    const std::string name = variables[static_cast<std::size_t>(v)].str();
    table(v, 0) = name == "wt" ? 1 : 0;
    table(v, 1) = name == "hp" ? 2 : 0;
    table(v, 2) = name == "hp" ? 3 : name == "cyl" ? 1 : 0;
  }
  fit.setTermsTable(table);
  const double values[] = {30.0, -2.5, 1.5e-4, 2e-7, -3e-7, 5e-7};
  fit.setCoefficients(TMatrix<double>(values, 6, 1));
  fit.setStdErr(TMatrix<double>(values, 6, 1));
  fit.setCoefTable(TMatrix<long>(6, fit.nVariables()));
  return fit;
}

}  // namespace

TEST(GLMFitCSource, LibraryScoresAsTheScoringProc) {
  vttest::TempDir tmp;
  const std::string dataFile = writeDataFile(tmp);
  const GLMFit linear = fitOf("lm");
  struct Case {
    std::string name;
    GLMFit fit;
    const char* outputType;
    const char* kind;
  };
  const std::vector<Case> cases = {
      {"lm", linear, "fitted.value", "LinearRegression"},
      {"binomial", fitOf("binomial"), "probability", "LogisticRegression"},
      {"poisson", fitOf("poisson"), "fitted.value", "LinearRegression"},
      {"indicator", recoded(linear, MatrixCoding::kIndicator, 3, 2), "fitted.value", ""},
      {"sum to zero", recoded(linear, MatrixCoding::kSumToZero, 2, 1), "fitted.value", ""},
      {"last reference", recoded(linear, MatrixCoding::kLastReference, 2, 1), "fitted.value", ""},
      {"powers", withPowers(linear), "fitted.value", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (*c.kind != '\0') {
      EXPECT_EQ(c.fit.cScoringModelKind(), std::string(c.kind));
    }
    Obj model;
    c.fit.createCScoringModel(&model);
    EXPECT_TRUE(qmxtest::matchesColumn(libraryScores(model.get(), dataFile),
                                       procScores(c.fit, c.outputType), 1e-10));
  }
}

// A value as `qmx score` prints it: 15 significant digits, NA for NaN.

GLMFit refitted(const RefRow& row) {
  GLMFit fit = fitOf(row.text("fit"));
  if (!row.text("family").empty()) {
    const GLMSpecNames names = glmSpecNames(row.text("family"), row.text("link"), "");
    fit.setFamily(String(names.family), String(names.link), String(names.variance));
  }
  if (row.num("spread") != 0) {
    TMatrix<double> coef = fit.coefficients();
    const double powers[] = {1e-12, 1e12, 1e-6, 1e6, 1.0};
    for (long j = 0; j < coef.getNRow(); ++j)
      coef(j, 0) *= powers[j % 5];
    fit.setCoefficients(coef);
  }
  return fit;
}

// One program per scoring model kind is compiled (-Wall -Wextra -Werror); each fit's package
// is written through the scoring proc's "define.cgenerator" and its model.txt scored by that
// program.
TEST(GLMFitCSource, PackagesPrintWhatTheScoringProcPrints) {
  if (std::system("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  vttest::TempDir tmp;
  const std::string dataFile = writeDataFile(tmp);
  std::map<std::string, std::string> programs;
  int cases = 0;
  for (const RefRow& row : readRefCsv("vtcsrc", "package_fits.csv")) {
    SCOPED_TRACE(row.text("case"));
    ++cases;
    const GLMFit fit = refitted(row);
    const std::string dist = tmp.file("package" + std::to_string(cases));
    std::filesystem::create_directories(dist);
    QMXProcGLMFit proc;
    proc.setFit(fit);
    EXPECT_TRUE(qmxtest::ProcHarness(proc, "QMXProcGLMFit")
                    .set("define.cgenerator", {QMX_VTCSRC_PACKAGE_DIR, dist})
                    .run()
                    .ok);
    const std::string kind = fit.cScoringModelKind();
    if (programs.count(kind) == 0) {
      programs[kind] = dist + "/score";
      const std::string compile = "cd '" + dist +
                                  "' && cc -std=c11 -Wall -Wextra -Werror -o score main.c "
                                  "VTObjects.c VT" +
                                  kind + ".c -lm 2> compile.log";
      ASSERT_EQ(std::system(compile.c_str()), 0) << vttest::readText(dist + "/compile.log");
    }
    const std::string command = "'" + programs[kind] + "' '" + dataFile + "' '" + dist +
                                "/model.txt' > '" + dist + "/scores.csv'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto lines = splitText(vttest::readText(dist + "/scores.csv"), '\n');
    const bool binomial = kind == "LogisticRegression";
    for (int k = 0; k < (binomial ? 2 : 1); ++k) {
      const auto want = procScores(fit, binomial ? "probability" : "fitted.value", k);
      ASSERT_EQ(lines.size(), want.size() + 2);  // header, rows, the empty text after the last
      for (std::size_t r = 0; r < want.size(); ++r) {
        // The same text as qmx score writes.
        EXPECT_EQ(splitText(lines[r + 1], ',').at(static_cast<std::size_t>(k)),
                  QMXCsvNumberText(want[r]));
      }
    }
  }
  EXPECT_EQ(programs.size(), 2u);
}

TEST(GLMFitCSource, Messages) {
  const GLMFit base = fitOf("lm");
  Obj model;
  GLMFit polynomial = base;
  polynomial.factorInfo("cyl").setMatrixCoding(MatrixCoding::kPolynomial);
  polynomial.factorInfo("am").setMatrixCoding(MatrixCoding::kPolynomial);
  EXPECT_EQ(thrownMessage([&] { polynomial.createCScoringModel(&model); }),
            "orthogonal polynomial contrasts of categorical variable cyl cannot be written to a C "
            "scoring model");
  GLMFit mixed = base;
  mixed.factorInfo("am").setMatrixCoding(MatrixCoding::kLastReference);
  EXPECT_EQ(thrownMessage([&] { mixed.createCScoringModel(&model); }),
            "a C scoring model needs one matrix coding for every categorical variable, but cyl "
            "and am differ");
  GLMFit shorter = base;
  shorter.setCoefficients(TMatrix<double>(shorter.nCoefficients() - 1, 1));
  EXPECT_EQ(thrownMessage([&] { shorter.createCScoringModel(&model); }),
            "number of columns in the model matrix does not match the number of coefficients");
  GLMFit blank = base;
  blank.factorInfo("cyl").level(0) = String("");
  EXPECT_EQ(thrownMessage([&] { blank.createCScoringModel(&model); }),
            "the C scoring model cannot hold the text \"\": it is empty or longer than 255 "
            "characters");
  GLMFit twoResponses = base;
  twoResponses.setCoefficients(TMatrix<double>(base.nCoefficients(), 2));
  EXPECT_EQ(thrownMessage([&] { twoResponses.createCScoringModel(&model); }),
            "a C scoring model scores one response, but the fit has 2");
  GLMFit infinite = base;
  TMatrix<double> coef = infinite.coefficients();
  coef(1, 0) = std::nan("");
  infinite.setCoefficients(coef);
  EXPECT_EQ(thrownMessage([&] { infinite.createCScoringModel(&model); }),
            "the coefficient wt is NA: a C scoring model needs finite coefficients");
  ModelTerms nested;
  const long table[] = {2};
  nested.setTermsTable(TMatrix<long>(table, 1, 1, strVector({"f"}), strVector({"f^2"})));
  FactorInfo f;
  f.setName("f");
  f.setLevels(std::vector<std::string>{"a", "b"});
  nested.setFactors(std::vector<FactorInfo>{f});
  EXPECT_EQ(thrownMessage([&] { nested.createCModelMetaData(&model, MatrixCoding::kIndicator); }),
            "order > 1 for categorical variables (nested effect) is not implemented yet");
  EXPECT_EQ(thrownMessage([&] { base.generatePredictCSource(nullptr, "/tmp"); }),
            "missing directory names");
  EXPECT_EQ(thrownMessage([&] { base.generatePredictCSource("/nonexistent/a", "/nonexistent/b"); }),
            "cannot access one of directories: /nonexistent/a, /nonexistent/b");
}
