// The regression scoring proc: fitted Gaussian, binomial logit and Poisson log models (R 4.2
// coefficients of tests/ref/glm/glm_score.R written as model documents with GLMFit::getXML)
// score a memory table through the pipeline; predictions are compared with R's
// predict(type = "link") and predict(type = "response").
#include "qmxmisc/glm/QMXProcGLMFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "GlmRefCsv.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/base/QMXException.h"

extern "C" QMXProc* qmx_s_create_QMXProcGLMFit(QMXProc** out);

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// R's predictions against ours: the document carries 15 significant digits per coefficient.
constexpr double kTolerance = 1e-10;

enum class Kind { kGaussian, kBinomial, kPoisson };

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::kGaussian:
      return "gaussian";
    case Kind::kBinomial:
      return "binomial";
    case Kind::kPoisson:
      return "poisson";
  }
  return "";
}

TMatrix<long> longTable(const std::vector<std::vector<long>>& rows,
                        const std::vector<std::string>& rowNames,
                        const std::vector<std::string>& colNames) {
  TMatrix<long> table(static_cast<long>(rows.size()), static_cast<long>(rows[0].size()), rowNames,
                      colNames);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < rows[i].size(); ++j)
      table(static_cast<long>(i), static_cast<long>(j)) = rows[i][j];
  return table;
}

const std::vector<std::string> kCoefNames = {"(Intercept)", "x", "f(a)", "f(b)", "f(c)"};

// response ~ x + f (f with levels a, b, c; the coefficient of c is 0 and aliased) with R's
// coefficients. The Gaussian model is written as the linear regression proc writes it (no
// family names); the GLMs carry the iterative proc's family extras.
GLMFit scoreFit(Kind kind, bool withFamily = true) {
  std::map<std::string, double> beta;
  for (const GlmRefRow& row : readGlmRefCsv("glm_score_coef.csv"))
    if (row.text("model") == kindName(kind)) beta[row.text("name")] = row.num("beta");

  GLMFit fit;
  fit.setTermsTable(longTable({{1, 0}, {0, 1}}, {"x", "f"}, {"x", "f"}));
  FactorInfo f;
  f.setName("f");
  f.setLevels(std::vector<std::string>{"a", "b", "c"});
  fit.setFactors(factVector{f});
  std::string response = "y";
  if (kind == Kind::kGaussian) {
    fit.setResponse("y");
    if (withFamily) fit.setFamily(GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity);
  } else if (kind == Kind::kBinomial) {
    response = "ev";
    FactorInfo ev;
    ev.setName("ev");
    ev.setLevels(std::vector<std::string>{"yes", "no"});
    fit.setResponse(ev);
    const String extras[] = {"Family", "Binomial",          "Link", "Logit: log(mu/(1 - mu))",
                             "Var",    "Binomial: mu(1-mu)"};
    fit.setFamily(extras[1], extras[3], extras[5]);
    fit.setModelExtras(3, extras);
  } else {
    response = "count";
    fit.setResponse("count");
    const String extras[] = {"Family", "Poisson", "Link", "Log: log(mu)", "Var", "Identity: mu"};
    fit.setFamily(extras[1], extras[3], extras[5]);
    fit.setModelExtras(3, extras);
  }
  TMatrix<double> coef(5, 1, kCoefNames, std::vector<std::string>{response});
  TMatrix<double> stdErr(5, 1, kCoefNames, std::vector<std::string>{response});
  for (std::size_t i = 0; i < kCoefNames.size(); ++i) {
    coef(static_cast<long>(i), 0) = beta.at(kCoefNames[i]);
    stdErr(static_cast<long>(i), 0) = i == 4 ? kNaN : 0.25;
  }
  fit.setCoefficients(coef);
  fit.setStdErr(stdErr);
  fit.setCoefTable(longTable({{0, 0}, {1, 0}, {0, 1}, {0, 2}, {0, 3}}, kCoefNames, {"x", "f"}));
  fit.setDeviance(4.5, 30.0);
  fit.setDf(19, 16);
  return fit;
}

std::string documentOf(const GLMFit& fit) {
  std::ostringstream os;
  EXPECT_TRUE(fit.getXML(os));
  return os.str();
}

