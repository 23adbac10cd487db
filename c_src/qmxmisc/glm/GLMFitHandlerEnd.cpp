// GLMFitHandler: document start and end; the terms and the results assembled from what the
// element table read.
#include <cmath>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/model/ModelFormula.h"

long GLMFitHandler::dependentIndex(const std::string& name) const {
  const strVector& names = dependentNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].str() == name) return static_cast<long>(i);
  }
  return -1;
}

long GLMFitHandler::independentIndex(const std::string& name) const {
  const strVector& names = independentNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].str() == name) return static_cast<long>(i);
  }
  return -1;
}

void GLMFitHandler::ResponseTable::start(long response, std::size_t nResponses) {
  current = response;
  cells = 0;
  values.resize(nResponses, std::vector<double>(rows.size(), std::nan("")));
}

void GLMFitHandler::ResponseTable::set(const String& name, long rowDf, double value) {
  auto found = rowIndex.find(name.str());
  if (found == rowIndex.end()) {
    found = rowIndex.emplace(name.str(), static_cast<long>(rows.size())).first;
    rows.push_back(name);
    df.push_back(rowDf);
    for (std::vector<double>& column : values)
      column.push_back(std::nan(""));
  }
  values[static_cast<std::size_t>(current)][static_cast<std::size_t>(found->second)] = value;
  ++cells;
}

void GLMFitHandler::startDocument() {
  ElementTableHandler<ModelHandler>::startDocument();  // erases the model: GLMFit::erase(false)
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
  matrix_ = nullptr;
  matrixRow_ = -1;
  extras_.clear();
  termIndices_.clear();
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
      const bool covariate =
          columns()[static_cast<std::size_t>(findColumn(name.c_str()))].length() == 0;
      // R's label of a power, I(x^k), as the document's deviance rows name the term.
      label += covariate && cell > 1 ? rPowerLabel(name.str(), cell) : name.str();
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
  fit_->setAliased(aliased_);
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

TMatrix<long> GLMFitHandler::linearModelTerms() const {
  const strVector& variables = independentNames();
  const long nVariables = static_cast<long>(variables.size());
  const long nTerms = static_cast<long>(termNames_.size());
  if (nVariables == 0 || nTerms == 0) return TMatrix<long>();
  TMatrix<long> table(nVariables, nTerms);
  for (long termIdx = 0; termIdx < nTerms; ++termIdx) {
    for (const auto& [variable, power] : termPowers_[static_cast<std::size_t>(termIdx)]) {
      table(independentIndex(variable), termIdx) = power;
    }
  }
  table.setRowNames(variables);
  table.setColNames(termNames_);
  return table;
}
