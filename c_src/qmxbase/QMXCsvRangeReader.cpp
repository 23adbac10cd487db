#include "qmxbase/QMXCsvRangeReader.h"

#include <algorithm>

namespace {

QMXCsvOptions rangeOptions(QMXCsvOptions options) {
  options.rangeBytes = std::max<std::size_t>(options.rangeBytes, 1);
  return options;
}

}  // namespace

QMXCsvRangeReader::QMXCsvRangeReader(const std::string& path, const QMXCsvOptions& options,
                                     std::int64_t dataOffset, std::int64_t dataLine,
                                     std::int64_t fileBytes, unsigned threads)
    : path_(path),
      options_(rangeOptions(options)),
      dataOffset_(dataOffset),
      dataLine_(dataLine),
      fileBytes_(std::max(fileBytes, dataOffset)),
      rangeBytes_(static_cast<std::int64_t>(options_.rangeBytes)),
      ranges_(
          std::max<std::int64_t>((fileBytes_ - dataOffset_ + rangeBytes_ - 1) / rangeBytes_, 1)),
      slots_(2 * std::max(threads, 1u)),
      expected_(dataOffset),
      expectedLine_(dataLine) {
  threads_.reserve(threads);
  for (unsigned t = 0; t < threads; ++t)
    threads_.emplace_back([this] { work(); });
}

QMXCsvRangeReader::~QMXCsvRangeReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
}

// Range k covers the bytes [dataOffset + k * rangeBytes, + rangeBytes); the last one runs to
// the end of the file (and past it, should the file have grown).
void QMXCsvRangeReader::parse(QMXCsvScanner& scanner, std::int64_t index, QMXCsvRange& out) const {
  const std::int64_t start = dataOffset_ + index * rangeBytes_;
  const std::int64_t end = index + 1 == ranges_ ? INT64_MAX : start + rangeBytes_;
  QMXCsvParseRange(scanner, start, end, dataLine_, index > 0, out);
}

void QMXCsvRangeReader::work() {
  std::unique_ptr<QMXCsvScanner> scanner;
  for (;;) {
    std::int64_t index;
    Slot* slot;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] {
        return stop_ || (dispatched_ < ranges_ &&
                         dispatched_ < released_ + static_cast<std::int64_t>(slots_.size()));
      });
      if (stop_) return;
      index = dispatched_++;
      slot = &slots_[static_cast<std::size_t>(index) % slots_.size()];
      slot->index = index;
      slot->ready = false;
    }
    try {
      if (!scanner)
        scanner = std::make_unique<QMXCsvScanner>(path_, options_, QMXCsvScanner::kRanges);
      parse(*scanner, index, slot->range);
    } catch (...) {
      slot->range.first = -1;  // parsed again by the caller, who meets the error itself
      slot->range.error = std::current_exception();
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      slot->ready = true;
    }
    changed_.notify_all();
  }
}

const QMXCsvRange* QMXCsvRangeReader::next(std::int64_t& lineOffset) {
  Slot* slot;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    released_ = taken_;  // the range handed out last is done with: its slot is free
    changed_.notify_all();
    if (taken_ >= ranges_) return nullptr;
    slot = &slots_[static_cast<std::size_t>(taken_) % slots_.size()];
    changed_.wait(lock, [&] { return slot->index == taken_ && slot->ready; });
  }
  QMXCsvRange& range = slot->range;
  // The first range starts exactly where the data does, with the file's lines.
  const bool exact = taken_ == 0;
  lineOffset = exact ? 0 : expectedLine_ - range.firstLine;
  if (range.error || (!exact && range.first != expected_)) {
    if (!own_) own_ = std::make_unique<QMXCsvScanner>(path_, options_, QMXCsvScanner::kRanges);
    const std::int64_t start = dataOffset_ + taken_ * rangeBytes_;
    const std::int64_t end = taken_ + 1 == ranges_ ? INT64_MAX : start + rangeBytes_;
    QMXCsvParseRange(*own_, expected_, std::max(end, expected_), expectedLine_, false, range);
    lineOffset = 0;
  }
  expected_ = range.next;
  expectedLine_ = range.nextLine + lineOffset;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++taken_;
  }
  return &range;
}
