// Helpers of the regression proc tests: the mtcars data of tests/ref/glm/glm_procs_data.csv
// as a memory table, GeneralRegressionModel specification documents written from a short
// description, a pipeline run with properties, the proc's messages, and the R references.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "glm/GlmRefCsv.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXPropertyInfo.h"

namespace glmproc {

inline const std::vector<std::string> kCylLevels = {"4", "6", "8"};
inline const std::vector<std::string> kAmLevels = {"0", "1"};
inline const std::vector<std::string> kGearLevels = {"3", "4", "5"};

// mpg, wt, hp, w, amnum, carb numeric; cyl, am, gear categorical.
inline QMXMemoryTable mtcarsTable() {
  const std::vector<GlmRefRow> rows = readGlmRefCsv("glm_procs_data.csv");
  auto numbers = [&](const char* name) {
    std::vector<double> values;
    for (const GlmRefRow& row : rows)
      values.push_back(row.num(name));
    return values;
  };
  auto labels = [&](const char* name) {
    std::vector<std::string> values;
    for (const GlmRefRow& row : rows)
      values.push_back(row.text(name));
    return values;
  };
  QMXMemoryTable table;
  table.addDoubleColumn("mpg", numbers("mpg"))
      .addDoubleColumn("wt", numbers("wt"))
      .addDoubleColumn("hp", numbers("hp"))
      .addFactorColumn("cyl", labels("cyl"), kCylLevels)
      .addFactorColumn("am", labels("am"), kAmLevels)
      .addFactorColumn("gear", labels("gear"), kGearLevels)
      .addDoubleColumn("w", numbers("w"))
      .addDoubleColumn("amnum", numbers("amnum"))
      .addDoubleColumn("carb", numbers("carb"));
  return table;
}

// A model variable: its name and, for a factor, its levels.
struct Var {
  std::string name;
  std::vector<std::string> levels;
};

// A specification: responses, predictors (in model-variable order), terms (label and the
// variables in it), intercept, weights column, optional Family/Link/Var names and modelType.
struct Spec {
  std::vector<Var> responses;
  std::vector<Var> predictors;
  std::vector<std::pair<std::string, std::vector<std::string>>> terms;
  bool intercept = true;
  std::string weights;
  std::string modelType = "generalLinear";
  std::vector<std::string> family;  // empty or {family, link, variance}
};

inline void columnInfo(std::ostringstream& os, const Var& var, const char* role) {
  if (var.levels.empty()) {
    os << "      <ColumnInfo name=\"" << var.name << "\" type=\"continuous\" role=\"" << role
       << "\"/>\n";
    return;
  }
  os << "      <ColumnInfo name=\"" << var.name << "\" type=\"categorical\" role=\"" << role
     << "\">\n";
  for (const std::string& level : var.levels)
    os << "        <Level value=\"" << level << "\"/>\n";
  os << "      </ColumnInfo>\n";
}

// The VTML document of a specification, as the host's model editor writes it.
inline std::string specDocument(const Spec& spec) {
  std::ostringstream os;
  os << "<?xml version=\"1.0\"?>\n<VTML version=\"3.0\">\n";
  os << "  <Header copyright=\"Valdrin\" name=\"" << spec.responses.at(0).name << "\">\n";
  os << "    <Application name=\"Valdrin Telvar\" version=\"3.0\"/>\n  </Header>\n";
  os << "  <XTMetaData>\n    <ColumnDefinitions fieldCount=\""
     << spec.responses.size() + spec.predictors.size() << "\">\n";
  for (const Var& var : spec.responses)
    columnInfo(os, var, "dependent");
  for (const Var& var : spec.predictors)
    columnInfo(os, var, "independent");
  if (!spec.weights.empty())
    os << "      <ColumnInfo name=\"" << spec.weights
       << "\" type=\"continuous\" role=\"weights\"/>\n";
  os << "    </ColumnDefinitions>\n  </XTMetaData>\n";
  os << "  <GeneralRegressionModel targetVariableName=\"" << spec.responses.at(0).name
     << "\" modelType=\"" << spec.modelType << "\">\n";
  if (spec.family.size() == 3) {
    os << "    <Family val=\"" << spec.family[0] << "\"/>\n";
    os << "    <Link val=\"" << spec.family[1] << "\"/>\n";
    os << "    <Var val=\"" << spec.family[2] << "\"/>\n";
  }
  os << "    <FactorList>\n";
  for (const Var& var : spec.predictors)
    if (!var.levels.empty()) os << "      <Predictor name=\"" << var.name << "\"/>\n";
  os << "    </FactorList>\n    <CovariateList>\n";
  for (const Var& var : spec.predictors)
    if (var.levels.empty()) os << "      <Predictor name=\"" << var.name << "\"/>\n";
  os << "    </CovariateList>\n    <LinearModel>\n";
  for (const auto& [label, vars] : spec.terms) {
    os << "      <Term name=\"" << label << "\">\n";
    for (const std::string& var : vars)
      os << "        <TermVar value=\"" << var << "\"/>\n";
    os << "      </Term>\n";
  }
  os << "    </LinearModel>\n";
  os << "    <Intercept value=\"" << (spec.intercept ? "true" : "false") << "\"/>\n";
  if (!spec.weights.empty()) os << "    <Weights value=\"" << spec.weights << "\"/>\n";
  os << "  </GeneralRegressionModel>\n</VTML>\n";
  return os.str();
}

// The factor model of the linear regression references: mpg ~ wt + hp + cyl + am + cyl:am +
// wt:cyl (weights "w" when weighted).
inline Spec factorModel(bool weighted) {
  Spec spec;
  spec.responses = {{"mpg", {}}};
  spec.predictors = {{"wt", {}}, {"hp", {}}, {"cyl", kCylLevels}, {"am", kAmLevels}};
  spec.terms = {{"wt", {"wt"}},
                {"hp", {"hp"}},
                {"cyl", {"cyl"}},
                {"am", {"am"}},
                {"cyl:am", {"cyl", "am"}},
                {"wt:cyl", {"wt", "cyl"}}};
  if (weighted) spec.weights = "w";
  return spec;
}

// A property request: a name and its value texts.
struct Prop {
  std::string name;
  std::vector<std::string> values;
};

struct RunResult {
  bool ok = false;
  std::string error;
  std::string document;  // "fitted.model.pmml" after a successful run
};

// Sets the properties in order, runs the proc over the table at the given chunk size and
// reads "fitted.model.pmml" when the run succeeded.
inline RunResult runProc(QMXProc& proc, const char* className, const QMXMemoryTable& table,
                         long chunkRows, const std::vector<Prop>& props) {
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, className);
  pipeline.addInput(source);
  pipeline.setChunkRows(chunkRows);
  pipeline.attach();
  RunResult result;
  for (const Prop& prop : props) {
    QMXPropertyInfo request(prop.name, prop.values);
    if (!pipeline.setProperty(request)) {
      result.error = pipeline.error();
      return result;
    }
  }
  result.ok = pipeline.run();
  result.error = pipeline.error();
  if (result.ok) {
    QMXPropertyInfo request("fitted.model.pmml");
    if (pipeline.getProperty(request) && request.hasAnswer())
      result.document = std::get<std::string>(request.answer());
  }
  return result;
}

