#include "qmxbase/QMXBuf.h"

#include <cmath>
#include <utility>

QMXBuf::QMXBuf(QMXSchema schema, long capacityRows)
    : schema_(std::move(schema)), capacity_(capacityRows) {
  block_.reset(schema_);
}

void QMXBuf::noteAccessProblem(const std::string& text) const {
  if (accessProblem_.empty()) accessProblem_ = text;
}

bool QMXBuf::badColumn(int col) const {
  if (col >= 0 && col < getNumColumns()) return false;
  noteAccessProblem("column index " + std::to_string(col) + " is outside the " + label_ + " (" +
                    std::to_string(getNumColumns()) + " columns)");
  return true;
}

const char* QMXBuf::getColumnName(int col) const {
  if (badColumn(col)) return nullptr;
  return schema_[col].name.c_str();
}

long QMXBuf::getNumLevels(int col) const {
  if (badColumn(col)) return 0;
  return static_cast<long>(schema_[col].levels.size());
}

const char* QMXBuf::getLevelName(int col, long level) const {
  if (badColumn(col)) return nullptr;
  const auto& levels = schema_[col].levels;
  if (level < 0 || level >= static_cast<long>(levels.size())) return nullptr;
  return levels[level].c_str();
}

bool QMXBuf::columnTypeIsFactor(int col) const {
  return !badColumn(col) && schema_[col].type == QMXColumnType::Factor;
}

bool QMXBuf::columnTypeIsString(int col) const {
  return !badColumn(col) && schema_[col].type == QMXColumnType::String;
}

const char* QMXBuf::mapDoubleToLevel(int col, double x) const {
  if (badColumn(col) || std::isnan(x)) return nullptr;
  const auto& levels = schema_[col].levels;
  if (x < 0 || x >= static_cast<double>(levels.size()) || x != std::floor(x)) return nullptr;
  return levels[static_cast<std::size_t>(x)].c_str();
}

void QMXBuf::setNumColumns(int n) {
  schema_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  block_.reset(schema_);
  start_ = 0;
}

void QMXBuf::setColumnName(int col, const char* name) {
  if (badColumn(col)) return;
  schema_[col].name = name ? name : "";
}

void QMXBuf::setColumnType(int col, QMXColumnType type) {
  if (badColumn(col)) return;
  schema_[col].type = type;
  if (type != QMXColumnType::Factor) schema_[col].levels.clear();
}

long QMXBuf::findLevel(int col, const char* name) const {
  if (badColumn(col) || !name) return -1;
  const auto& levels = schema_[col].levels;
  for (std::size_t i = 0; i < levels.size(); ++i)
    if (levels[i] == name) return static_cast<long>(i);
  return -1;
}

long QMXBuf::addLevel(int col, const char* name) {
  if (badColumn(col) || !name) return -1;
  const long found = findLevel(col, name);
  if (found >= 0) return found;
  schema_[col].levels.emplace_back(name);
  return static_cast<long>(schema_[col].levels.size()) - 1;
}

void QMXBuf::setLevels(int col, std::vector<std::string> levels) {
  if (badColumn(col)) return;
  schema_[col].levels = std::move(levels);
}

void QMXBuf::setSchema(QMXSchema schema) {
  schema_ = std::move(schema);
  block_.reset(schema_);
  start_ = 0;
}

void QMXBuf::setNumRows(long capacityRows) {
  capacity_ = capacityRows;
}

void QMXBuf::compact() {
  if (start_ == 0) return;
  const auto drop = static_cast<std::ptrdiff_t>(start_);
  for (auto& column : block_.numbers)
    if (!column.empty()) column.erase(column.begin(), column.begin() + drop);
  for (auto& column : block_.texts)
    if (!column.empty()) column.erase(column.begin(), column.begin() + drop);
  for (auto& column : block_.missingText)
    if (!column.empty()) column.erase(column.begin(), column.begin() + drop);
  block_.rows -= start_;
  start_ = 0;
}

void QMXBuf::clearRows() {
  block_.clear();
  start_ = 0;
}
