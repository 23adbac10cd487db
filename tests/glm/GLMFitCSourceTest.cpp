// Regression fits as C scoring packages: models fitted by the regression procs on mtcars are
// scored by the standalone scoring library (in memory, to 1e-10 relative against the scoring
// proc) and written as packages that are compiled with the system C compiler and run on a
// comma-separated file (byte for byte the library's scores of model.txt); the metadata of the
// model terms under each factor coding; and the messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../vtcsrc/VTTestSupport.h"
#include "glm/GlmProcTestSupport.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/QMXProcGLMFit.h"
#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"
#include "vtcsrc/VTObjects.h"

using glmproc::mtcarsTable;
using glmproc::nearRelative;
using glmproc::Prop;
using glmproc::Spec;
using glmproc::specDocument;
using vttest::Obj;

namespace {

const std::string kSourceDir = QMX_VTCSRC_PACKAGE_DIR;

// mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl, fitted by the linear regression proc.
GLMFit linearFit() {
  QMXProcILM proc;
  const glmproc::RunResult run =
      glmproc::runProc(proc, "QMXProcILM", mtcarsTable(), 1000,
                       {{"model.vtml", {specDocument(glmproc::factorModel(false))}}});
  EXPECT_TRUE(run.ok) << run.error;
  return GLMFit(run.document.c_str());
}

// A GLM fitted by the iterative proc; the starting mean is R's mean of the response.
GLMFit glmFit(const Spec& spec, const std::string& family, const std::string& link,
              const std::string& refModel) {
  char mean[64];
  std::snprintf(mean, sizeof mean, "%.17g", glmproc::refStats(refModel).at("mean"));
  QMXProcIGLM proc;
  const glmproc::RunResult run = glmproc::runProc(proc, "QMXProcIGLM", mtcarsTable(), 1000,
                                                  {{"max.iterations", {"50"}},
                                                   {"epsilon", {"1e-12"}},
                                                   {"iglm.family", {family}},
                                                   {"iglm.link", {link}},
                                                   {"iglm.var", {"Constant: 1"}},
                                                   {"iglm.mean", {mean}},
                                                   {"model.vtml", {specDocument(spec)}}});
  EXPECT_TRUE(run.ok) << run.error;
  return GLMFit(run.document.c_str());
}

// amnum ~ wt + hp + cyl with the logit link (R's mean of amnum starts the iterations).
GLMFit logisticFit() {
  Spec spec;
  spec.responses = {{"amnum", {}}};
  spec.predictors = {{"wt", {}}, {"hp", {}}, {"cyl", glmproc::kCylLevels}};
  spec.terms = {{"wt", {"wt"}}, {"hp", {"hp"}}, {"cyl", {"cyl"}}};
  return glmFit(spec, "Binomial", "Logit: log(mu/(1 - mu))", "binomial");
}

// carb ~ wt + cyl with the log link: its package scores the linear predictor.
GLMFit poissonFit() {
  Spec spec;
  spec.responses = {{"carb", {}}};
  spec.predictors = {{"wt", {}}, {"cyl", glmproc::kCylLevels}};
  spec.terms = {{"wt", {"wt"}}, {"cyl", {"cyl"}}};
  return glmFit(spec, "Poisson", "Log: log(mu)", "poisson");
}

// The scoring proc's output of one type ("fitted.value", "probability", "eta") on mtcars.
std::vector<double> procScores(const GLMFit& fit, const char* type) {
  QMXProcGLMFit proc;
  proc.setFit(fit);
  const QMXMemoryTable table = mtcarsTable();
  QMXMemorySource source(table);
  QMXMemorySink sink;
  {
    QMXPipeline pipeline(proc, "QMXProcGLMFit");
    pipeline.addInput(source);
    pipeline.setOutput({{"out", QMXColumnType::Double, {}}}, &sink);
    pipeline.setChunkRows(7);
    pipeline.attach();
    QMXPropertyInfo request("define.output", std::vector<std::string>{"0", type, "out"});
    EXPECT_TRUE(pipeline.setProperty(request));
    EXPECT_TRUE(pipeline.run()) << pipeline.error();
  }
  return sink.table().numbers("out");
}

// mtcars as the package program reads it: the reference table without its comment line.
std::string writeDataFile(const vttest::TempDir& tmp) {
  std::istringstream in(
      vttest::readText(std::string(QMX_TEST_REF_DIR) + "/glm/glm_procs_data.csv"));
  std::string text, line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') text += line + "\n";
  const std::string path = tmp.file("mtcars.csv");
  vttest::writeText(path, text);
  return path;
}

// The library's scores of a model on the data file, one value per row.
std::vector<double> libraryScores(const TelvarObject* model, const std::string& kind,
                                  const std::string& dataFile) {
  Obj data, scores;
  EXPECT_EQ(TelvarDataSet_createWithModel(model, &data, dataFile.c_str()), TELVAR_OK);
  const int status =
      kind == "LogisticRegression"
          ? TelvarLogisticRegressionModel_predict(&scores, data.get(), nullptr, model)
          : TelvarLinearRegressionModel_predict(&scores, data.get(), nullptr, model);
  EXPECT_EQ(status, TELVAR_OK);
  int nrow = 0;
  TelvarDataSet_getNRows(&nrow, scores.get());
  std::vector<double> values;
  for (int row = 0; row < nrow; ++row)
    values.push_back(TelvarDataSet_getNonStringValue(scores.get(), 0, row));
  return values;
}

// The scores as the package program prints them: the column name, then "%.17g" per row.
std::string printed(const std::string& column, const std::vector<double>& values) {
  std::string text = column + "\n";
  char cell[64];
  for (const double v : values) {
    std::snprintf(cell, sizeof cell, "%.17g\n", v);
    text += cell;
  }
  return text;
}

int run(const std::string& command) {
  return std::system(command.c_str());
}

struct PackageCase {
  std::string name;
  GLMFit fit;
  const char* outputType;  // the scoring proc's output the package reproduces
  std::string kind;
  std::string column;
};

}  // namespace

