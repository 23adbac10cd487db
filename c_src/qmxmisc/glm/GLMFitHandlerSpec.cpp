// GLMFitHandler: the specification elements of a GeneralRegressionModel (the model element
// itself, Family/Link/Var, FactorList/CovariateList/Predictor, LinearModel/Term/TermVar,
// Intercept, Weights).
#include <strings.h>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFitHandler.h"

namespace {

// "false", "0" and "no" (any case) turn the intercept off; any other value keeps it.
bool interceptValue(const char* text) {
  return strcasecmp(text, "false") != 0 && strcmp(text, "0") != 0 && strcasecmp(text, "no") != 0;
}

void throwMissingTermName() {
  QMX_ThrowException("missing Term name attribute in LinearModel element");
}

}  // namespace

bool GLMFitHandler::startSpecElement(xercesc::AttributeList& attributes) {
  if (isState(XML_modelExtraInfo)) return false;  // every child there is an extra
  if (isElement("GeneralRegressionModel")) {
    if (!isState(0)) unexpected();
    startModel(attributes);
  } else if (isElement("Family") || isElement("Link") || isElement("Var")) {
    if (!inModel()) unexpected();
    startFamilyName(attributes);
  } else if (isElement("FactorList") || isElement("CovariateList")) {
    if (!inModel()) unexpected();
    setStateOn(isElement("FactorList") ? XML_factorList : XML_covariateList);
  } else if (isElement("Predictor")) {
    if (state() != (XML_generalRegressionModel | XML_factorList) &&
        state() != (XML_generalRegressionModel | XML_covariateList)) {
      unexpected();
    }
    startPredictor(attributes);
  } else if (isElement("LinearModel")) {
    if (!inModel()) unexpected();
    sawLinearModel_ = true;
    setStateOn(XML_linearModel);
  } else if (isElement("Term")) {
    if (state() != (XML_generalRegressionModel | XML_linearModel)) unexpected();
    startTerm(attributes);
  } else if (isElement("TermVar")) {
    if (state() != (XML_generalRegressionModel | XML_linearModel | XML_term)) unexpected();
    startTermVar(attributes);
  } else if (isElement("Intercept") || isElement("Weights")) {
    if (!inModel() && state() != (XML_generalRegressionModel | XML_linearModel)) unexpected();
    if (!getAttribute(attributes, "value")) throwMissingTermName();
    if (isElement("Intercept")) {
      sawIntercept_ = true;
      intercept_ = interceptValue(attribute());
    } else {
      glm().setWeights(String(attribute()));
    }
  } else {
    return false;
  }
  return true;
}

void GLMFitHandler::startModel(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "modelType")) {
    QMX_ThrowException("missing modelType attribute in GeneralRegressionModel element");
  }
  const std::string type = attribute();
  if (type == "generalLinear" || type == "regression") {
    glm().setFamily(GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity);
  } else if (type == "multinomialLogistic") {
    glm().setFamily(GLMFamily::Distribution::Binomial, GLMLink::Link::Logit);
  } else if (type == "loglinear") {
    glm().setFamily(GLMFamily::Distribution::Poisson, GLMLink::Link::Log);
  }
  String name;
  if (getAttribute(attributes, "modelName", name)) glm().setName(name);
  if (!getAttribute(attributes, "targetVariableName")) {
    QMX_ThrowException("bad targetVariableName attribute in GeneralRegressionModel element");
  }
  if (dependentNames().empty()) {
    QMX_ThrowException("no dependent variable specified in the DataDictionary element");
  }
  if (dependentIndex(attribute()) < 0) {
    QMX_ThrowException("targetVariableName %s not specified in the DataDictionary element",
                       attribute());
  }
  setStateOn(XML_generalRegressionModel);
}

void GLMFitHandler::startFamilyName(xercesc::AttributeList& attributes) {
  String value;
  getAttribute(attributes, "val", value);
  if (isElement("Family")) {
    glm().setFamilyName(value);
  } else if (isElement("Link")) {
    glm().setLinkName(value);
  } else {
    glm().setVarName(value);
    glm().setFamily();
  }
}

void GLMFitHandler::startPredictor(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "name")) {
    QMX_ThrowException("missing name attribute in GeneralRegressionModel element");
  }
  const long column = findColumn(attribute());
  if (column < 0) {
    QMX_ThrowException(
        "variable %s specified as a Predictor was not specified in the DataDictionary",
        attribute());
  }
  if (isState(XML_factorList)) {
    if (columns()[static_cast<std::size_t>(column)].length() < 1) {
      QMX_ThrowException(
          "factorList identifies Predictor %s as categorical, but no categories were defined in "
          "the ColumnDefinitions or DataDictionary",
          attribute());
    }
    factorList_.insert(attribute());
  } else {
    covariateList_.insert(attribute());
  }
}

void GLMFitHandler::startTerm(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "name")) throwMissingTermName();
  for (const String& term : termNames_) {
    if (term.str() == attribute()) {
      QMX_ThrowException("term %s referenced more than one time", attribute());
    }
  }
  termNames_.push_back(String(attribute()));
  termPowers_.emplace_back();
  setStateOn(XML_term);
}

void GLMFitHandler::startTermVar(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "value")) throwMissingTermName();
  if (independentNames().empty()) {
    QMX_ThrowException("no variables specified in the ColumnDefinitions or DataDictionary");
  }
  if (independentIndex(attribute()) < 0) {
    QMX_ThrowException(
        "variable %s not specified as independent variable in the ColumnDefinitions or "
        "DataDictionary",
        attribute());
  }
  // A variable named twice in one term enters it with power 2 (x:x is x^2).
  ++termPowers_.back()[attribute()];
}

TMatrix<long> GLMFitHandler::linearModelTerms() const {
  const strVector& variables = independentNames();
  const long nVariables = static_cast<long>(variables.size());
  const long nTerms = static_cast<long>(termNames_.size());
  if (nVariables == 0 || nTerms == 0) return TMatrix<long>();
  TMatrix<long> table(nVariables, nTerms);
  for (long termIdx = 0; termIdx < nTerms; ++termIdx) {
    for (const auto& [variable, power] : termPowers_[static_cast<std::size_t>(termIdx)]) {
      table(independentIndex(variable.c_str()), termIdx) = power;
    }
  }
  table.setRowNames(variables);
  table.setColNames(termNames_);
  return table;
}
