// GLMFitHandler: the fitted elements of a GeneralRegressionModel (ParameterList, PPMatrix,
// ParamMatrix, DevMatrix, CoefCorr, Importance, RMatrix, QTYMatrix, ModelExtraInfo).
#include <cmath>
#include <cstdlib>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFitHandler.h"

namespace {

// The whole text as a decimal number (NaN and infinities included); false otherwise.
bool parseDouble(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// An integer attribute; std::stol's own exceptions report text that is not an integer.
long parseLong(const char* text) {
  std::size_t used = 0;
  const long value = std::stol(text, &used);
  if (text[used] != '\0') throw std::invalid_argument(text);
  return value;
}

// A required attribute of one of the library's own result elements.
void requireAttribute(bool present, const char* attributeName, const char* element) {
  if (!present) QMX_ThrowException("missing %s attribute in %s element", attributeName, element);
}

}  // namespace

bool GLMFitHandler::startFitElement(xercesc::AttributeList& attributes) {
  if (isState(XML_modelExtraInfo)) {
    if (state() != (XML_generalRegressionModel | XML_modelExtraInfo)) unexpected();
    startExtra(attributes);
    return true;
  }
  if (isElement("ParameterList")) {
    if (!inModel()) unexpected();
    setStateOn(XML_parameterList);
  } else if (isElement("Parameter")) {
    if (state() != (XML_generalRegressionModel | XML_parameterList)) unexpected();
    startParameter(attributes);
  } else if (isElement("PPMatrix")) {
    if (!inModel()) unexpected();
    startPPMatrix();
  } else if (isElement("PPCell")) {
    if (state() != (XML_generalRegressionModel | XML_ppMatrix)) unexpected();
    startPPCell(attributes);
  } else if (isElement("ParamMatrix")) {
    if (!inModel()) unexpected();
    startParamMatrix();
  } else if (isElement("PCell")) {
    if (state() != (XML_generalRegressionModel | XML_paramMatrix)) unexpected();
    startPCell(attributes);
  } else if (isElement("DevMatrix")) {
    if (!inModel()) unexpected();
    startDevMatrix(attributes);
  } else if (isElement("DevCell")) {
    if (state() != (XML_generalRegressionModel | XML_devMatrix)) unexpected();
    startDevCell(attributes);
  } else if (isElement("CoefCorr")) {
    if (!inModel()) unexpected();
    startCoefCorr(attributes);
  } else if (isElement("CorrCell")) {
    if (state() != (XML_generalRegressionModel | XML_coefCorr)) unexpected();
    startCorrCell(attributes);
  } else if (isElement("Importance")) {
    if (!inModel()) unexpected();
    startImportance(attributes);
  } else if (isElement("Effect")) {
    if (state() != (XML_generalRegressionModel | XML_importance)) unexpected();
    startEffect(attributes);
  } else if (isElement("RMatrix") || isElement("QTYMatrix")) {
    if (!inModel()) unexpected();
    startMatrix(attributes, isElement("RMatrix") ? r_ : qty_);
  } else if (isElement("Row")) {
    if (state() != (XML_generalRegressionModel | XML_matrix)) unexpected();
    startMatrixRow(attributes);
  } else if (isElement("Col")) {
    if (state() != (XML_generalRegressionModel | XML_matrix | XML_matrixRow)) unexpected();
    startMatrixCol(attributes);
  } else if (isElement("ModelExtraInfo")) {
    if (!inModel()) unexpected();
    extras_.clear();
    setStateOn(XML_modelExtraInfo);
  } else {
    return false;
  }
  return true;
}

bool GLMFitHandler::endFitElement() {
  if (isState(XML_modelExtraInfo)) {
    if (!isElement("ModelExtraInfo")) {  // an extra's end
      setStateOff(XML_extra);
      return true;
    }
    setStateOff(XML_modelExtraInfo);
    // Extras written by the iterative fit name the family; build it when all three are given.
    if (!glm().getFamilyName().empty() && !glm().getLinkName().empty() &&
        !glm().getVarName().empty()) {
      glm().setFamily();
    }
  } else if (isElement("ParameterList")) {
    setStateOff(XML_parameterList);
    if (parameters_.empty()) {
      QMX_ThrowException("no Parameter(s) specified in the ParameterList element");
    }
  } else if (isElement("PPMatrix")) {
    setStateOff(XML_ppMatrix);
  } else if (isElement("ParamMatrix")) {
    setStateOff(XML_paramMatrix);
    bool complete = !paramSet_.empty();
    for (char set : paramSet_)
      complete = complete && set != 0;
    if (!complete) QMX_ThrowException("invalid parameter matrix, ParamMatrix");
  } else if (isElement("DevMatrix")) {
    setStateOff(XML_devMatrix);
  } else if (isElement("CoefCorr")) {
    setStateOff(XML_coefCorr);
  } else if (isElement("Importance")) {
    setStateOff(XML_importance);
  } else if (isElement("RMatrix") || isElement("QTYMatrix")) {
    setStateOff(XML_matrix);
    matrix_ = MatrixReader();
  } else if (isElement("Row")) {
    setStateOff(XML_matrixRow);
  } else {
    return false;
  }
  return true;
}

// --- parameters and the parameter-to-predictor matrix ---

void GLMFitHandler::startParameter(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "name")) {
    QMX_ThrowException("missing name attribute in Parameter element");
  }
  if (parameterIndex_.count(attribute()) != 0) return;  // a repeated name adds nothing
  parameterIndex_.emplace(attribute(), static_cast<long>(parameters_.size()));
  parameters_.push_back(String(attribute()));
}