// In memory, the scoring library reproduces the scoring proc to 1e-10 relative; the package
// written through the proc's "define.cgenerator" compiles with -Wall -Wextra -Werror and prints
// exactly the library's scores of model.txt, whose coefficients are the fit's to the 6
// decimals of the stream format.
TEST(GLMFitCSource, PackagesReproduceTheScoringProc) {
  if (run("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  vttest::TempDir tmp;
  const std::string dataFile = writeDataFile(tmp);
  const std::vector<PackageCase> cases = {
      {"linear", linearFit(), "fitted.value", "LinearRegression", "PREDICT.fit"},
      {"logistic", logisticFit(), "probability", "LogisticRegression", "PREDICT.prob"},
      {"poisson", poissonFit(), "eta", "LinearRegression", "PREDICT.fit"},
  };
  for (const PackageCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.fit.cScoringModelKind(), c.kind);
    const std::vector<double> expected = procScores(c.fit, c.outputType);
    ASSERT_EQ(expected.size(), 32u);

    Obj model;
    c.fit.createCScoringModel(&model);
    const std::vector<double> inMemory = libraryScores(model.get(), c.kind, dataFile);
    ASSERT_EQ(inMemory.size(), expected.size());
    for (std::size_t row = 0; row < expected.size(); ++row)
      EXPECT_TRUE(nearRelative(inMemory[row], expected[row], 1e-10)) << "row " << row;

    // The package, through the proc.
    const std::string dist = tmp.file(c.name);
    std::filesystem::create_directories(dist);
    QMXProcGLMFit proc;
    proc.setFit(c.fit);
    QMXPropertyInfo request("define.cgenerator", std::vector<std::string>{kSourceDir, dist});
    proc.setProperty(&request);
    proc.init();
    proc.execute();
    EXPECT_TRUE(proc.isDone());
    EXPECT_TRUE(glmproc::messagesOf(proc, QMXMessageKind::Error).empty());
    for (const std::string& file : {std::string("readme.txt"), std::string("main.c"),
                                    std::string("VTObjects.c"), "VT" + c.kind + ".c"})
      EXPECT_TRUE(std::filesystem::exists(dist + "/" + file)) << file;

    Obj written;
    ASSERT_EQ(TelvarObject_createFromFile(&written, (dist + "/model.txt").c_str()), TELVAR_OK);
    const std::vector<double> coef =
        vttest::doubles(static_cast<TelvarObject**>(written.get()->data)[1]);
    ASSERT_EQ(static_cast<long>(coef.size()), c.fit.nCoefficients());
    for (std::size_t j = 0; j < coef.size(); ++j)
      EXPECT_NEAR(coef[j], c.fit.coefficients()(static_cast<long>(j), 0), 5.000001e-7);

    const std::string compile = "cd '" + dist +
                                "' && cc -std=c11 -Wall -Wextra -Werror -o score main.c "
                                "VTObjects.c VT" +
                                c.kind + ".c -lm 2> compile.log";
    ASSERT_EQ(run(compile), 0) << vttest::readText(dist + "/compile.log");
    ASSERT_EQ(run("cd '" + dist + "' && ./score '" + dataFile + "' > scores.csv 2> err.log"), 0)
        << vttest::readText(dist + "/err.log");
    const std::vector<double> fromFile = libraryScores(written.get(), c.kind, dataFile);
    EXPECT_EQ(vttest::readText(dist + "/scores.csv"), printed(c.column, fromFile));
    // The rounded coefficients move a score by at most 5e-7 per unit of its design row.
    for (std::size_t row = 0; row < expected.size(); ++row)
      EXPECT_NEAR(fromFile[row], expected[row], 5e-7 * 400) << "row " << row;
  }
}

// Every factor coding the model matrix offers except the polynomial one: the library expands
// the factors and their interactions as the scoring proc's model matrix does (1e-12 relative).
TEST(GLMFitCSource, FactorCodingsMatchTheModelMatrix) {
  vttest::TempDir tmp;
  const std::string dataFile = writeDataFile(tmp);
  const GLMFit base = linearFit();
  struct Coding {
    MatrixCoding coding;
    long cylColumns, amColumns;
  };
  for (const Coding& c :
       {Coding{MatrixCoding::kIndicator, 3, 2}, Coding{MatrixCoding::kSumToZero, 2, 1},
        Coding{MatrixCoding::kLastReference, 2, 1}}) {
    SCOPED_TRACE(static_cast<int>(c.coding));
    GLMFit fit = base;
    fit.factorInfo("cyl").setMatrixCoding(c.coding);
    fit.factorInfo("am").setMatrixCoding(c.coding);
    // (Intercept), wt, hp, cyl, am, cyl:am, wt:cyl.
    const long n = 3 + c.cylColumns + c.amColumns + c.cylColumns * c.amColumns + c.cylColumns;
    TMatrix<double> coef(n, 1);
    for (long j = 0; j < n; ++j)
      coef(j, 0) = (j % 2 == 0 ? 1.0 : -1.0) * (0.5 + 0.25 * static_cast<double>(j));
    fit.setCoefficients(coef);
    fit.setStdErr(coef);
    fit.setCoefTable(TMatrix<long>(n, fit.nVariables()));
    const std::vector<double> expected = procScores(fit, "fitted.value");
    Obj model;
    fit.createCScoringModel(&model);
    const std::vector<double> got = libraryScores(model.get(), "LinearRegression", dataFile);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t row = 0; row < got.size(); ++row)
      EXPECT_TRUE(nearRelative(got[row], expected[row], 1e-12)) << "row " << row;
  }
}

