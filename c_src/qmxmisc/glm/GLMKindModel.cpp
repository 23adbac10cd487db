// The hooks of the regression kinds that prepare a formula's model and read fitted models.
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMKind.h"
#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/model/DataColumn.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"

namespace {

std::string setting(const SpecSettings& settings, const char* name) {
  const auto found = settings.values.find(name);
  return found == settings.values.end() ? std::string() : found->second;
}

GLMSpecNames namesOf(const SpecSettings& settings) {
  const std::string family = setting(settings, "family");
  return glmSpecNames(family.empty() ? "gaussian" : family, setting(settings, "link"),
                      setting(settings, "variance"));
}

const DataColumn* findColumn(const std::vector<DataColumn>& columns, const std::string& name) {
  for (const DataColumn& column : columns)
    if (column.name == name) return &column;
  return nullptr;
}

// A factor response is taken only by the binomial family, and only with two levels.
void checkFactorResponse(const std::vector<DataColumn>& columns, const MiningModel& model,
                         bool binomial) {
  if (model.nResponse() < 1) QMX_ThrowException("the formula has no response");
  const std::string name = model.response(0).name().str();
  const DataColumn* column = findColumn(columns, name);
  if (column == nullptr || column->kind != DataColumnKind::kFactor) return;
  if (!binomial || column->levels.size() != 2)
    QMX_ThrowException(
        "response '%s' is a factor with %zu levels; only the binomial family takes a factor "
        "response, with two levels",
        name.c_str(), column->levels.size());
}

// A binomial fit codes a factor response by the indicator of its first listed level, while
// R's glm models the probability of the second level (its "success"): swapping the two
// levels (and their counts) makes the specification list the second level first.
std::string putSecondLevelFirst(std::vector<DataColumn>& columns, const std::string& response) {
  for (DataColumn& column : columns) {
    if (column.name != response || column.kind != DataColumnKind::kFactor ||
        column.levels.size() != 2)
      continue;
    std::swap(column.levels[0], column.levels[1]);
    if (column.levelCounts.size() == 2) std::swap(column.levelCounts[0], column.levelCounts[1]);
    return column.levels[0];
  }
  return "";
}

}  // namespace

std::string glm_kind::prepareModel(const SpecSettings& settings, const MiningModel& model,
                                   std::vector<DataColumn>& columns, bool forFit) {
  // A specification without a family writes the gaussian default: nothing to prepare.
  if (!forFit && setting(settings, "family").empty()) return "";
  const bool binomial = namesOf(settings).family == "Binomial";
  if (forFit) checkFactorResponse(columns, model, binomial);
  if (!binomial || model.nResponse() < 1) return "";
  const std::string level = putSecondLevelFirst(columns, model.response(0).name().str());
  return level.empty() ? "" : "modelling the probability of level '" + level + "'";
}

std::vector<std::pair<std::string, std::string>> glm_kind::fitProperties(
    const SpecSettings& settings) {
  const GLMSpecNames names = namesOf(settings);
  return {{"iglm.family", names.family}, {"iglm.link", names.link}, {"iglm.var", names.variance}};
}

ScoreModel glm_kind::scoreModel(const std::string& document) {
  const GLMFit fit(document.c_str());
  ScoreModel model;
  model.fitted = fit.nCoefficients() > 0 && fit.nResponse() > 0;
  if (!model.fitted) return model;
  for (long k = 0; k < fit.nResponse(); ++k)
    model.responses.push_back(fit.response(k).name().str());
  for (const String& level : fit.response(0).levels())
    model.responseLevels.push_back(level.str());
  model.categorical = fit.hasFamily() && fit.distType() == GLMFamily::Distribution::Binomial;
  if (model.categorical) {
    // The proc's probability columns: the first holds the fitted mu, the probability of the
    // response's first level in the document (or of 1 for a 0/1 response).
    if (model.responseLevels.size() == 2)
      model.probabilityColumns = model.responseLevels;
    else
      model.probabilityColumns = {model.responses[0], "1 - " + model.responses[0]};
  }
  for (const String& column : fit.inputColumns())
    model.variables.push_back(column.str());
  model.weights = fit.weights().str();
  for (long f = 0; f < fit.nFactors(); ++f) {
    const std::string name = fit.factor(f).str();
    std::vector<std::string> levels;
    for (const String& level : fit.levels(name.c_str()))
      levels.push_back(level.str());
    model.factors.emplace_back(name, std::move(levels));
  }
  return model;
}