void GLMFitHandler::startPPMatrix() {
  const long p = static_cast<long>(parameters_.size());
  const long nVariables = static_cast<long>(independentNames().size());
  coefTable_ = p > 0 && nVariables > 0 ? TMatrix<long>(p, nVariables) : TMatrix<long>();
  setStateOn(XML_ppMatrix);
}

void GLMFitHandler::startPPCell(xercesc::AttributeList& attributes) {
  String predictor;
  if (!getAttribute(attributes, "predictorName", predictor)) {
    QMX_ThrowException("missing predictorName attribute in PPCell element");
  }
  const long column = findColumn(predictor.c_str());
  if (column < 0) {
    QMX_ThrowException(
        "predictorName %s was not specified in the ColumnDefinitions or DataDictionary",
        predictor.c_str());
  }
  const bool isFactor = factorList_.count(predictor.str()) != 0;
  if (!isFactor && covariateList_.count(predictor.str()) == 0) {
    QMX_ThrowException(
        "predictorName %s was not specified in either the FactorList or CovariateList",
        predictor.c_str());
  }
  if (!getAttribute(attributes, "value")) {
    QMX_ThrowException("missing value attribute in PPCell element");
  }
  long cell = 0;
  if (isFactor) {
    const strVector& levels = columns()[static_cast<std::size_t>(column)].levels();
    for (std::size_t levelIdx = 0; levelIdx < levels.size() && cell == 0; ++levelIdx) {
      if (levels[levelIdx].str() == attribute()) cell = static_cast<long>(levelIdx) + 1;
    }
    if (cell == 0) {
      QMX_ThrowException("value %s was not specified as a level for factor %s", attribute(),
                         predictor.c_str());
    }
  } else {
    // A covariate's value is its exponent, a positive integer.
    char* end = nullptr;
    cell = std::strtol(attribute(), &end, 10);
    if (*end != '\0' || cell < 1)
      QMX_ThrowException("invalid parameter-to-predictor matrix, PPMatrix");
  }
  if (!getAttribute(attributes, "variableName")) {
    QMX_ThrowException("missing variableName attribute in PPCell element");
  }
  const auto parameter = parameterIndex_.find(attribute());
  if (parameter == parameterIndex_.end()) {
    QMX_ThrowException("variableName %s was not specified as a Parameter in the ParameterList",
                       attribute());
  }
  const long variable = independentIndex(predictor.c_str());
  if (variable < 0 || coefTable_.size() == 0 || coefTable_(parameter->second, variable) != 0) {
    QMX_ThrowException("invalid parameter-to-predictor matrix, PPMatrix");
  }
  coefTable_(parameter->second, variable) = cell;
}

// --- coefficients and standard errors ---

void GLMFitHandler::startParamMatrix() {
  const long p = static_cast<long>(parameters_.size());
  const long q = static_cast<long>(dependentNames().size());
  if (p > 0 && q > 0) {
    coef_ = TMatrix<double>(p, q, parameters_, dependentNames());
    stdErr_ = TMatrix<double>(p, q, parameters_, dependentNames());
  }
  paramSet_.assign(static_cast<std::size_t>(p * q), 0);
  setStateOn(XML_paramMatrix);
}

