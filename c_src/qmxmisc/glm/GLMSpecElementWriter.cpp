// The GeneralRegressionModel specification element: family names, predictor lists, the
// linear model's terms, intercept and weights.
#include "qmxmisc/glm/GLMSpecElementWriter.h"

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamilyNames.h"
#include "qmxmisc/model/VtmlWriter.h"

namespace {

std::string setting(const SpecSettings& settings, const char* name) {
  const auto found = settings.values.find(name);
  return found == settings.values.end() ? std::string() : found->second;
}

// The model type a fitted model of this family carries.
const char* modelType(const std::string& family) {
  const std::optional<GLMFamily::Distribution> distribution = glmDistributionFromName(family);
  if (!distribution || *distribution == GLMFamily::Distribution::Gaussian) return "generalLinear";
  if (*distribution == GLMFamily::Distribution::Binomial) return "multinomialLogistic";
  if (*distribution == GLMFamily::Distribution::Poisson) return "loglinear";
  return "GLM";
}

void writePredictors(VtmlWriter& w, const MiningModel& model, bool factors) {
  bool open = false;
  for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
    const String& name = model.variable(varIdx);
    if (model.isFactor(name.c_str()) != factors) continue;
    if (!open) w.begin(factors ? "FactorList" : "CovariateList").open();
    open = true;
    w.begin("Predictor").attr("name", name).leaf();
  }
  if (open) w.close();
}

void writeLinearModel(VtmlWriter& w, const MiningModel& model) {
  w.begin("LinearModel").open();
  const TMatrix<long>& table = model.termsTable();
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx) {
    w.begin("Term").attr("name", model.term(termIdx)).open();
    for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
      // The reader counts a variable named k times in a term as its power k.
      for (long power = 0; power < table(varIdx, termIdx); ++power)
        w.begin("TermVar").attr("value", model.variable(varIdx)).leaf();
    }
    w.close();
  }
  w.close();
}

}  // namespace

std::unique_ptr<ModelSpecKindWriter> GLMSpecElementWriter::fromSettings(
    const SpecSettings& settings) {
  std::string family = setting(settings, "family");
  if (family.empty()) family = "gaussian";
  return std::make_unique<GLMSpecElementWriter>(
      glmSpecNames(family, setting(settings, "link"), setting(settings, "variance")));
}

bool GLMSpecElementWriter::begin(std::ostream& os, const MiningModel& model) const {
  if (model.nResponse() < 1) QMX_ThrowException("a GLM specification needs a response");
  VtmlWriter root(os, 1);
  root.begin("GeneralRegressionModel");
  if (!model.modelName().empty()) root.attr("modelName", model.modelName());
  root.attr("targetVariableName", model.response(0).name());
  root.attr("modelType", modelType(names_.family)).open();
  model.getXMLSchema(os);
  VtmlWriter w(os, 2);
  w.begin("Family").attr("val", names_.family).leaf();
  w.begin("Link").attr("val", names_.link).leaf();
  w.begin("Var").attr("val", names_.variance).leaf();
  writePredictors(w, model, true);
  writePredictors(w, model, false);
  writeLinearModel(w, model);
  w.begin("Intercept").attr("value", model.intercept() ? "true" : "false").leaf();
  if (!model.weights().empty()) w.begin("Weights").attr("value", model.weights()).leaf();
  return os.good();
}

bool GLMSpecElementWriter::end(std::ostream& os, const MiningModel&) const {
  VtmlWriter(os, 1).close("GeneralRegressionModel");
  return os.good();
}
