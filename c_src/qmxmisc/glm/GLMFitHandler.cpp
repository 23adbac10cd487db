#include "qmxmisc/glm/GLMFitHandler.h"

#include <cmath>

#include "qmxmisc/base/QMXException.h"

GLMFitHandler::GLMFitHandler(const GLMModel& model)
    : ModelHandler(model),
      glm_(const_cast<GLMModel*>(&model)),  // see ModelHandler: written through
      fit_(dynamic_cast<GLMFit*>(glm_)) {}

GLMFitHandler::GLMFitHandler() = default;

GLMFitHandler::~GLMFitHandler() = default;

GLMModel& GLMFitHandler::glm() {
  if (glm_ == nullptr) QMX_ThrowException("Bad model object");
  return *glm_;
}

void GLMFitHandler::unexpected() const {
  if (std::string(element()) == "DevMatrix") QMX_ThrowException("unexpected ModelStats element");
  QMX_ThrowException("unexpected %s element", element());
}

long GLMFitHandler::dependentIndex(const char* name) const {
  const strVector& names = dependentNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].str() == name) return static_cast<long>(i);
  }
  return -1;
}

long GLMFitHandler::independentIndex(const char* name) const {
  const strVector& names = independentNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].str() == name) return static_cast<long>(i);
  }
  return -1;
}

long GLMFitHandler::ResponseTable::addRow(const String& name, long rowDf) {
  const auto found = rowIndex.find(name.str());
  if (found != rowIndex.end()) return found->second;
  const long row = static_cast<long>(rows.size());
  rows.push_back(name);
  rowIndex.emplace(name.str(), row);
  df.push_back(rowDf);
  for (std::vector<double>& column : values)
    column.push_back(std::nan(""));
  return row;
}

// --- document events ---

void GLMFitHandler::startDocument() {
  ModelHandler::startDocument();  // erases the model: GLMFit::erase(false)
  factorList_.clear();
  covariateList_.clear();
  termNames_.clear();
  termPowers_.clear();
  sawLinearModel_ = false;
  intercept_ = true;
  sawIntercept_ = false;
  parameters_.clear();
  parameterIndex_.clear();
  coefTable_ = TMatrix<long>();
  coef_ = TMatrix<double>();
  stdErr_ = TMatrix<double>();
  paramSet_.clear();
  deviance_ = ResponseTable();
  importance_ = ResponseTable();
  corrThreshold_ = 0.0;
  corrLabels_.clear();
  corrValues_.clear();
  r_ = DoubleMatrix();
  qty_ = DoubleMatrix();
  matrix_ = MatrixReader();
  extras_.clear();
  termIndices_.clear();
}

void GLMFitHandler::startElement(const XMLCh* const name, xercesc::AttributeList& attributes) {
  if (!getElement(name)) return;
  try {
    if (startSpecElement(attributes)) return;
  } catch (const QMXException&) {
    throw;
  } catch (...) {
    QMX_ThrowException("ratal error parsing XML");
  }
  try {
    if (startFitElement(attributes)) return;
  } catch (const QMXException&) {
    throw;
  } catch (...) {
    QMX_ThrowException("fatal error parsing XML");
  }
  if (anyState(XML_generalRegressionModel)) {
    // A mining schema inside the model element carries nothing the terms do not give.
    if (isElement("MiningSchema") || isElement("MiningField")) return;
    QMX_ThrowException("bad %s element", element());
  }
  ModelHandler::startElement(name, attributes);
}

void GLMFitHandler::endElement(const XMLCh* const name) {
  if (!getElement(name)) return;
  if (endFitElement()) return;
  if (isElement("GeneralRegressionModel")) {
    setStateOff(XML_generalRegressionModel);
  } else if (isElement("FactorList")) {
    setStateOff(XML_factorList);
  } else if (isElement("CovariateList")) {
    setStateOff(XML_covariateList);
  } else if (isElement("LinearModel")) {
    setStateOff(XML_linearModel);
  } else if (isElement("Term")) {
    setStateOff(XML_term);
  } else if (!anyState(XML_generalRegressionModel)) {
    ModelHandler::endElement(name);
  }
}

void GLMFitHandler::endDocument() {
  if (glm_ == nullptr) QMX_ThrowException("Bad model object");
  ModelHandler::endDocument();
  if (!parameters_.empty()) {
    termsFromCoefficients();
  } else {
    // The rows stay the independent variables, so the factors set by the frame still fit.
    if (sawLinearModel_) glm().setTermsTable(linearModelTerms());
    if (sawIntercept_) glm().setIntercept(intercept_);
  }
  if (fit_ != nullptr) storeResults();
}

// --- the fitted model at the document end ---

