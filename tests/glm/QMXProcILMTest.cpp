// The linear regression proc through the host pipeline: R's lm() under contr.sum at every chunk
// size (glm_procs_cases.csv), correlation selection, the fitted document, and the proc's
// messages.
#include "qmxmisc/glm/QMXProcILM.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/GLMSummaryInternal.h"

using glmcase::mtcars;
using glmcase::specDocument;
using qmxtest::ProcHarness;
using qmxtest::ProcResult;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kFactorModel = "mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl";

ProcHarness linear(const QMXMemoryTable& table, const std::string& formula,
                   const std::string& weights = "") {
  ProcHarness proc(qmx_s_create_QMXProcILM, "QMXProcILM");
  proc.input(table).set("model.vtml", {specDocument(table, formula, weights)});
  return proc;
}

}  // namespace

TEST(QMXProcILM, FitsMatchR) {
  glmcase::expectCasesMatchR("QMXProcILM");
}

// The cases of lm_cases.csv against R's lm(), anova() and summary() (lm_cases.R) at every
// chunk size: aliased columns (NaN errors where R has NA), empty cells, no intercept, the
// intercept alone, shifted responses and predictors, a constant response, exact fits.
TEST(QMXProcILM, LinearCasesMatchR) {
  for (const RefRow& c : readRefCsv("glm", "lm_cases.csv")) {
    SCOPED_TRACE(c.text("case"));
    qmxtest::FactorLevels factors;
    std::istringstream names(c.text("factors"));
    for (std::string name; std::getline(names, name, ';');)
      factors[name] = {};
    const QMXMemoryTable table = qmxtest::readRefTable("glm", c.text("data"), factors);
    const qmxtest::NamedValues want =
        qmxtest::refValues("glm", "lm_ref.csv", {"case", c.text("case")}, "what", "value");
    qmxtest::forEachChunkSize([&](long rows) {
      ProcHarness proc = linear(table, c.text("formula"), c.text("weights"));
      const ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      const GLMFit& fit = proc.as<QMXProcILM>().results();
      qmxtest::NamedValues got = glmcase::fitValues(fit);
      const glm_summary::LmFigures figures = glm_summary::lmFigures(fit, 0);
      got["sigma"] = figures.sigma;
      got["adj.r2"] = figures.adjRSquared;
      got["fstat"] = figures.f;
      EXPECT_TRUE(qmxtest::matchesRef(got, want, c.num("tol"), c.num("abstol")));
    });
  }
}

TEST(QMXProcILM, CorrelationsAboveTheThreshold) {
  for (const RefRow& c : readRefCsv("glm", "ilm_correlations.csv")) {
    SCOPED_TRACE(c.text("withIntercept") + "/" + c.text("threshold"));
    ProcHarness proc = linear(mtcars(), "mpg ~ wt + hp");
    if (!c.text("withIntercept").empty()) proc.set("corr.with.int", {c.text("withIntercept")});
    if (!c.text("threshold").empty()) proc.set("abs.corr.threshold", {c.text("threshold")});
    ASSERT_TRUE(proc.run().ok);
    std::string labels;
    for (const String& label : proc.as<QMXProcILM>().results().corrLabels())
      labels += (labels.empty() ? "" : ";") + label.str();
    EXPECT_EQ(labels, c.text("labels"));
  }
  // Two coefficients of one factor (or of a factor and its interaction) are never a pair.
  ProcHarness factors = linear(mtcars(), kFactorModel);
  ASSERT_TRUE(factors.set("abs.corr.threshold", {"0"}).run().ok);
  for (const String& label : factors.as<QMXProcILM>().results().corrLabels()) {
    const std::string text = label.str();
    for (const char* factor : {"cyl(", "am("})
      EXPECT_FALSE(text.find(factor) < text.find(" and ") &&
                   text.find(factor, text.find(" and ")) != std::string::npos)
          << text;
  }
}

TEST(QMXProcILM, FittedDocumentReadsBack) {
  ProcHarness proc = linear(mtcars(), kFactorModel);
  const ProcResult run = proc.get("fitted.model.pmml").run();
  ASSERT_TRUE(run.ok) << run.error;
  const std::string& document = run.properties.at("fitted.model.pmml");
  EXPECT_NE(document.find("modelType=\"generalLinear\""), std::string::npos);
  const GLMFit read(document.c_str());
  const GLMFit& fit = proc.as<QMXProcILM>().results();
  EXPECT_TRUE(qmxtest::matchesRef(glmcase::fitValues(read), glmcase::fitValues(fit), 1e-14));
  // The coefficient table: per coefficient the level (or power) of wt, hp, cyl, am.
  const std::vector<std::pair<std::string, std::vector<long>>> cells = {
      {"wt", {1, 0, 0, 0}}, {"cyl(4):am(1)", {0, 0, 1, 2}}, {"wt:cyl(8)", {1, 0, 3, 0}}};
  for (const auto& [name, levels] : cells) {
    const strVector& names = fit.coefficients().getRowNames();
    const long row = std::find(names.begin(), names.end(), String(name.c_str())) - names.begin();
    for (long v = 0; v < 4; ++v) {
      EXPECT_EQ(fit.coefTable()(row, v), levels[v]) << name;
      EXPECT_EQ(read.coefTable()(row, v), levels[v]) << name;
    }
  }
}

TEST(QMXProcILM, Messages) {
  glmcase::expectMessages("QMXProcILM");
  // A model description given directly that is not valid.
  QMXProcILM direct;
  GLMModel invalid;
  invalid.setIntercept(false);
  direct.setModel(invalid);
  const ProcResult run = ProcHarness(direct, "QMXProcILM").input(mtcars()).run();
  EXPECT_EQ(run.error, "failed to initialize linear model object");
  EXPECT_TRUE(direct.isDone());
}
