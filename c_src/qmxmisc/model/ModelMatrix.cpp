#include "qmxmisc/model/ModelMatrix.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelLimits.h"
#include "qmxmisc/model/PolynomialContrasts.h"

void ModelMatrix::setModel(const ModelTerms& model) {
  erase(false);
  // Only the description part of a derived model object is copied.
  model_ = static_cast<const ModelTerms&>(model);
}

void ModelMatrix::erase(bool keep) {
  TMatrix<double>::init(0, 0);
  termIndicies_.clear();
  rowsExcluded_.clear();
  undefFactorIndex_.clear();
  if (keep) return;
  model_.erase(false);
  variableMap_.clear();
  levelIndex_.clear();
  derived_.clear();
  maxCol_ = 0;
}

bool ModelMatrix::needsData(long v) const {
  const DerivedVariable* derived = derived_[static_cast<std::size_t>(v)].variable.get();
  if (derived == nullptr) return false;
  if (derived->kind() == DerivedVariable::Kind::kFactor)
    return !model_.isFactor(model_.variable(v).c_str());
  return !derived->hasCoefficients();
}

unsigned ModelMatrix::variableWidth(long v) const {
  const char* name = model_.variable(v).c_str();
  const std::string& expression = model_.expression(model_.variable(v));
  if (!model_.isFactor(name)) {
    if (expression.empty()) return 1;
    return static_cast<unsigned>(DerivedVariable(expression).width());
  }
  const FactorInfo& factor = model_.factorInfo(name);
  const auto levels = static_cast<unsigned>(factor.length());
  switch (factor.matrixCoding()) {
    case MatrixCoding::kNumeric:
      return 1;
    case MatrixCoding::kIndicator:
      return levels;
    case MatrixCoding::kSumToZero:
    case MatrixCoding::kLastReference:
    case MatrixCoding::kPolynomial:
      return levels > 0 ? levels - 1 : 0;
  }
  return 1;
}

void ModelMatrix::checkVariable(const QMXBuf& buffer, int column, long v) const {
  const char* name = model_.variable(v).c_str();
  const bool modelCategorical = model_.isFactor(name);
  const bool bufferCategorical = buffer.columnTypeIsFactor(column);
  if (!bufferCategorical && modelCategorical) {
    QMX_ThrowException(
        "data buffer has variable %s marked as a continuous but the model object does not", name);
  }
  if (bufferCategorical && !modelCategorical) {
    QMX_ThrowException(
        "data buffer has variable %s marked as categorical and the model object does not", name);
  }
  if (!bufferCategorical) return;
  const FactorInfo& factor = model_.factorInfo(name);
  if (factor.matrixCoding() == MatrixCoding::kPolynomial) polynomialContrasts(factor.length());
  if (!validateFactorLevels_) return;
  const long bufferLevels = buffer.getNumLevels(column);
  if (bufferLevels > factor.length()) {
    QMX_ThrowException("data buffer has %d categories for variable %s but the model object has %d",
                       static_cast<int>(bufferLevels), name, static_cast<int>(factor.length()));
  }
  std::unordered_set<std::string_view> known;
  for (const String& modelLevel : factor.levels())
    known.insert(std::string_view(modelLevel.str()));
  for (long level = 0; level < bufferLevels; ++level) {
    const char* label = buffer.getLevelName(column, level);
    const String text(label);
    if (known.count(std::string_view(text.str())) == 0) {
      QMX_ThrowException("model object categorical variable %s does not have level %s", name,
                         text.c_str());
    }
  }
}

void ModelMatrix::checkTerms() const {
  const TMatrix<long>& terms = model_.termsTable();
  const long nVariables = model_.nVariables();
  const strVector& labels = terms.getColNames();
  long columns = model_.intercept() ? 1 : 0;
  for (long t = 0; t < model_.nTerms(); ++t) {
    const std::string label =
        t < static_cast<long>(labels.size()) ? labels[static_cast<std::size_t>(t)].str() : "";
    long order = 0;
    long width = 1;
    for (long v = 0; v < nVariables; ++v) {
      const long power = terms(v, t);
      if (power <= 0) continue;
      if (power > kMaxTermPower)
        QMX_ThrowException("term %s raises %s to the power %ld, above the limit of %ld",
                           label.c_str(), model_.variable(v).c_str(), power, kMaxTermPower);
      if (++order > kMaxInteractionOrder)
        QMX_ThrowException("term %s interacts more than %ld variables", label.c_str(),
                           kMaxInteractionOrder);
      // Both factors stay at most kMaxModelColumns, so the product cannot overflow.
      width *= std::max<long>(static_cast<long>(variableWidth(v)), 1);
      if (width > kMaxModelColumns) break;
    }
    if (order > 0) columns += width;
    if (columns > kMaxModelColumns)
      QMX_ThrowException("the model matrix has more than %ld columns (at term %s)",
                         kMaxModelColumns, label.c_str());
  }
}

