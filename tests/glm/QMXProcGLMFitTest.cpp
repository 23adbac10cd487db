// The regression scoring proc: Gaussian, binomial logit and Poisson log models of y ~ x + f
// fitted by the regression procs on glm_score.R's training data score its new rows (a missing
// x, an unknown level) at every chunk size as R's predict(type = "link" and "response"); the
// unknown-level map, the document property, the prediction columns and the messages.
#include "qmxmisc/glm/QMXProcGLMFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "glm/GlmProcCases.h"
#include "qmxmisc/base/QMXException.h"
#include "support/ThrownMessage.h"

using qmxtest::ProcHarness;
using qmxtest::ProcResult;

namespace {

QMXMemoryTable scoreTable(std::string replaceD = "d") {
  QMXMemoryTable table = qmxtest::readRefTable(
      "glm", "glm_score_data.csv", {{"f", {"a", "b", "c", "d"}}, {"ev", {"yes", "no"}}});
  QMXMemoryTable out;
  std::vector<std::string> f = table.texts("f");
  for (std::string& level : f)
    if (level == "d") level = replaceD;
  return out.addDoubleColumn("x", table.numbers("x")).addFactorColumn("f", f, {"a", "b", "c", "d"});
}

// The document of one of glm_score.R's models, fitted by the regression procs.
std::string fittedDocument(const std::string& kind) {
  const QMXMemoryTable train = qmxtest::readRefTable("glm", "glm_score_train.csv", {{"f", {}}});
  RefRow c = glmcase::caseOf(kind == "gaussian" ? "lm" : kind);  // proc, family, properties
  const char* response = kind == "binomial" ? "ev" : kind == "poisson" ? "count" : "y";
  c.fields["formula"] = response + std::string(" ~ x + f");
  c.fields["weights"] = "";
  c.fields["case"] = "score_" + kind;  // the starting mean: 0.5
  const ProcResult run = glmcase::procOf(c, train).run();
  EXPECT_TRUE(run.ok) << run.error;
  return run.properties.at("fitted.model.pmml");
}

ProcHarness scorer(const std::string& document) {
  ProcHarness proc(qmx_s_create_QMXProcGLMFit, "QMXProcGLMFit");
  proc.set("model.xml", {document});
  return proc;
}

QMXColumnInfo doubleColumn(const std::string& name) {
  return {name, QMXColumnType::Double, {}};
}

}  // namespace

// Relative 1e-6 (the iterative fits stop at a relative deviance change of 1e-12).
TEST(QMXProcGLMFit, PredictionsMatchR) {
  for (const std::string kind : {"gaussian", "binomial", "poisson"}) {
    SCOPED_TRACE(kind);
    const std::string document = fittedDocument(kind);
    const char* type = kind == "binomial" ? "probability" : "fitted.value";
    const std::vector<double> mu =
        qmxtest::refColumn("glm", "glm_score_pred.csv", {"model", kind}, "mu");
    const std::vector<double> eta =
        qmxtest::refColumn("glm", "glm_score_pred.csv", {"model", kind}, "eta");
    std::vector<double> other = mu;
    for (double& p : other)
      p = 1.0 - p;
    qmxtest::forEachChunkSize([&](long rows) {
      ProcHarness proc = scorer(document);
      proc.input(scoreTable())
          .output({doubleColumn("fit"), doubleColumn("eta"), doubleColumn("fit2")});
      proc.set("define.output", {"0", type, "fit"}).set("define.output", {"0", "eta", "eta"});
      proc.set("define.output", {kind == "binomial" ? "1" : "0", type, "fit2"});
      const ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      EXPECT_TRUE(qmxtest::matchesColumn(run.output.numbers("fit"), mu, 1e-6));
      EXPECT_TRUE(qmxtest::matchesColumn(run.output.numbers("eta"), eta, 1e-6, 1e-9));
      EXPECT_TRUE(qmxtest::matchesColumn(run.output.numbers("fit2"),
                                         kind == "binomial" ? other : mu, 1e-6));
      EXPECT_EQ(run.texts(QMXMessageKind::Information),
                std::vector<std::string>{"data set has 1 rows with one or more missing values"});
    });
  }
}

TEST(QMXProcGLMFit, UnknownLevelMap) {
  // Level d scored as level b: the row scores as the same row with b.
  const std::string document = fittedDocument("poisson");
  ProcHarness mapped = scorer(document);
  mapped.input(scoreTable()).output({doubleColumn("fit")}).set("add.unknown.level.map", {"1", "b"});
  const ProcResult run = mapped.set("define.output", {"0", "fitted.value", "fit"}).run();
  ProcHarness plain = scorer(document);
  plain.input(scoreTable("b")).output({doubleColumn("fit")});
  const ProcResult expected = plain.set("define.output", {"0", "fitted.value", "fit"}).run();
  ASSERT_TRUE(run.ok && expected.ok) << run.error << expected.error;
  EXPECT_FALSE(std::isnan(run.output.numbers("fit")[4]));
  EXPECT_TRUE(qmxtest::matchesColumn(run.output.numbers("fit"), expected.output.numbers("fit"), 0));
}