void GLMFitHandler::startPCell(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "targetCategory")) {
    QMX_ThrowException("missing targetCategory attribute in PCell element");
  }
  const long response = dependentIndex(attribute());
  if (response < 0) {
    QMX_ThrowException(
        "targetCategory %s does not match any specified in GeneralRegressionModel element",
        attribute());
  }
  if (!getAttribute(attributes, "parameterName")) {
    QMX_ThrowException("Missing parameterName attribute in PCell element");
  }
  const auto parameter = parameterIndex_.find(attribute());
  if (parameter == parameterIndex_.end() || coef_.size() == 0) {
    QMX_ThrowException("parameterName %s was not specified in the ParameterList element",
                       attribute());
  }
  if (!getAttribute(attributes, "df")) QMX_ThrowException("missing df attribute in PCell element");
  const long df = parseLong(attribute());
  if (df != 0 && df != 1) {
    QMX_ThrowException("invalid df attribute, %d, in PCell element", static_cast<int>(df));
  }
  double beta = 0.0;
  const bool hasBeta = getAttribute(attributes, "beta");
  if (hasBeta && !parseDouble(attribute(), beta)) {
    QMX_ThrowException("invalid beta attribute in PCell element");
  }
  double stdErr = 0.0;
  if (!getAttribute(attributes, "stdErr")) {
    QMX_ThrowException("missing stdErr attribute in PCell element");
  }
  if (!parseDouble(attribute(), stdErr)) {
    QMX_ThrowException("invalid stdErr attribute in PCell element");
  }
  if (!hasBeta && df > 0) {
    QMX_ThrowException("must have a beta attribute in PCell element when df>0");
  }
  const long row = parameter->second;
  coef_(row, response) = beta;
  stdErr_(row, response) = df == 0 ? std::nan("") : stdErr;  // df 0: an aliased coefficient
  paramSet_[static_cast<std::size_t>(row + response * coef_.getNRow())] = 1;
}

// --- analysis of deviance ---

void GLMFitHandler::startDevMatrix(xercesc::AttributeList& attributes) {
  if (!getAttribute(attributes, "targetCategory")) {
    QMX_ThrowException("missing targetCategory attribute in DevCell element");
  }
  if (dependentNames().empty()) {
    QMX_ThrowException("dependent variables are not specified in the ColumnInfo element");
  }
  const long response = dependentIndex(attribute());
  if (response < 0) {
    QMX_ThrowException("dependent variable %s specified in DevMatrix is not in the model",
                       attribute());
  }
  if (!getAttribute(attributes, "count")) {
    QMX_ThrowException("missing count attribute in DevMatrix element");
  }
  deviance_.countInCurrent = parseLong(attribute());
  deviance_.cellsInCurrent = 0;
  deviance_.currentResponse = response;
  deviance_.values.resize(dependentNames().size(),
                          std::vector<double>(deviance_.rows.size(), std::nan("")));
  setStateOn(XML_devMatrix);
}

void GLMFitHandler::startDevCell(xercesc::AttributeList& attributes) {
  String source;
  if (!getAttribute(attributes, "source", source)) {
    QMX_ThrowException("missing source attribute in DevCell element");
  }
  if (deviance_.cellsInCurrent >= deviance_.countInCurrent) {
    QMX_ThrowException(
        "number of sources of variation exceeds count %d specified in DevMatrix element",
        static_cast<int>(deviance_.countInCurrent));
  }
  if (!getAttribute(attributes, "df"))
    QMX_ThrowException("missing df attribute in DevCell element");
  const long df = parseLong(attribute());
  if (!getAttribute(attributes, "dev"))
    QMX_ThrowException("missing dev attribute in DevCell element");
  double dev = 0.0;
  if (!parseDouble(attribute(), dev)) QMX_ThrowException("invalid dev attribute in DevCel element");
  const long row = deviance_.addRow(source, df);
  deviance_
      .values[static_cast<std::size_t>(deviance_.currentResponse)][static_cast<std::size_t>(row)] =
      dev;
  ++deviance_.cellsInCurrent;
}

// --- correlations and importance ---