inline std::vector<std::string> messagesOf(const QMXProc& proc, QMXMessageKind kind) {
  std::vector<std::string> texts;
  for (const QMXMessage& message : proc.getMessages())
    if (message.kind == kind) texts.push_back(message.text);
  return texts;
}

// R's estimate and standard error per coefficient name of one model (glm_procs_coef.csv).
struct RefCoef {
  double estimate = 0.0;
  double se = 0.0;
};
inline std::map<std::string, RefCoef> refCoefficients(const std::string& model) {
  std::map<std::string, RefCoef> coef;
  for (const GlmRefRow& row : readGlmRefCsv("glm_procs_coef.csv"))
    if (row.text("model") == model) coef[row.text("name")] = {row.num("estimate"), row.num("se")};
  return coef;
}

// R's statistics of one model (glm_procs_stats.csv), by name.
inline std::map<std::string, double> refStats(const std::string& model) {
  std::map<std::string, double> stats;
  for (const GlmRefRow& row : readGlmRefCsv("glm_procs_stats.csv"))
    if (row.text("model") == model) stats[row.text("what")] = row.num("value");
  return stats;
}

// |a - b| <= tol * max(|b|, tiny): a relative comparison that tolerates exact zeros.
inline ::testing::AssertionResult nearRelative(double actual, double expected, double tol) {
  const double scale = std::max(std::fabs(expected), 1e-300);
  if (std::fabs(actual - expected) <= tol * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual << " differs from " << expected << " by more than " << tol << " relative";
}

}  // namespace glmproc
