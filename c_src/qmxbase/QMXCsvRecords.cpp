#include "qmxbase/QMXCsvRecords.h"

#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvRangeReader.h"
#include "qmxbase/QMXReadSettings.h"
#include "qmxbase/QMXSeekablePath.h"

QMXCsvRecords::QMXCsvRecords(const std::string& path, const QMXCsvOptions& options)
    : path_(path), options_(options), scanner_(path, options) {
  threads_ = options.threads > 0 ? options.threads : QMXReadThreads();
  // A stream or gzip data (read from a temporary copy) and a file of one range: one thread.
  const auto bytes = static_cast<std::int64_t>(fileBytes());
  if (threads_ > 1 &&
      (QMXSeekablePath(path) != path ||
       bytes - scanner_.dataOffset() <= static_cast<std::int64_t>(options.rangeBytes)))
    threads_ = 1;
  if (threads_ > 1) start();
}

QMXCsvRecords::~QMXCsvRecords() = default;

void QMXCsvRecords::start() {
  range_ = nullptr;
  row_ = 0;
  cells_ = nullptr;
  ranges_.reset();
  ranges_ = std::make_unique<QMXCsvRangeReader>(path_, options_, scanner_.dataOffset(),
                                                scanner_.dataLine(),
                                                static_cast<std::int64_t>(fileBytes()), threads_);
  fields_.resize(header().size());
}

std::string QMXCsvRecords::where() const {
  return ranges_ ? path_ + ":" + std::to_string(line_) + ": " : scanner_.where();
}

bool QMXCsvRecords::next() {
  if (!ranges_) return scanner_.next();
  while (range_ == nullptr || row_ == range_->rows()) {
    if (range_ != nullptr && range_->error) std::rethrow_exception(range_->error);
    range_ = ranges_->next(lineOffset_);
    row_ = 0;
    if (range_ == nullptr) {
      cells_ = nullptr;
      return false;
    }
  }
  const std::size_t columns = range_->columns;
  const std::size_t first = row_ * columns;
  const char* const text = range_->text.data();
  std::uint32_t begin = first == 0 ? 0 : range_->fieldEnds[first - 1];
  for (std::size_t colIdx = 0; colIdx < columns; ++colIdx) {
    const std::uint32_t end = range_->fieldEnds[first + colIdx];
    fields_[colIdx] = std::string_view(text + begin, end - begin);
    begin = end;
  }
  cells_ = range_->cells.data() + first;
  line_ = range_->lines[row_] + lineOffset_;
  ++row_;
  return true;
}

bool QMXCsvRecords::number(std::size_t colIdx, double& value) const {
  if (cells_ == nullptr) return QMXCsvParseNumber(scanner_.fields()[colIdx], value);
  value = cells_[colIdx].value;
  return cells_[colIdx].number;
}

void QMXCsvRecords::rewind() {
  scanner_.rewind();
  if (ranges_) start();
}