void GLMFitHandler::startCoefCorr(xercesc::AttributeList& attributes) {
  requireAttribute(getAttribute(attributes, "threshold"), "threshold", "CoefCorr");
  if (!parseDouble(attribute(), corrThreshold_)) {
    QMX_ThrowException("invalid threshold attribute in CoefCorr element");
  }
  corrLabels_.clear();
  corrValues_.clear();
  setStateOn(XML_coefCorr);
}

void GLMFitHandler::startCorrCell(xercesc::AttributeList& attributes) {
  String label;
  requireAttribute(getAttribute(attributes, "coef", label), "coef", "CorrCell");
  requireAttribute(getAttribute(attributes, "value"), "value", "CorrCell");
  double value = 0.0;
  if (!parseDouble(attribute(), value)) {
    QMX_ThrowException("invalid value attribute in CorrCell element");
  }
  corrLabels_.push_back(label);
  corrValues_.push_back(value);
}

void GLMFitHandler::startImportance(xercesc::AttributeList& attributes) {
  requireAttribute(getAttribute(attributes, "targetCategory"), "targetCategory", "Importance");
  const long response = dependentIndex(attribute());
  if (response < 0) {
    QMX_ThrowException("dependent variable %s specified in Importance is not in the model",
                       attribute());
  }
  importance_.currentResponse = response;
  importance_.values.resize(dependentNames().size(),
                            std::vector<double>(importance_.rows.size(), std::nan("")));
  setStateOn(XML_importance);
}

void GLMFitHandler::startEffect(xercesc::AttributeList& attributes) {
  String name;
  requireAttribute(getAttribute(attributes, "name", name), "name", "Effect");
  requireAttribute(getAttribute(attributes, "value"), "value", "Effect");
  double value = 0.0;
  if (!parseDouble(attribute(), value)) {
    QMX_ThrowException("invalid value attribute in Effect element");
  }
  requireAttribute(getAttribute(attributes, "df"), "df", "Effect");
  const long row = importance_.addRow(name, parseLong(attribute()));
  importance_.values[static_cast<std::size_t>(importance_.currentResponse)]
                    [static_cast<std::size_t>(row)] = value;
}

// --- the triangular factor and rotated responses ---

void GLMFitHandler::startMatrix(xercesc::AttributeList& attributes, DoubleMatrix& target) {
  requireAttribute(getAttribute(attributes, "nRows"), "nRows", element());
  const long nRows = parseLong(attribute());
  requireAttribute(getAttribute(attributes, "nCols"), "nCols", element());
  const long nCols = parseLong(attribute());
  if (nRows < 0 || nCols < 0) QMX_ThrowException("invalid dimensions in %s element", element());
  target = nRows > 0 && nCols > 0 ? DoubleMatrix(nRows, nCols) : DoubleMatrix();
  matrix_.target = &target;
  matrix_.element = &target == &r_ ? "RMatrix" : "QTYMatrix";
  matrix_.currentRow = -1;
  setStateOn(XML_matrix);
}

void GLMFitHandler::startMatrixRow(xercesc::AttributeList& attributes) {
  requireAttribute(getAttribute(attributes, "num"), "num", "Row");
  const long row = parseLong(attribute());
  if (row < 0 || row >= matrix_.target->getNRow()) {
    QMX_ThrowException("bad Row num %ld in %s element", row, matrix_.element);
  }
  matrix_.currentRow = row;
  setStateOn(XML_matrixRow);
}

void GLMFitHandler::startMatrixCol(xercesc::AttributeList& attributes) {
  requireAttribute(getAttribute(attributes, "num"), "num", "Col");
  const long col = parseLong(attribute());
  if (col < 0 || col >= matrix_.target->getNCol()) {
    QMX_ThrowException("bad Col num %ld in %s element", col, matrix_.element);
  }
  requireAttribute(getAttribute(attributes, "val"), "val", "Col");
  double value = 0.0;
  if (!parseDouble(attribute(), value)) {
    QMX_ThrowException("invalid val attribute in Col element");
  }
  (*matrix_.target)(matrix_.currentRow, col) = value;
}

// --- extras: one empty element per name/value pair ---

void GLMFitHandler::startExtra(xercesc::AttributeList& attributes) {
  const String name(element());
  String value;
  getAttribute(attributes, "val", value);
  extras_.push_back(name);
  extras_.push_back(value);
  setStateOn(XML_extra);
  if (name.str() == "Family") glm().setFamilyName(value);
  if (name.str() == "Link") glm().setLinkName(value);
  if (name.str() == "Var") glm().setVarName(value);
}