// The new data of glm_score_data.csv: f has the level d the models do not know.
QMXMemoryTable scoreTable() {
  std::vector<double> x, y, count;
  std::vector<std::string> f, ev;
  for (const GlmRefRow& row : readGlmRefCsv("glm_score_data.csv")) {
    x.push_back(row.num("x"));
    y.push_back(row.num("y"));
    count.push_back(row.num("count"));
    f.push_back(row.text("f"));
    ev.push_back(row.text("ev"));
  }
  QMXMemoryTable table;
  table.addDoubleColumn("x", x)
      .addFactorColumn("f", f, {"a", "b", "c", "d"})
      .addDoubleColumn("y", y)
      .addDoubleColumn("count", count)
      .addFactorColumn("ev", ev, {"yes", "no"});
  return table;
}

struct RPrediction {
  std::vector<double> eta;
  std::vector<double> mu;
};

RPrediction rPrediction(Kind kind) {
  RPrediction r;
  for (const GlmRefRow& row : readGlmRefCsv("glm_score_pred.csv")) {
    if (row.text("model") != kindName(kind)) continue;
    r.eta.push_back(row.num("eta"));
    r.mu.push_back(row.num("mu"));
  }
  return r;
}

QMXColumnInfo doubleColumn(const std::string& name) {
  return {name, QMXColumnType::Double, {}};
}

struct RunResult {
  bool ok = false;
  std::string error;
  QMXMemoryTable output;
  std::vector<QMXMessage> messages;
};

// Sets the properties (name, then values), then scores `table` in chunks of `chunkRows`.
RunResult runScoring(QMXProcGLMFit& proc, const QMXMemoryTable& table, long chunkRows,
                     const QMXSchema& schema,
                     const std::vector<std::vector<std::string>>& properties) {
  QMXMemorySource source(table);
  QMXMemorySink sink;
  RunResult result;
  {
    QMXPipeline pipeline(proc, "QMXProcGLMFit");
    pipeline.addInput(source);
    pipeline.setOutput(schema, &sink);
    pipeline.setChunkRows(chunkRows);
    pipeline.attach();
    bool ok = true;
    for (const auto& values : properties) {
      QMXPropertyInfo request(values.front(),
                              std::vector<std::string>(values.begin() + 1, values.end()));
      ok = pipeline.setProperty(request) && ok;
    }
    result.ok = ok && pipeline.run();
    result.error = pipeline.error();
  }
  result.output = sink.table();
  result.messages = proc.getMessages();
  return result;
}

// Every output of a regression model, in one run.
RunResult scoreAll(Kind kind, long chunkRows) {
  QMXProcGLMFit proc;
  const QMXSchema schema = {doubleColumn("fit"), doubleColumn("fit2"), doubleColumn("eta"),
                            doubleColumn("res"), doubleColumn("wt")};
  const char* fitType = kind == Kind::kBinomial ? "probability" : "fitted.value";
  return runScoring(proc, scoreTable(), chunkRows, schema,
                    {{"model.xml", documentOf(scoreFit(kind))},
                     {"define.output", "0", fitType, "fit"},
                     {"define.output", kind == Kind::kBinomial ? "1" : "0", fitType, "fit2"},
                     {"define.output", "0", "eta", "eta"},
                     {"define.output", "0", "residual", "res"},
                     {"define.output", "0", "weight", "wt"}});
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected,
                double tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t row = 0; row < actual.size(); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    if (std::isnan(expected[row])) {
      EXPECT_TRUE(std::isnan(actual[row])) << actual[row];
    } else {
      EXPECT_NEAR(actual[row], expected[row], tolerance);
    }
  }
}