void ModelMatrix::init(QMXBuf& buffer) {
  erase(true);
  variableMap_.clear();
  levelIndex_.clear();
  derived_.clear();
  maxCol_ = 0;
  if (!model_.valid(false)) return;
  const long nVariables = model_.nVariables();
  // Bound only when every check passed: a failed init leaves the matrix unbound.
  lVector map(static_cast<std::size_t>(nVariables), -1);
  // A buffer holding two columns of one name binds the first, the column the row filter
  // tests for missing values.
  for (int column = 0; column < buffer.getNumColumns(); ++column) {
    const char* columnName = buffer.getColumnName(column);
    if (columnName == nullptr) continue;
    const String name(columnName);
    for (long v = 0; v < nVariables; ++v) {
      if (map[static_cast<std::size_t>(v)] != -1 || !(model_.variable(v) == name) ||
          !model_.expression(model_.variable(v)).empty())
        continue;
      map[static_cast<std::size_t>(v)] = column;
      checkVariable(buffer, column, v);
    }
  }
  std::string missing;
  std::vector<DerivedInput> derived(static_cast<std::size_t>(nVariables));
  for (long v = 0; v < nVariables; ++v) {
    const std::string& expression = model_.expression(model_.variable(v));
    if (!expression.empty()) {
      derived[static_cast<std::size_t>(v)] = bindDerived(buffer, expression, missing);
      const std::vector<int>& columns = derived[static_cast<std::size_t>(v)].columns;
      if (!columns.empty()) map[static_cast<std::size_t>(v)] = columns[0];
      continue;
    }
    if (map[static_cast<std::size_t>(v)] != -1) continue;
    if (!missing.empty()) missing += ", ";
    missing += model_.variable(v).str();
  }
  if (!missing.empty()) {
    QMX_ThrowException("variable(s) specified in the model are not in the data buffer: %s",
                       missing.c_str());
  }

  checkTerms();
  // Intercept, then per term the product of the widths of the variables it holds.
  const TMatrix<long>& terms = model_.termsTable();
  unsigned columns = model_.intercept() ? 1 : 0;
  for (long t = 0; t < model_.nTerms(); ++t) {
    unsigned width = 1;
    bool any = false;
    for (long v = 0; v < nVariables; ++v) {
      if (terms(v, t) <= 0) continue;
      width *= variableWidth(v);
      any = true;
    }
    if (any) columns += width;
  }
  std::vector<LevelIndex> levelIndex(static_cast<std::size_t>(nVariables));
  for (long v = 0; v < nVariables; ++v) {
    const char* name = model_.variable(v).c_str();
    if (!model_.isFactor(name)) continue;
    const FactorInfo& factor = model_.factorInfo(name);
    LevelIndex& index = levelIndex[static_cast<std::size_t>(v)];
    for (long level = 0; level < factor.length(); ++level)
      index.emplace(factor.level(level).str(), level);
  }
  variableMap_ = std::move(map);
  levelIndex_ = std::move(levelIndex);
  derived_ = std::move(derived);
  maxCol_ = columns;
}

ModelMatrix::DerivedInput ModelMatrix::bindDerived(const QMXBuf& buffer,
                                                   const std::string& expression,
                                                   std::string& missing) const {
  DerivedInput input;
  input.variable = std::make_shared<const DerivedVariable>(expression);
  for (const std::string& name : input.variable->columns()) {
    int found = -1;
    for (int column = 0; column < buffer.getNumColumns() && found < 0; ++column) {
      const char* columnName = buffer.getColumnName(column);
      if (columnName != nullptr && name == columnName) found = column;
    }
    if (found < 0) {
      missing += (missing.empty() ? "" : ", ") + name;
      continue;
    }
    if (buffer.columnTypeIsFactor(found) &&
        input.variable->kind() == DerivedVariable::Kind::kFactor) {
      input.categoricalInput = true;
    } else if (buffer.columnTypeIsFactor(found)) {
      QMX_ThrowException(
          "%s: data buffer has variable %s marked as categorical; arithmetic needs "
          "a continuous variable",
          input.variable->label().c_str(), name.c_str());
    }
    input.columns.push_back(found);
  }
  return input;
}

void ModelMatrix::center(const TMatrix<double>& c) {
  const long ncol = getNCol();
  if (c.size() != ncol) {
    QMX_ThrowException("center vector has length %d but expected %d", static_cast<int>(c.size()),
                       static_cast<int>(ncol));
  }
  if (ncol == 0) return;
  const long nrow = getNRow();
  double* values = data();
  for (long col = 0; col < ncol; ++col) {
    const double shift = c[col];
    double* column = values + static_cast<std::size_t>(nrow * col);
    for (long row = 0; row < nrow; ++row)
      column[row] -= shift;
  }
}