// Powers of a covariate, alone and in an interaction with a factor: wt + hp^2 + hp^3:cyl
// (1e-12 relative against the scoring proc).
TEST(GLMFitCSource, PowersMatchTheModelMatrix) {
  vttest::TempDir tmp;
  const std::string dataFile = writeDataFile(tmp);
  GLMFit fit = linearFit();
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
  const TMatrix<double> coef(values, 6, 1);
  fit.setCoefficients(coef);
  fit.setStdErr(coef);
  fit.setCoefTable(TMatrix<long>(6, fit.nVariables()));
  const std::vector<double> expected = procScores(fit, "fitted.value");
  Obj model;
  fit.createCScoringModel(&model);
  const std::vector<double> got = libraryScores(model.get(), "LinearRegression", dataFile);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t row = 0; row < got.size(); ++row)
    EXPECT_TRUE(nearRelative(got[row], expected[row], 1e-12)) << "row " << row;
}

// The metadata of the model terms: one column per model variable, factor levels with their
// split categories, and per term its variables repeated per power or model-matrix column.
TEST(GLMFitCSource, MetaDataOfTheModelTerms) {
  ModelTerms terms;
  const long table[] = {1, 0, 0, 1, 2, 1};  // rows x, f; terms x, f, x^2:f (column-major)
  terms.setTermsTable(
      TMatrix<long>(table, 2, 3, strVector({"x", "f"}), strVector({"x", "f", "x^2:f"})));
  FactorInfo f;
  f.setName("f");
  f.setLevels(std::vector<std::string>{"a", "b", "c"});
  terms.setFactors(std::vector<FactorInfo>{f});
  auto slot = [](const TelvarObject* list, int i) {
    return static_cast<TelvarObject**>(list->data)[i];
  };
  struct Case {
    MatrixCoding coding;
    std::vector<std::string> levels;
    std::vector<int> splits;
    std::vector<std::string> lastTerm;
  };
  const std::vector<Case> cases = {
      {MatrixCoding::kIndicator, {"a", "b", "c"}, {0, 1, 2}, {"x", "x", "f", "f", "f"}},
      {MatrixCoding::kSumToZero, {"a", "b", "c"}, {0, 1, -2}, {"x", "x", "f", "f"}},
      {MatrixCoding::kLastReference, {"a", "b", "c"}, {0, 1, -1}, {"x", "x", "f", "f"}},
      {MatrixCoding::kNumeric, {}, {}, {"x", "x", "f"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.coding));
    Obj md;
    terms.createCModelMetaData(&md, c.coding);
    ASSERT_TRUE(TelvarMetaData_isValid(md.get()));
    const TelvarObject* info = slot(md.get(), 0);
    const TelvarObject* termInfo = slot(md.get(), 1);
    EXPECT_EQ(vttest::strings(slot(info, info->length)), (std::vector<std::string>{"x", "f"}));
    EXPECT_EQ(slot(slot(info, 0), 0)->length, 0);  // x is numeric
    EXPECT_EQ(vttest::strings(slot(slot(info, 1), 0)), c.levels);
    const TelvarObject* splits = slot(slot(info, 1), 1);
    const auto* codes = static_cast<const std::int32_t*>(splits->data);
    EXPECT_EQ(std::vector<int>(codes, codes + splits->length), c.splits);
    EXPECT_EQ(vttest::strings(slot(termInfo, termInfo->length)),
              (std::vector<std::string>{"x", "f", "x^2:f"}));
    EXPECT_EQ(vttest::strings(slot(termInfo, 0)), std::vector<std::string>{"x"});
    EXPECT_EQ(vttest::strings(slot(termInfo, 2)), c.lastTerm);
  }
}

