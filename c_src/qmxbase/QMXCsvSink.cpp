#include "qmxbase/QMXCsvSink.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXNumberText.h"
#include "qmxbase/QMXReadSettings.h"

namespace {

constexpr std::size_t kFlushBytes = std::size_t{1} << 20;

// Rows [first, first + count) of `block`, as a block of their own.
QMXRowBlock copyRows(const QMXSchema& schema, const QMXRowBlock& block, std::size_t first,
                     std::size_t count) {
  QMXRowBlock out;
  out.reset(schema);
  out.rows = count;
  for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx) {
    const auto range = [&](const auto& values) {
      return std::vector(values.begin() + static_cast<std::ptrdiff_t>(first),
                         values.begin() + static_cast<std::ptrdiff_t>(first + count));
    };
    if (schema[colIdx].type == QMXColumnType::String) {
      out.texts[colIdx] = range(block.texts[colIdx]);
      out.missingText[colIdx] = range(block.missingText[colIdx]);
    } else {
      out.numbers[colIdx] = range(block.numbers[colIdx]);
    }
  }
  return out;
}

// Whether rows of schema a are written as those of b: the same types and levels.
bool sameFormat(const QMXSchema& a, const QMXSchema& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t colIdx = 0; colIdx < a.size(); ++colIdx)
    if (a[colIdx].type != b[colIdx].type || a[colIdx].levels != b[colIdx].levels) return false;
  return true;
}

std::unique_ptr<QMXOrderedWorker> formatWorker() {
  return QMXReadThreads() >= 2 ? std::make_unique<QMXOrderedWorker>(4) : nullptr;
}

}  // namespace

QMXCsvSink::QMXCsvSink(std::string path, char separator)
    : path_(std::move(path)), tempPath_(path_ + ".tmp"), separator_(separator) {
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (file_ == nullptr)
    throw QMXDataError("cannot create " + tempPath_ + ": " + std::strerror(errno));
  pending_.reserve(kFlushBytes + 4096);
  worker_ = formatWorker();
}

QMXCsvSink::QMXCsvSink(std::FILE* file, std::string name, char separator)
    : path_(name),
      tempPath_(std::move(name)),
      separator_(separator),
      file_(file),
      ownsFile_(false) {
  pending_.reserve(kFlushBytes + 4096);
  worker_ = formatWorker();
}

QMXCsvSink::~QMXCsvSink() {
  if (!committed_) closeAndRemove();
}

void QMXCsvSink::closeAndRemove() noexcept {
  worker_.reset();  // its rows are dropped
  if (!ownsFile_) {
    file_ = nullptr;
    return;
  }
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  std::remove(tempPath_.c_str());
}

void QMXCsvSink::failWrite(int error) const {
  throw QMXDataError("cannot write " + tempPath_ + ": " + std::strerror(error));
}

void QMXCsvSink::begin(const QMXSchema& schema) {
  schema_ = schema;
  for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx) {
    if (colIdx > 0) pending_ += separator_;
    appendText(schema[colIdx].name);
  }
  pending_ += '\n';
}

void QMXCsvSink::appendText(std::string_view text) {
  const char specials[] = {separator_, '"', '\n', '\r', '\0'};
  if (text.find_first_of(specials) == std::string_view::npos) {
    pending_ += text;
    return;
  }
  pending_ += '"';
  for (char c : text) {
    if (c == '"') pending_ += '"';
    pending_ += c;
  }
  pending_ += '"';
}

// Formats straight into the pending text: room for the longest number, then the text cut to
// what was written.
void QMXCsvSink::appendNumber(double x) {
  const std::size_t size = pending_.size();
  pending_.resize(size + kQMXNumberTextBytes);
  char* const first = pending_.data() + size;
  pending_.resize(static_cast<std::size_t>(QMXWriteCsvNumber(first, x) - pending_.data()));
}

void QMXCsvSink::write(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
                       std::size_t count) {
  if (file_ == nullptr) throw QMXDataError(tempPath_ + ": write after commit or abandon");
  checkLevels(schema, block, firstRow, count);
  try {
    // The rows' schema may differ from the header's (a column's type known only then).
    if (!sameFormat(schema, schema_)) {
      if (worker_) worker_->drain();
      schema_ = schema;
    }
    if (!worker_) {
      format(block, firstRow, count);
      return;
    }
    auto rows = std::make_shared<const QMXRowBlock>(copyRows(schema_, block, firstRow, count));
    worker_->submit([this, rows] { format(*rows, 0, rows->rows); });
  } catch (...) {
    closeAndRemove();
    throw;
  }
}

// Every factor cell names one of its column's levels (or is missing).
void QMXCsvSink::checkLevels(const QMXSchema& schema, const QMXRowBlock& block,
                             std::size_t firstRow, std::size_t count) const {
  for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx) {
    const QMXColumnInfo& column = schema[colIdx];
    if (column.type != QMXColumnType::Factor) continue;
    const auto levels = static_cast<double>(column.levels.size());
    for (std::size_t rowIdx = firstRow; rowIdx < firstRow + count; ++rowIdx) {
      const double code = block.numbers[colIdx][rowIdx];
      if (!std::isnan(code) && (code < 0 || code >= levels))
        throw QMXDataError(tempPath_ + ": column '" + column.name + "': level number " +
                           std::to_string(static_cast<long long>(code)) + " out of range (" +
                           std::to_string(column.levels.size()) + " levels)");
    }
  }
}

// The rows as text into the pending text, handed to the file by the megabyte. On the
// worker's thread when there is one: only it touches the pending text and the file then.
void QMXCsvSink::format(const QMXRowBlock& block, std::size_t firstRow, std::size_t count) {
  const QMXSchema& schema = schema_;
  for (std::size_t rowIdx = firstRow; rowIdx < firstRow + count; ++rowIdx) {
    for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx) {
      if (colIdx > 0) pending_ += separator_;
      const QMXColumnInfo& column = schema[colIdx];
      switch (column.type) {
        case QMXColumnType::Double:
          appendNumber(block.numbers[colIdx][rowIdx]);
          break;
        case QMXColumnType::Factor: {
          const double code = block.numbers[colIdx][rowIdx];  // checked by `write`
          if (std::isnan(code))
            pending_ += "NA";
          else
            appendText(column.levels[static_cast<std::size_t>(code)]);
          break;
        }
        case QMXColumnType::String:
          if (block.missingText[colIdx][rowIdx])
            pending_ += "NA";
          else
            appendText(block.texts[colIdx][rowIdx]);
          break;
      }
    }
    pending_ += '\n';
    if (pending_.size() >= kFlushBytes) flush();
  }
}

void QMXCsvSink::flush() {
  if (pending_.empty()) return;
  if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) failWrite(errno);
  pending_.clear();
}

void QMXCsvSink::commit() {
  if (file_ == nullptr) throw QMXDataError(tempPath_ + ": commit after commit or abandon");
  try {
    if (worker_) worker_->drain();
    worker_.reset();
    flush();
    if (std::fflush(file_) != 0) failWrite(errno);
  } catch (...) {
    closeAndRemove();
    throw;
  }
  if (!ownsFile_) {
    file_ = nullptr;
    committed_ = true;
    return;
  }
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    const int error = errno;
    std::remove(tempPath_.c_str());
    throw QMXDataError("cannot write " + tempPath_ + ": " + std::strerror(error));
  }
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    std::remove(tempPath_.c_str());
    throw QMXDataError("cannot rename " + tempPath_ + " to " + path_ + ": " + std::strerror(error));
  }
  committed_ = true;
}

void QMXCsvSink::abandon() {
  closeAndRemove();
  committed_ = false;
}