// Bitwise equality, NaN equal to NaN.
bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) != std::isnan(b[i])) return false;
    if (!std::isnan(a[i]) && a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

TEST(QMXProcGLMFit, PredictionsMatchR) {
  for (Kind kind : {Kind::kGaussian, Kind::kBinomial, Kind::kPoisson}) {
    SCOPED_TRACE(kindName(kind));
    const RunResult run = scoreAll(kind, 3);
    ASSERT_TRUE(run.ok) << run.error;
    const RPrediction r = rPrediction(kind);
    expectNear(run.output.numbers("fit"), r.mu, kTolerance);
    expectNear(run.output.numbers("eta"), r.eta, kTolerance);
  }
}

TEST(QMXProcGLMFit, BinomialProbabilityColumnsSumToOne) {
  const RunResult run = scoreAll(Kind::kBinomial, 3);
  ASSERT_TRUE(run.ok) << run.error;
  const std::vector<double> event = run.output.numbers("fit");
  const std::vector<double> other = run.output.numbers("fit2");
  const std::vector<double> expectedOther = [&] {
    std::vector<double> values;
    for (double mu : rPrediction(Kind::kBinomial).mu)
      values.push_back(1.0 - mu);
    return values;
  }();
  expectNear(other, expectedOther, kTolerance);
  for (std::size_t row = 0; row < event.size(); ++row) {
    if (std::isnan(event[row])) continue;
    EXPECT_NEAR(event[row] + other[row], 1.0, 1e-15) << "row " << row;
  }

  // The predicted class is the response level of the larger probability column.
  QMXProcGLMFit proc;
  const QMXSchema schema = {{"class", QMXColumnType::Factor, {}}, doubleColumn("agree")};
  const RunResult classes = runScoring(proc, scoreTable(), 3, schema,
                                       {{"model.xml", documentOf(scoreFit(Kind::kBinomial))},
                                        {"define.output", "0", "category", "class"},
                                        {"define.output", "0", "agreement", "agree"}});
  ASSERT_TRUE(classes.ok) << classes.error;
  // R's mu: 0.348, 0.363, NA, 0.138, NA, 0.860, 0.888, 0.205; observed ev: no, yes, no, no,
  // yes, yes, yes, no.
  EXPECT_EQ(classes.output.texts("class"),
            (std::vector<std::string>{"no", "no", "", "no", "", "yes", "yes", "no"}));
  const std::vector<double> agree = classes.output.numbers("agree");
  const std::vector<double> expectedAgree = {1, 0, kNaN, 1, kNaN, 1, 1, 1};
  expectNear(agree, expectedAgree, 0.0);
}

TEST(QMXProcGLMFit, PredictionMatrixColumnNames) {
  const GLMFit binomial = scoreFit(Kind::kBinomial);
  TMatrix<double> mu(2, 1);
  mu(0, 0) = 0.25;
  mu(1, 0) = 0.5;
  const TMatrix<double> p = QMXProcGLMFit::predictionMatrix(binomial, mu);
  ASSERT_EQ(p.getNCol(), 2);
  EXPECT_EQ(p.getColNames(), (strVector{String("yes"), String("no")}));
  EXPECT_EQ(p(0, 1), 0.75);

  GLMFit numericBinomial = binomial;
  numericBinomial.setResponses(strVector{String("hit")});
  EXPECT_EQ(QMXProcGLMFit::predictionMatrix(numericBinomial, mu).getColNames(),
            (strVector{String("hit"), String("1 - hit")}));

  const TMatrix<double> gaussian = QMXProcGLMFit::predictionMatrix(scoreFit(Kind::kGaussian), mu);
  ASSERT_EQ(gaussian.getNCol(), 1);
  EXPECT_EQ(gaussian.getColNames(), strVector{String("y")});
  EXPECT_EQ(gaussian(1, 0), 0.5);
}

TEST(QMXProcGLMFit, ResidualsAndWeights) {
  const std::vector<double> y = scoreTable().numbers("y");
  const std::vector<double> count = scoreTable().numbers("count");
  {
    SCOPED_TRACE("Gaussian identity: y - mu, weight 1");
    const RunResult run = scoreAll(Kind::kGaussian, 3);
    ASSERT_TRUE(run.ok) << run.error;
    const std::vector<double> mu = rPrediction(Kind::kGaussian).mu;
    std::vector<double> expected, ones;
    for (std::size_t row = 0; row < mu.size(); ++row) {
      expected.push_back(y[row] - mu[row]);
      ones.push_back(std::isnan(mu[row]) ? kNaN : 1.0);
    }
    expectNear(run.output.numbers("res"), expected, kTolerance);
    expectNear(run.output.numbers("wt"), ones, 0.0);
  }
  {
    SCOPED_TRACE("Poisson log: (y - mu)/mu, weight mu");
    const RunResult run = scoreAll(Kind::kPoisson, 3);
    ASSERT_TRUE(run.ok) << run.error;
    const std::vector<double> mu = rPrediction(Kind::kPoisson).mu;
    std::vector<double> expected;
    for (std::size_t row = 0; row < mu.size(); ++row)
      expected.push_back((count[row] - mu[row]) / mu[row]);
    expectNear(run.output.numbers("res"), expected, kTolerance);
    // The working weight of the log link with variance mu is mu itself.
    expectNear(run.output.numbers("wt"), mu, kTolerance);
  }
}

TEST(QMXProcGLMFit, UnknownLevelAndMissingRowsAreNaN) {
  const RunResult run = scoreAll(Kind::kPoisson, 8);
  ASSERT_TRUE(run.ok) << run.error;
  for (const char* column : {"fit", "fit2", "eta", "res", "wt"}) {
    SCOPED_TRACE(column);
    const std::vector<double> values = run.output.numbers(column);
    ASSERT_EQ(values.size(), 8u);
    EXPECT_TRUE(std::isnan(values[2]));  // x missing
    EXPECT_TRUE(std::isnan(values[4]));  // level d
    EXPECT_FALSE(std::isnan(values[3]));
  }
  std::vector<std::string> info;
  for (const QMXMessage& m : run.messages)
    if (m.kind == QMXMessageKind::Information) info.push_back(m.text);
  EXPECT_EQ(info, std::vector<std::string>{"data set has 1 rows with one or more missing values"});

  // The unknown-level map scores level d as level b.
  QMXProcGLMFit proc;
  const RunResult mapped = runScoring(proc, scoreTable(), 8, {doubleColumn("fit")},
                                      {{"model.xml", documentOf(scoreFit(Kind::kPoisson))},
                                       {"add.unknown.level.map", "1", "b"},
                                       {"define.output", "0", "fitted.value", "fit"}});
  ASSERT_TRUE(mapped.ok) << mapped.error;
  const GLMFit fit = scoreFit(Kind::kPoisson);
  const TMatrix<double>& b = fit.coefficients();
  // x = 2 at level b.
  EXPECT_NEAR(mapped.output.numbers("fit")[4], std::exp(b(0, 0) + 2.0 * b(1, 0) + b(3, 0)),
              kTolerance);
}

TEST(QMXProcGLMFit, ChunkSizesGiveIdenticalScores) {
  for (Kind kind : {Kind::kGaussian, Kind::kBinomial, Kind::kPoisson}) {
    SCOPED_TRACE(kindName(kind));
    const RunResult whole = scoreAll(kind, 8);
    ASSERT_TRUE(whole.ok) << whole.error;
    for (long chunk : {1L, 2L, 7L}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      const RunResult run = scoreAll(kind, chunk);
      ASSERT_TRUE(run.ok) << run.error;
      for (const char* column : {"fit", "fit2", "eta", "res", "wt"})
        EXPECT_TRUE(sameBits(run.output.numbers(column), whole.output.numbers(column))) << column;
    }
  }
}

TEST(QMXProcGLMFit, CoefficientCountMismatch) {
  // One coefficient more than the model matrix has columns.
  GLMFit fit = scoreFit(Kind::kGaussian);
  TMatrix<double> longer(6, 1);
  for (long i = 0; i < 5; ++i)
    longer(i, 0) = fit.coefficients()(i, 0);
  longer(5, 0) = 1.0;
  fit.setCoefficients(longer);
  fit.setStdErr(longer);
  TMatrix<long> table(6, 2);
  for (long i = 0; i < 5; ++i)
    for (long j = 0; j < 2; ++j)
      table(i, j) = fit.coefTable()(i, j);
  table(5, 0) = 2;
  fit.setCoefTable(table);

  QMXProcGLMFit proc;
  proc.setFit(fit);
  const RunResult run = runScoring(proc, scoreTable(), 3, {doubleColumn("fit")},
                                   {{"define.output", "0", "fitted.value", "fit"}});
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error,
            "number of columns in the model matrix does not match the number of coefficients");
  EXPECT_TRUE(proc.isDone());
}