namespace {

constexpr const char* kInterceptName = "(Intercept)";

// A one-column-per-response table from what was read, NaN where a response gave no value.
TMatrix<double> responseValues(const std::vector<std::vector<double>>& values,
                               const strVector& rows, const strVector& responses) {
  const long nRows = static_cast<long>(rows.size());
  const long nCols = static_cast<long>(responses.size());
  if (nRows == 0 || nCols == 0) return TMatrix<double>();
  TMatrix<double> table(nRows, nCols, rows, responses);
  for (long col = 0; col < nCols; ++col) {
    for (long row = 0; row < nRows; ++row) {
      const bool read = col < static_cast<long>(values.size());
      table(row, col) = read ? values[static_cast<std::size_t>(col)][static_cast<std::size_t>(row)]
                             : std::nan("");
    }
  }
  return table;
}

TMatrix<long> rowDf(const std::vector<long>& df, const strVector& rows) {
  if (df.empty()) return TMatrix<long>();
  TMatrix<long> table(static_cast<long>(df.size()), rows);
  for (std::size_t row = 0; row < df.size(); ++row)
    table(static_cast<long>(row)) = df[row];
  return table;
}

}  // namespace

void GLMFitHandler::termsFromCoefficients() {
  const strVector& variables = independentNames();
  const long p = static_cast<long>(parameters_.size());
  const long nVariables = static_cast<long>(variables.size());
  bool hasIntercept = false;

  // Each coefficient's term label from its coefficient-table row.
  std::vector<std::string> labels(static_cast<std::size_t>(p));
  for (long coefIdx = 0; coefIdx < p; ++coefIdx) {
    const String& parameter = parameters_[static_cast<std::size_t>(coefIdx)];
    if (parameter.str() == kInterceptName) {
      hasIntercept = true;
      continue;
    }
    std::string label;
    for (long varIdx = 0; varIdx < nVariables && coefTable_.size() > 0; ++varIdx) {
      const long cell = coefTable_(coefIdx, varIdx);
      if (cell == 0) continue;
      const String& name = variables[static_cast<std::size_t>(varIdx)];
      if (!label.empty()) label += ':';
      label += name.str();
      const bool covariate =
          columns()[static_cast<std::size_t>(findColumn(name.c_str()))].length() == 0;
      if (covariate && cell > 1) label += "^" + std::to_string(cell);
    }
    if (label.empty()) {
      QMX_ThrowException("invalid coefficient table. No variables defined for coefficient %s",
                         parameter.c_str());
    }
    labels[static_cast<std::size_t>(coefIdx)] = label;
  }

  // Consecutive coefficients with one label form a term.
  strVector termLabels;
  Index termIndices;
  std::vector<long> firstCoef;
  for (long coefIdx = 0; coefIdx < p; ++coefIdx) {
    const std::string& label = labels[static_cast<std::size_t>(coefIdx)];
    if (label.empty()) continue;
    if (termLabels.empty() || termLabels.back().str() != label ||
        labels[static_cast<std::size_t>(coefIdx - 1)] != label) {
      termLabels.push_back(String(label));
      firstCoef.push_back(coefIdx);
      termIndices.push_back(static_cast<std::uint32_t>(coefIdx));
    }
  }
  termIndices.push_back(static_cast<std::uint32_t>(p));

  const long nTerms = static_cast<long>(termLabels.size());
  TMatrix<long> terms;
  if (nTerms > 0 && nVariables > 0) {
    terms = TMatrix<long>(nVariables, nTerms, variables, termLabels);
    for (long termIdx = 0; termIdx < nTerms; ++termIdx) {
      const long coefIdx = firstCoef[static_cast<std::size_t>(termIdx)];
      for (long varIdx = 0; varIdx < nVariables; ++varIdx) {
        const long cell = coefTable_(coefIdx, varIdx);
        if (cell == 0) continue;
        const String& name = variables[static_cast<std::size_t>(varIdx)];
        const bool covariate =
            columns()[static_cast<std::size_t>(findColumn(name.c_str()))].length() == 0;
        terms(varIdx, termIdx) = covariate ? cell : 1;
      }
    }
  }
  glm().setTermsTable(terms);
  glm().setIntercept(hasIntercept);
  termIndices_ = termIndices;
}

void GLMFitHandler::storeResults() {
  const strVector& variables = independentNames();
  fit_->setTermIndices(termIndices_);
  fit_->setCoefficients(coef_);
  fit_->setStdErr(stdErr_);
  TMatrix<long> coefTable = coefTable_;
  if (coefTable.size() > 0) {
    coefTable.setRowNames(parameters_);
    coefTable.setColNames(variables);
  }
  fit_->setCoefTable(coefTable);
  fit_->setDeviance(responseValues(deviance_.values, deviance_.rows, dependentNames()));
  fit_->setDf(rowDf(deviance_.df, deviance_.rows));
  fit_->setWaldStat(responseValues(importance_.values, importance_.rows, dependentNames()),
                    rowDf(importance_.df, importance_.rows));
  fit_->setCorrelations(corrThreshold_, corrLabels_, corrValues_);
  fit_->setR(r_);
  fit_->setQTY(qty_);
  fit_->setModelExtras(static_cast<long>(extras_.size() / 2), extras_.data());
}
