#include "qmxbase/QMXMemoryTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "qmxbase/QMXDataError.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

QMXMemoryTable::QMXMemoryTable(QMXSchema schema) : schema_(std::move(schema)) {
  block_.reset(schema_);
}

void QMXMemoryTable::addColumn(QMXColumnInfo info, std::size_t rows) {
  if (!schema_.empty() && rows != block_.rows)
    throw QMXDataError("memory table: column " + info.name + " has " + std::to_string(rows) +
                       " rows, the table has " + std::to_string(block_.rows));
  schema_.push_back(std::move(info));
  block_.numbers.emplace_back();
  block_.texts.emplace_back();
  block_.missingText.emplace_back();
  block_.rows = rows;
}

QMXMemoryTable& QMXMemoryTable::addDoubleColumn(std::string name, std::vector<double> values) {
  const std::size_t rows = values.size();
  addColumn(QMXColumnInfo{std::move(name), QMXColumnType::Double, {}}, rows);
  block_.numbers.back() = std::move(values);
  return *this;
}

QMXMemoryTable& QMXMemoryTable::addFactorColumn(std::string name,
                                                const std::vector<std::string>& values,
                                                std::vector<std::string> levels) {
  const bool fixedLevels = !levels.empty();
  std::vector<double> codes;
  codes.reserve(values.size());
  for (const auto& value : values) {
    if (value.empty()) {
      codes.push_back(kNaN);
      continue;
    }
    auto found = std::find(levels.begin(), levels.end(), value);
    if (found == levels.end()) {
      if (fixedLevels)
        throw QMXDataError("memory table: '" + value + "' is not a level of column " + name);
      levels.push_back(value);
      found = levels.end() - 1;
    }
    codes.push_back(static_cast<double>(found - levels.begin()));
  }
  addColumn(QMXColumnInfo{std::move(name), QMXColumnType::Factor, std::move(levels)},
            values.size());
  block_.numbers.back() = std::move(codes);
  return *this;
}

QMXMemoryTable& QMXMemoryTable::addStringColumn(std::string name, std::vector<std::string> values) {
  const std::size_t rows = values.size();
  addColumn(QMXColumnInfo{std::move(name), QMXColumnType::String, {}}, rows);
  block_.missingText.back().assign(rows, false);
  block_.texts.back() = std::move(values);
  return *this;
}

int QMXMemoryTable::columnIndex(const std::string& name) const {
  for (std::size_t col = 0; col < schema_.size(); ++col)
    if (schema_[col].name == name) return static_cast<int>(col);
  return -1;
}

double QMXMemoryTable::number(std::size_t row, int col) const {
  if (col < 0 || col >= numColumns() || row >= block_.rows) return kNaN;
  const auto& column = block_.numbers[col];
  return column.empty() ? kNaN : column[row];
}

std::string QMXMemoryTable::text(std::size_t row, int col) const {
  if (col < 0 || col >= numColumns() || row >= block_.rows) return {};
  const QMXColumnInfo& info = schema_[col];
  if (info.type == QMXColumnType::String)
    return block_.missingText[col][row] ? std::string() : block_.texts[col][row];
  const double x = block_.numbers[col][row];
  if (info.type == QMXColumnType::Factor && !std::isnan(x) && x >= 0 &&
      x < static_cast<double>(info.levels.size()))
    return info.levels[static_cast<std::size_t>(x)];
  return {};
}

std::vector<double> QMXMemoryTable::numbers(const std::string& name) const {
  const int col = columnIndex(name);
  if (col < 0) throw QMXDataError("memory table: no column named " + name);
  std::vector<double> out(block_.rows);
  for (std::size_t row = 0; row < block_.rows; ++row)
    out[row] = number(row, col);
  return out;
}

std::vector<std::string> QMXMemoryTable::texts(const std::string& name) const {
  const int col = columnIndex(name);
  if (col < 0) throw QMXDataError("memory table: no column named " + name);
  std::vector<std::string> out(block_.rows);
  for (std::size_t row = 0; row < block_.rows; ++row)
    out[row] = text(row, col);
  return out;
}

void QMXMemoryTable::setSchema(const QMXSchema& schema) {
  if (schema.size() != schema_.size()) {
    schema_ = schema;
    block_.reset(schema_);
    return;
  }
  schema_ = schema;
}

void QMXMemoryTable::appendRows(const QMXRowBlock& from, std::size_t firstRow, std::size_t count) {
  for (std::size_t col = 0; col < schema_.size(); ++col) {
    if (schema_[col].type == QMXColumnType::String) {
      const auto& texts = from.texts[col];
      const auto& missing = from.missingText[col];
      block_.texts[col].insert(block_.texts[col].end(), texts.begin() + firstRow,
                               texts.begin() + firstRow + count);
      block_.missingText[col].insert(block_.missingText[col].end(), missing.begin() + firstRow,
                                     missing.begin() + firstRow + count);
    } else {
      const auto& numbers = from.numbers[col];
      block_.numbers[col].insert(block_.numbers[col].end(), numbers.begin() + firstRow,
                                 numbers.begin() + firstRow + count);
    }
  }
  block_.rows += count;
}

void QMXMemoryTable::clear() {
  block_.clear();
}