TEST(QMXProcGLMFit, ModelDocument) {
  QMXProcGLMFit proc;
  EXPECT_FALSE(proc.valid());
  QMXPropertyInfo model("model.xml",
                        std::vector<std::string>{documentOf(scoreFit(Kind::kPoisson))});
  proc.setProperty(&model);
  EXPECT_FALSE(proc.hasError());
  EXPECT_TRUE(proc.valid());
  EXPECT_EQ(proc.getFit().nCoefficients(), 5);
  EXPECT_EQ(proc.getFit().getFamilyName().str(), "Poisson");
  EXPECT_EQ(proc.getFit().linkType(), GLMLink::Link::Log);

  // A document that fails keeps the fit and reports the reader's message.
  std::string broken = documentOf(scoreFit(Kind::kPoisson));
  const std::string attribute = "modelType=\"loglinear\"";
  broken.replace(broken.find(attribute), attribute.size(), "");
  QMXPropertyInfo bad("model.xml", std::vector<std::string>{broken});
  proc.setProperty(&bad);
  ASSERT_FALSE(proc.getMessages().empty());
  EXPECT_EQ(proc.getMessages().back().text,
            "missing modelType attribute in GeneralRegressionModel element");
  EXPECT_EQ(proc.getFit().nCoefficients(), 5);
}

