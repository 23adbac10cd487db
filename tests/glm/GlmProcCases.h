// The regression procs on the mtcars reference data: the cases of tests/ref/glm/
// glm_procs_cases.csv (model formula, weights, family and link as R names them, extra
// properties), their runs through the host pipeline, a fit's results as named values and R's
// values under the same names (glm_procs.R); the failures of proc_messages.tsv.
#pragma once

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "glm/GlmTestSupport.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMSpecElementWriter.h"
#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecWriter.h"
#include "support/ChunkSizes.h"
#include "support/ProcHarness.h"
#include "support/RefCompare.h"
#include "support/RefTable.h"

extern "C" QMXProc* qmx_s_create_QMXProcILM(QMXProc** out);
extern "C" QMXProc* qmx_s_create_QMXProcIGLM(QMXProc** out);
extern "C" QMXProc* qmx_s_create_QMXProcGLMFit(QMXProc** out);

namespace glmcase {

inline QMXMemoryTable mtcars() {
  return qmxtest::readRefTable("glm", "glm_procs_data.csv",
                               {{"cyl", {}}, {"am", {}}, {"gear", {}}});
}

// The specification document of `formula` over the columns of `table`, as `qmx model-spec`
// writes it.
inline std::string specDocument(const QMXMemoryTable& table, const std::string& formula,
                                const std::string& weights = "", const std::string& family = "") {
  std::vector<DataColumn> columns;
  for (const QMXColumnInfo& info : table.schema())
    columns.push_back(info.type == QMXColumnType::Factor
                          ? DataColumn::factor(info.name, info.levels)
                          : DataColumn::numeric(info.name));
  SpecSettings settings;
  settings.values = {{"family", family}, {"link", ""}, {"variance", ""}};
  const auto element = GLMSpecElementWriter::fromSettings(settings);
  // "y ~ 0" (no terms, no intercept) is not a formula: the document of "y ~ 1" without it.
  const bool empty = formula.ends_with("~ 0");
  const std::string written = empty ? formula.substr(0, formula.size() - 1) + "1" : formula;
  std::ostringstream document;
  ModelSpecWriter(modelFromFormula(written, columns, weights), columns, *element).write(document);
  std::string text = document.str();
  const std::string intercept = "<Intercept value=\"true\"/>";
  if (empty) text.replace(text.find(intercept), intercept.size(), "<Intercept value=\"false\"/>");
  return text;
}

inline qmxtest::NamedValues refStats(const std::string& model) {
  return qmxtest::refValues("glm", "glm_procs_stats.csv", {"model", model}, "what", "value");
}

// R's values of one case: "coef:<name>", "se:<name>" and glm_procs_stats.csv's names.
inline qmxtest::NamedValues refFit(const std::string& model) {
  qmxtest::NamedValues values = refStats(model);
  values.erase("mean");
  values.merge(qmxtest::refValues("glm", "glm_procs_coef.csv", {"model", model}, "name", "estimate",
                                  "coef:"));
  values.merge(
      qmxtest::refValues("glm", "glm_procs_coef.csv", {"model", model}, "name", "se", "se:"));
  return values;
}

// A fit's results under R's names: coefficients and errors, per analysis-of-deviance row
// "ss:" and "df:", the residual and null deviances, R-squared, Wald statistics, correlations.
inline qmxtest::NamedValues fitValues(const GLMFit& fit) {
  qmxtest::NamedValues values;
  const strVector& coefNames = fit.coefficients().getRowNames();
  for (std::size_t k = 0; k < coefNames.size(); ++k) {
    values["coef:" + coefNames[k].str()] = fit.coefficients()(static_cast<long>(k), 0);
    values["se:" + coefNames[k].str()] = fit.stdErr()(static_cast<long>(k), 0);
  }
  const strVector& sources = fit.deviance().getRowNames();
  for (std::size_t row = 0; row < sources.size(); ++row) {
    const std::string source = sources[row] == String("Error") ? "Residuals" : sources[row].str();
    values["ss:" + source] = fit.deviance()(static_cast<long>(row), 0);
    values["df:" + source] = static_cast<double>(fit.df()(static_cast<long>(row), 0));
  }
  values["deviance"] = values["ss:Residuals"];
  values["df.residual"] = static_cast<double>(fit.dfE());
  if (values.count("ss:Null")) {
    values["null.deviance"] = values["ss:Null"];
    values["df.null"] = values["df:Null"];
  }
  if (values.count("ss:Total")) values["r2"] = 1.0 - values["ss:Residuals"] / values["ss:Total"];
  const strVector& terms = fit.waldStat().getRowNames();
  for (std::size_t t = 0; t < terms.size(); ++t)
    values["wald:" + terms[t].str()] = fit.waldStat()(static_cast<long>(t), 0);
  for (std::size_t i = 0; i < fit.corrLabels().size(); ++i)
    values["corr:" + fit.corrLabels()[i].str()] = fit.corrValues()[i];
  return values;
}

// The proc of one case, with its properties set: iterative fits start from R's mean of the
// response (glm_procs_stats.csv; 0.5 for cases it does not know).
inline qmxtest::ProcHarness procOf(const RefRow& c, const QMXMemoryTable& table = mtcars()) {
  const bool iterative = c.text("proc") == "QMXProcIGLM";
  qmxtest::ProcHarness proc(iterative ? qmx_s_create_QMXProcIGLM : qmx_s_create_QMXProcILM,
                            c.text("proc"));
  proc.input(table).get("fitted.model.pmml");
  std::istringstream extra(c.text("properties"));
  for (std::string item; std::getline(extra, item, ';');)
    proc.set(item.substr(0, item.find('=')), {item.substr(item.find('=') + 1)});
  if (iterative) {
    const GLMSpecNames names = glmSpecNames(c.text("family"), c.text("link"), "");
    proc.set("iglm.family", {names.family}).set("iglm.link", {names.link});
    proc.set("iglm.var", {"Constant: 1"});
    const qmxtest::NamedValues stats = refStats(c.text("case"));
    std::ostringstream mean;
    mean.precision(17);
    mean << (stats.count("mean") ? stats.at("mean") : 0.5);
    proc.set("iglm.mean", {mean.str()});
  }
  proc.set("model.vtml", {specDocument(table, c.text("formula"), c.text("weights"))});
  return proc;
}

inline RefRow caseOf(const std::string& name) {
  for (const RefRow& row : readRefCsv("glm", "glm_procs_cases.csv"))
    if (row.text("case") == name) return row;
  throw std::runtime_error("no case " + name);
}

// Every case of proc `procClass` against R, at every chunk size.
inline void expectCasesMatchR(const std::string& procClass) {
  int cases = 0;
  for (const RefRow& c : readRefCsv("glm", "glm_procs_cases.csv")) {
    if (c.text("proc") != procClass) continue;
    SCOPED_TRACE(c.text("case"));
    ++cases;
    const qmxtest::NamedValues want = refFit(c.text("case"));
    qmxtest::forEachChunkSize([&](long rows) {
      qmxtest::ProcHarness proc = procOf(c);
      const qmxtest::ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      const GLMFit& fit = proc.as<QMXProcILM>().results();
      EXPECT_TRUE(qmxtest::matchesRef(fitValues(fit), want, c.num("tolerance")));
      const auto isCoefficient = [](const auto& entry) { return entry.first.starts_with("coef:"); };
      EXPECT_EQ(std::count_if(want.begin(), want.end(), isCoefficient), fit.nCoefficients());
    });
  }
  EXPECT_GT(cases, 0);
}

// The runs of tests/ref/glm/proc_messages.tsv for proc `procClass`: error and information.
inline void expectMessages(const std::string& procClass) {
  int cases = 0;
  for (const std::vector<std::string>& cells : refTsvRecords("proc_messages.tsv")) {
    if (cells[0] != procClass) continue;
    SCOPED_TRACE(cells[2]);
    ++cases;
    RefRow c = caseOf(procClass == "QMXProcILM" ? "lm" : "binomial");
    c.fields["formula"] = cells[2];
    c.fields["weights"] = cells[3];
    const qmxtest::ProcResult run =
        procOf(c,
               cells[1] == "glm_procs_data.csv" ? mtcars() : qmxtest::readRefTable("glm", cells[1]))
            .run(std::stol(cells[4]));
    EXPECT_EQ(run.error, cells[5]);
    EXPECT_EQ(run.ok, cells[5].empty());
    const auto info = run.texts(QMXMessageKind::Information);
    if (cells.size() > 6) {
      EXPECT_NE(std::find(info.begin(), info.end(), cells[6]), info.end());
    }
  }
  EXPECT_GT(cases, 0);
}

}  // namespace glmcase
