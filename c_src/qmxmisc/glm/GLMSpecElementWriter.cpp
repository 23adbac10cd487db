// The GeneralRegressionModel specification element: family names, predictor lists, the
// linear model's terms, intercept and weights.
#include "qmxmisc/glm/GLMSpecElementWriter.h"

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFamilyNames.h"

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

void writeValue(std::ostream& os, const char* element, const char* attribute, const char* value) {
  os << ModelTerms::Indent("<", 2) << element << " " << attribute << "=" << ModelTerms::Quote(value)
     << ModelTerms::XMLSEOL();
}

void writePredictors(std::ostream& os, const MiningModel& model, bool factors) {
  bool open = false;
  for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
    const String& name = model.variable(varIdx);
    if (model.isFactor(name.c_str()) != factors) continue;
    if (!open) os << ModelTerms::Indent(factors ? "<FactorList>\n" : "<CovariateList>\n", 2);
    open = true;
    os << ModelTerms::Indent("<Predictor name=", 3) << ModelTerms::Quote(name.c_str())
       << ModelTerms::XMLSEOL();
  }
  if (open) os << ModelTerms::Indent(factors ? "</FactorList>\n" : "</CovariateList>\n", 2);
}

void writeLinearModel(std::ostream& os, const MiningModel& model) {
  os << ModelTerms::Indent("<LinearModel>\n", 2);
  const TMatrix<long>& table = model.termsTable();
  for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx) {
    os << ModelTerms::Indent("<Term name=", 3) << ModelTerms::Quote(model.term(termIdx).c_str())
       << ModelTerms::XMLEOL();
    for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
      // The reader counts a variable named k times in a term as its power k.
      for (long power = 0; power < table(varIdx, termIdx); ++power) {
        os << ModelTerms::Indent("<TermVar value=", 4)
           << ModelTerms::Quote(model.variable(varIdx).c_str()) << ModelTerms::XMLSEOL();
      }
    }
    os << ModelTerms::Indent("</Term>\n", 3);
  }
  os << ModelTerms::Indent("</LinearModel>\n", 2);
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
  os << ModelTerms::Indent("<GeneralRegressionModel", 1);
  if (!model.modelName().empty())
    os << " modelName=" << ModelTerms::Quote(model.modelName().c_str());
  os << " targetVariableName=" << ModelTerms::Quote(model.response(0).name().c_str());
  os << " modelType=" << ModelTerms::Quote(modelType(names_.family)) << ModelTerms::XMLEOL();
  model.getXMLSchema(os);
  writeValue(os, "Family", "val", names_.family.c_str());
  writeValue(os, "Link", "val", names_.link.c_str());
  writeValue(os, "Var", "val", names_.variance.c_str());
  writePredictors(os, model, true);
  writePredictors(os, model, false);
  writeLinearModel(os, model);
  writeValue(os, "Intercept", "value", model.intercept() ? "true" : "false");
  if (!model.weights().empty()) writeValue(os, "Weights", "value", model.weights().c_str());
  return os.good();
}

bool GLMSpecElementWriter::end(std::ostream& os, const MiningModel&) const {
  os << ModelTerms::Indent("</GeneralRegressionModel>\n", 1);
  return os.good();
}