TEST(QMXProcGLMFit, FactoryCreatesTheProc) {
  QMXProc* out = nullptr;
  std::unique_ptr<QMXProc> proc(qmx_s_create_QMXProcGLMFit(&out));
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(out, proc.get());
  EXPECT_NE(dynamic_cast<QMXProcGLMFit*>(proc.get()), nullptr);
}

TEST(QMXProcGLMFit, CGeneratorMessages) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qmx_glm_score_c";
  std::filesystem::create_directories(dir);
  const std::string existing = dir.string();
  const std::string absent = (dir / "absent").string();
  struct Case {
    std::string source, distribution, message;
  };
  const std::vector<Case> cases = {
      {"", existing, "Missing directory names"},
      {existing, "", "Missing directory names"},
      {absent, existing, "cannot access one of directories: " + absent + ", " + existing},
      {existing, absent, "cannot access one of directories: " + existing + ", " + absent},
      // A source directory without the library sources: the package is incomplete.
      {existing, existing, "the C scoring package was not completely written to " + existing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    QMXProcGLMFit proc;
    proc.setFit(scoreFit(Kind::kGaussian));
    QMXPropertyInfo request("define.cgenerator",
                            std::vector<std::string>{c.source, c.distribution});
    proc.setProperty(&request);
    try {
      proc.generatePredictCSource();
      ADD_FAILURE() << "no exception";
    } catch (const QMXException& e) {
      EXPECT_EQ(std::string(e.message()), c.message);
    }
  }
  // Through the proc's execute: the message becomes the error and nothing is scored.
  QMXProcGLMFit proc;
  proc.setFit(scoreFit(Kind::kGaussian));
  QMXPropertyInfo request("define.cgenerator", std::vector<std::string>{absent, existing});
  proc.setProperty(&request);
  proc.init();
  proc.execute();
  EXPECT_TRUE(proc.isDone());
  std::vector<std::string> errors;
  for (const QMXMessage& m : proc.getMessages())
    if (m.kind == QMXMessageKind::Error) errors.push_back(m.text);
  EXPECT_EQ(errors, std::vector<std::string>{"cannot access one of directories: " + absent + ", " +
                                             existing});
  std::filesystem::remove_all(dir);
}

TEST(QMXProcGLMFit, FitWithoutFamilyIsAnInvalidFamily) {
  QMXProcGLMFit proc;
  proc.setFit(scoreFit(Kind::kGaussian, /*withFamily=*/false));
  const RunResult run = runScoring(proc, scoreTable(), 3, {doubleColumn("fit")},
                                   {{"define.output", "0", "fitted.value", "fit"}});
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "Invalid Family");
  EXPECT_TRUE(proc.isDone());
}