TEST(QMXProcGLMFit, ModelDocumentAndPredictionColumns) {
  QMXProcGLMFit proc;
  EXPECT_FALSE(proc.valid());
  const std::string document = fittedDocument("poisson");
  QMXPropertyInfo model("model.xml", {document});
  proc.setProperty(&model);
  EXPECT_TRUE(proc.valid());
  EXPECT_EQ(proc.getFit().nCoefficients(), 5);
  EXPECT_EQ(proc.getFit().getFamilyName().str(), "Poisson");
  EXPECT_EQ(proc.getFit().linkType(), GLMLink::Link::Log);
  // A document that fails keeps the fit and reports the reader's message.
  std::string broken = document;
  broken.erase(broken.find("modelType=\"loglinear\""), 21);
  QMXPropertyInfo bad("model.xml", {broken});
  proc.setProperty(&bad);
  EXPECT_EQ(proc.getMessages().back().text,
            "missing modelType attribute in GeneralRegressionModel element");
  EXPECT_EQ(proc.getFit().nCoefficients(), 5);

  // The probability columns: the response's levels, or the response and its complement.
  GLMFit binomial(fittedDocument("binomial").c_str());
  TMatrix<double> mu(1, 1);
  mu(0, 0) = 0.25;
  const TMatrix<double> p = QMXProcGLMFit::predictionMatrix(binomial, mu);
  EXPECT_EQ(p.getColNames(), (strVector{String("ev"), String("1 - ev")}));
  EXPECT_EQ(p(0, 1), 0.75);
  FactorInfo ev;
  ev.setName("ev");
  ev.setLevels(std::vector<std::string>{"yes", "no"});
  binomial.setResponse(ev);
  EXPECT_EQ(QMXProcGLMFit::predictionMatrix(binomial, mu).getColNames(),
            (strVector{String("yes"), String("no")}));
  const GLMFit gaussian(fittedDocument("gaussian").c_str());
  EXPECT_EQ(QMXProcGLMFit::predictionMatrix(gaussian, mu).getColNames(), strVector{String("y")});
}

TEST(QMXProcGLMFit, Messages) {
  // One coefficient more than the model matrix has columns.
  GLMFit fit(fittedDocument("gaussian").c_str());
  const long longer = fit.nCoefficients() + 1;
  fit.setCoefficients(TMatrix<double>(longer, 1));
  fit.setStdErr(TMatrix<double>(longer, 1));
  fit.setCoefTable(TMatrix<long>(longer, fit.nVariables()));
  QMXProcGLMFit proc;
  proc.setFit(fit);
  const ProcResult run = ProcHarness(proc, "QMXProcGLMFit")
                             .input(scoreTable())
                             .output({doubleColumn("fit")})
                             .set("define.output", {"0", "fitted.value", "fit"})
                             .run(3);
  EXPECT_EQ(run.error,
            "number of columns in the model matrix does not match the number of coefficients");
  EXPECT_TRUE(proc.isDone());

  // The C package directories.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qmx_glm_score_c";
  std::filesystem::create_directories(dir);
  const std::string there = dir.string();
  const std::string absent = (dir / "absent").string();
  struct Case {
    std::string source, distribution, message;
  };
  const std::vector<Case> cases = {
      {"", there, "Missing directory names"},
      {there, "", "Missing directory names"},
      {absent, there, "cannot access one of directories: " + absent + ", " + there},
      {there, absent, "cannot access one of directories: " + there + ", " + absent},
      {there, there, "the C scoring package was not completely written to " + there},
  };
  for (const Case& c : cases) {
    QMXProcGLMFit generator;
    generator.setFit(GLMFit(fittedDocument("gaussian").c_str()));
    QMXPropertyInfo request("define.cgenerator", {c.source, c.distribution});
    generator.setProperty(&request);
    EXPECT_EQ(thrownMessage([&] { generator.generatePredictCSource(); }), c.message);
  }
  // Through execute: the message becomes the proc's error and nothing is scored.
  QMXProcGLMFit generator;
  generator.setFit(GLMFit(fittedDocument("gaussian").c_str()));
  const ProcResult generated = ProcHarness(generator, "QMXProcGLMFit")

                                   .set("define.cgenerator", {absent, there})
                                   .run();
  EXPECT_EQ(generated.texts(QMXMessageKind::Error),
            std::vector<std::string>{"cannot access one of directories: " + absent + ", " + there});
  std::filesystem::remove_all(dir);
}