// Every message of the package writer, in full.
TEST(GLMFitCSource, Messages) {
  const GLMFit base = linearFit();
  auto message = [](const auto& action) -> std::string {
    try {
      action();
    } catch (const QMXException& e) {
      return e.message();
    }
    return "no exception";
  };
  Obj model;
  GLMFit polynomial = base;
  polynomial.factorInfo("cyl").setMatrixCoding(MatrixCoding::kPolynomial);
  polynomial.factorInfo("am").setMatrixCoding(MatrixCoding::kPolynomial);
  EXPECT_EQ(message([&] { polynomial.createCScoringModel(&model); }),
            "orthogonal polynomial contrasts of categorical variable cyl cannot be written to a C "
            "scoring model");
  GLMFit mixed = base;
  mixed.factorInfo("am").setMatrixCoding(MatrixCoding::kLastReference);
  EXPECT_EQ(message([&] { mixed.createCScoringModel(&model); }),
            "a C scoring model needs one matrix coding for every categorical variable, but cyl "
            "and am differ");
  GLMFit shorter = base;
  TMatrix<double> coef(shorter.nCoefficients() - 1, 1);
  shorter.setCoefficients(coef);
  EXPECT_EQ(message([&] { shorter.createCScoringModel(&model); }),
            "number of columns in the model matrix does not match the number of coefficients");
  GLMFit blank = base;
  blank.factorInfo("cyl").level(0) = String("four cyl");
  EXPECT_EQ(message([&] { blank.createCScoringModel(&model); }),
            "the C scoring model cannot hold the text \"four cyl\": it is empty, longer than 255 "
            "characters or holds white space");
  ModelTerms nested;
  const long table[] = {2};
  nested.setTermsTable(TMatrix<long>(table, 1, 1, strVector({"f"}), strVector({"f^2"})));
  FactorInfo f;
  f.setName("f");
  f.setLevels(std::vector<std::string>{"a", "b"});
  nested.setFactors(std::vector<FactorInfo>{f});
  EXPECT_EQ(message([&] { nested.createCModelMetaData(&model, MatrixCoding::kIndicator); }),
            "order > 1 for categorical variables (nested effect) is not implemented yet");
  EXPECT_EQ(message([&] { base.generatePredictCSource(nullptr, "/tmp"); }),
            "missing directory names");
  EXPECT_EQ(message([&] { base.generatePredictCSource("/nonexistent/a", "/nonexistent/b"); }),
            "cannot access one of directories: /nonexistent/a, /nonexistent/b");
}
