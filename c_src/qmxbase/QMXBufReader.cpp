#include "qmxbase/QMXBufReader.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void QMXBufReader::setRequestRows(long rows) {
  requestRows_ = rows > 0 ? rows : 0;
}

long QMXBufReader::getRowsReady() const {
  return buf_ ? buf_->windowRows() : 0;
}

long QMXBufReader::blockRow(long row, int col) const {
  if (!buf_ || buf_->badColumn(col)) return -1;
  const long ready = getRowsReady();
  if (row < 0 || row >= ready) {
    buf_->noteAccessProblem("row index " + std::to_string(row) +
                            " is outside the ready rows of the " + buf_->label() + " (" +
                            std::to_string(ready) + " rows)");
    return -1;
  }
  return static_cast<long>(buf_->windowStart()) + row;
}

double QMXBufReader::getDouble(long row, int col) const {
  const long at = blockRow(row, col);
  if (at < 0) return kNaN;
  const auto& numbers = buf_->block().numbers[col];
  return numbers.empty() ? kNaN : numbers[at];  // string columns hold no numbers
}

const double* QMXBufReader::readyNumbers(int col) const {
  if (!buf_ || buf_->badColumn(col)) return nullptr;
  const auto& numbers = buf_->block().numbers[col];
  if (numbers.empty()) return nullptr;
  return numbers.data() + buf_->windowStart();
}

long QMXBufReader::getDoubleArray(long firstRow, int col, long count, double* out) const {
  if (count <= 0 || !out) return 0;
  const long first = blockRow(firstRow, col);
  if (first < 0) return 0;
  if (blockRow(firstRow + count - 1, col) < 0) return 0;
  const auto& numbers = buf_->block().numbers[col];
  if (numbers.empty()) {
    for (long i = 0; i < count; ++i)
      out[i] = kNaN;
  } else {
    std::memcpy(out, numbers.data() + first, static_cast<std::size_t>(count) * sizeof(double));
  }
  return count;
}

long QMXBufReader::getLevelNum(long row, int col) const {
  const long at = blockRow(row, col);
  if (at < 0) return -1;
  if (buf_->schema()[col].type != QMXColumnType::Factor) {
    buf_->noteAccessProblem("getLevelNum: column " + std::to_string(col) + " of the " +
                            buf_->label() + " is not a factor column");
    return -1;
  }
  const double code = buf_->block().numbers[col][at];
  return std::isnan(code) ? -1 : static_cast<long>(code);
}

const char* QMXBufReader::getString(long row, int col) const {
  const long at = blockRow(row, col);
  if (at < 0) return nullptr;
  switch (buf_->schema()[col].type) {
    case QMXColumnType::String:
      if (buf_->block().missingText[col][at]) return nullptr;
      return buf_->block().texts[col][at].c_str();
    case QMXColumnType::Factor:
      return buf_->mapDoubleToLevel(col, buf_->block().numbers[col][at]);
    case QMXColumnType::Double:
      break;
  }
  buf_->noteAccessProblem("getString: column " + std::to_string(col) + " of the " + buf_->label() +
                          " is a double column");
  return nullptr;
}

void QMXBufReader::releaseRows(long rows) {
  if (!buf_ || rows <= 0) return;
  const long ready = getRowsReady();
  if (rows > ready) {
    buf_->noteAccessProblem("cannot release " + std::to_string(rows) + " rows of the " +
                            buf_->label() + ": only " + std::to_string(ready) + " are ready");
    rows = ready;
  }
  buf_->setWindowStart(buf_->windowStart() + static_cast<std::size_t>(rows));
  releasedTotal_ += rows;
}

void QMXBufReader::releaseAll() {
  releaseRows(getRowsReady());
}

std::int64_t QMXBufReader::getChunkPosition() const {
  return delivered_ - getRowsReady();
}

void QMXBufReader::setChunkPosition(std::int64_t position) {
  if (position != 0) {
    if (buf_)
      buf_->noteAccessProblem("setChunkPosition(" + std::to_string(position) + ") on the " +
                              buf_->label() + ": only 0 (a new pass) is supported");
    return;
  }
  if (buf_) buf_->clearRows();
  eof_ = false;
  delivered_ = 0;
  rewindPending_ = true;
  ++rewinds_;
}

void QMXBufReader::completeRewind() {
  rewindPending_ = false;
  eof_ = false;
  delivered_ = 0;
  if (buf_) buf_->clearRows();
}
