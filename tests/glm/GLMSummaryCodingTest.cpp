// The summaries under R's default treatment coding against R's summary(), confint.default(),
// anova() and logLik() on every case of summary_cases.csv (summary_cases.R), at every chunk
// size: names, estimates, standard errors, statistics, p-values, aliased coefficients,
// intervals, the analysis-of-variance rows of lm fits, residual quantiles (selected over
// passes), log-likelihood and AIC.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/GLMSummaryInternal.h"

using qmxtest::ProcHarness;
using qmxtest::ProcResult;

namespace {

ProcHarness summaryProc(const RefRow& c, const QMXMemoryTable& data) {
  const bool lm = c.text("family") == "lm";
  ProcHarness proc(lm ? qmx_s_create_QMXProcILM : qmx_s_create_QMXProcIGLM,
                   lm ? "QMXProcILM" : "QMXProcIGLM");
  proc.input(data);
  if (!lm) {
    const std::string link = c.text("link") == "-" ? "" : c.text("link");
    const GLMSpecNames names = glmSpecNames(c.text("family"), link, "");
    proc.set("iglm.family", {names.family}).set("iglm.link", {names.link});
    proc.set("iglm.var", {names.variance});
  }
  std::string references = c.text("reference");
  std::replace(references.begin(), references.end(), ';', '\n');
  proc.set("summary.reference", {references});
  // Residual quantiles selected over passes: at most 7 values in memory.
  proc.set("summary.residuals", {"1"}).set("summary.residuals.bound", {"7"});
  for (const char* name : {"fitted.model.pmml", "summary.coefficients", "summary.loglik",
                           "summary.aic", "summary.residual.quantiles"})
    proc.get(name);
  proc.set("model.vtml", {glmcase::specDocument(data, c.text("formula"), c.text("weights"))});
  return proc;
}

qmxtest::NamedValues summaryValues(const ProcResult& run) {
  const GLMFit fit = glm_summary::readFit(run.properties.at("fitted.model.pmml"));
  SummaryInput input;
  input.properties["summary.coefficients"] = run.properties.at("summary.coefficients");
  glm_summary::CoefficientRows rows =
      glm_summary::coefficientRows(fit, 0, glm_summary::usesZ(fit), input);
  glm_summary::addConfint(rows);
  qmxtest::NamedValues got;
  for (std::size_t k = 0; k < rows.columns.names.size(); ++k) {
    const std::string& name = rows.columns.names[k];
    got["aliased:" + name] = rows.aliased[k] ? 1 : 0;
    if (rows.aliased[k]) continue;
    got["est:" + name] = rows.columns.estimate[k];
    got["se:" + name] = rows.columns.stdErr[k];
    got["stat:" + name] = rows.columns.statistic[k];
    got["p:" + name] = rows.columns.pValue[k];
    got["lo:" + name] = rows.lower[k];
    got["hi:" + name] = rows.upper[k];
  }
  std::istringstream residuals(run.properties.at("summary.residual.quantiles"));
  for (std::string line; std::getline(residuals, line);) {
    if (line.rfind("quantiles\t", 0) != 0) continue;
    std::istringstream cells(line.substr(line.find('\t', 10) + 1));
    std::string cell;
    for (int k = 1; std::getline(cells, cell, '\t'); ++k)
      got["res:" + std::to_string(k)] = std::stod(cell);
  }
  got["loglik"] = std::stod(run.properties.at("summary.loglik"));
  got["aic"] = std::stod(run.properties.at("summary.aic"));
  if (glm_summary::iterative(fit)) return got;
  for (const glm_summary::AnovaRow& row : glm_summary::lmAnova(fit, 0)) {
    got["aov.df:" + row.name] = static_cast<double>(row.df);
    got["aov.ss:" + row.name] = row.sumSq;
    got["aov.ms:" + row.name] = row.meanSq;
    if (row.name == "Residuals") continue;
    got["aov.f:" + row.name] = row.f;
    got["aov.p:" + row.name] = row.p;
  }
  const glm_summary::LmFigures lm = glm_summary::lmFigures(fit, 0);
  if (lm.hasR2) {
    got["fstat"] = lm.f;
    got["fstat.p"] = lm.pValueF;
  }
  return got;
}

}  // namespace

TEST(GLMSummary, TreatmentCodingMatchesR) {
  for (const RefRow& c : readRefCsv("glm", "summary_cases.csv")) {
    SCOPED_TRACE(c.text("case"));
    qmxtest::FactorLevels factors;
    std::istringstream names(c.text("factors"));
    for (std::string name; std::getline(names, name, ';');)
      factors[name] = {};
    const QMXMemoryTable data = qmxtest::readRefTable("glm", c.text("data"), factors);
    const qmxtest::NamedValues want =
        qmxtest::refValues("glm", "summary_ref.csv", {"case", c.text("case")}, "what", "value");
    qmxtest::forEachChunkSize([&](long rows) {
      ProcHarness proc = summaryProc(c, data);
      const ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      EXPECT_TRUE(qmxtest::matchesRef(summaryValues(run), want, c.num("tol"), c.num("abstol")));
    });
  }
}
