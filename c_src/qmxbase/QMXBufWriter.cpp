#include "qmxbase/QMXBufWriter.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "qmxbase/QMXBufReader.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string numberText(double x) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, x);
  return ec == std::errc() ? std::string(text, end) : std::string("NaN");
}

// Appends row `row` of `from` to `to` (both shaped for the same schema).
void appendRow(const QMXRowBlock& from, std::size_t row, QMXRowBlock& to) {
  for (std::size_t col = 0; col < from.numbers.size(); ++col) {
    if (!from.numbers[col].empty()) to.numbers[col].push_back(from.numbers[col][row]);
    if (!from.texts[col].empty()) {
      to.texts[col].push_back(from.texts[col][row]);
      to.missingText[col].push_back(from.missingText[col][row]);
    }
  }
  ++to.rows;
}

}  // namespace

QMXBufWriter::QMXBufWriter(QMXBuf* buf) {
  setBuf(buf);
}

void QMXBufWriter::setBuf(QMXBuf* buf) {
  buf_ = buf;
  resetRows();
}

void QMXBufWriter::resetRows() {
  pending_.clear();
  if (!buf_) return;
  const QMXSchema& schema = buf_->schema();
  pending_.reset(schema);
  QMXRowBlock& block = buf_->block();
  block.reset(schema);
  const auto rows = static_cast<std::size_t>(buf_->getNumRows() > 0 ? buf_->getNumRows() : 0);
  for (std::size_t col = 0; col < schema.size(); ++col) {
    if (schema[col].type == QMXColumnType::String) {
      block.texts[col].assign(rows, std::string());
      block.missingText[col].assign(rows, true);
    } else {
      block.numbers[col].assign(rows, kNaN);
    }
  }
  block.rows = rows;
  buf_->setWindowStart(0);
}

void QMXBufWriter::setMissingRow(std::size_t row) {
  QMXRowBlock& block = buf_->block();
  for (std::size_t col = 0; col < block.numbers.size(); ++col) {
    if (!block.numbers[col].empty()) block.numbers[col][row] = kNaN;
    if (!block.texts[col].empty()) {
      block.texts[col][row].clear();
      block.missingText[col][row] = true;
    }
  }
}

bool QMXBufWriter::writable(long row, int col) {
  if (!buf_ || buf_->badColumn(col)) return false;
  const long rows = static_cast<long>(buf_->block().rows);
  if (row < 0 || row >= rows) {
    buf_->noteAccessProblem("row index " + std::to_string(row) + " is outside the " +
                            buf_->label() + " (" + std::to_string(rows) + " rows)");
    return false;
  }
  return true;
}

void QMXBufWriter::setDouble(long row, int col, double x) {
  if (!writable(row, col)) return;
  QMXRowBlock& block = buf_->block();
  switch (buf_->schema()[col].type) {
    case QMXColumnType::Double:
      block.numbers[col][row] = x;
      return;
    case QMXColumnType::Factor:
      if (std::isnan(x)) {
        block.numbers[col][row] = kNaN;
      } else if (x >= 0 && x == std::floor(x) && x < static_cast<double>(buf_->getNumLevels(col))) {
        block.numbers[col][row] = x;
      } else {
        buf_->noteAccessProblem("setDouble: " + numberText(x) + " is not a level of column " +
                                std::to_string(col) + " of the " + buf_->label() + " (" +
                                std::to_string(buf_->getNumLevels(col)) + " levels)");
      }
      return;
    case QMXColumnType::String: {
      if (std::isnan(x)) {
        setString(row, col, nullptr);
        return;
      }
      setString(row, col, numberText(x).c_str());
      return;
    }
  }
}

void QMXBufWriter::setLevelNum(long row, int col, long level) {
  if (!writable(row, col)) return;
  if (buf_->schema()[col].type != QMXColumnType::Factor) {
    buf_->noteAccessProblem("setLevelNum: column " + std::to_string(col) + " of the " +
                            buf_->label() + " is not a factor column");
    return;
  }
  if (level < 0) {
    buf_->block().numbers[col][row] = kNaN;
    return;
  }
  setDouble(row, col, static_cast<double>(level));
}

void QMXBufWriter::setString(long row, int col, const char* text) {
  if (!writable(row, col)) return;
  QMXRowBlock& block = buf_->block();
  switch (buf_->schema()[col].type) {
    case QMXColumnType::String:
      block.texts[col][row] = text ? text : "";
      block.missingText[col][row] = text == nullptr;
      return;
    case QMXColumnType::Factor:
      setConvertFactor(row, col, text);
      return;
    case QMXColumnType::Double:
      buf_->noteAccessProblem("setString: column " + std::to_string(col) + " of the " +
                              buf_->label() + " is a double column");
      return;
  }
}

void QMXBufWriter::setConvertFactor(long row, int col, const char* levelName) {
  if (!writable(row, col)) return;
  switch (buf_->schema()[col].type) {
    case QMXColumnType::Factor:
      if (!levelName) {
        buf_->block().numbers[col][row] = kNaN;
      } else {
        buf_->block().numbers[col][row] = static_cast<double>(buf_->addLevel(col, levelName));
      }
      return;
    case QMXColumnType::String:
      setString(row, col, levelName);
      return;
    case QMXColumnType::Double:
      buf_->noteAccessProblem("setConvertFactor: column " + std::to_string(col) + " of the " +
                              buf_->label() + " is a double column");
      return;
  }
}

void QMXBufWriter::copyBufData(long row, int col, const QMXBufReader& from, long fromRow,
                               int fromCol) {
  const QMXBuf* source = from.getBuf();
  if (!source || source->badColumn(fromCol) || !writable(row, col)) return;
  switch (source->schema()[fromCol].type) {
    case QMXColumnType::Double:
      setDouble(row, col, from.getDouble(fromRow, fromCol));
      return;
    case QMXColumnType::Factor:
      if (buf_->schema()[col].type == QMXColumnType::Double)
        setDouble(row, col, from.getDouble(fromRow, fromCol));
      else
        setConvertFactor(row, col, from.getString(fromRow, fromCol));
      return;
    case QMXColumnType::String:
      if (buf_->schema()[col].type == QMXColumnType::Double)
        setDouble(row, col, kNaN);
      else
        setConvertFactor(row, col, from.getString(fromRow, fromCol));
      return;
  }
}

void QMXBufWriter::releaseRows(long rows) {
  if (!buf_ || rows <= 0) return;
  QMXRowBlock& block = buf_->block();
  const long capacity = static_cast<long>(block.rows);
  if (rows > capacity) {
    buf_->noteAccessProblem("cannot release " + std::to_string(rows) + " rows of the " +
                            buf_->label() + ": it holds " + std::to_string(capacity) + " rows");
    rows = capacity;
  }
  const auto released = static_cast<std::size_t>(rows);
  for (std::size_t row = 0; row < released; ++row)
    appendRow(block, row, pending_);
  // Later rows move down; the freed rows at the end start missing.
  for (std::size_t row = released; row < block.rows; ++row) {
    for (std::size_t col = 0; col < block.numbers.size(); ++col) {
      if (!block.numbers[col].empty()) block.numbers[col][row - released] = block.numbers[col][row];
      if (!block.texts[col].empty()) {
        block.texts[col][row - released] = std::move(block.texts[col][row]);
        block.missingText[col][row - released] = block.missingText[col][row];
      }
    }
  }
  for (std::size_t row = block.rows - released; row < block.rows; ++row)
    setMissingRow(row);
  releasedTotal_ += rows;
}
