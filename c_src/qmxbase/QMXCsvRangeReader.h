// Parses the data records of a CSV file on several threads, in byte ranges (QMXCsvRange),
// and hands the ranges out in file order, each checked against the one before: a range
// whose guessed start was wrong (inside a quoted field) or that stopped at an error is
// parsed again on the caller's thread from where the range before ended, so records, lines
// and the first error are those of one scanner reading the file from the start. At most a
// fixed number of ranges are parsed ahead of the caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qmxbase/QMXCsvOptions.h"
#include "qmxbase/QMXCsvRange.h"
#include "qmxbase/QMXCsvScanner.h"

class QMXCsvRangeReader {
 public:
  // The records of `path` from `dataOffset` (line `dataLine`) to `fileBytes`, in ranges of
  // options.rangeBytes, on `threads` threads.
  QMXCsvRangeReader(const std::string& path, const QMXCsvOptions& options, std::int64_t dataOffset,
                    std::int64_t dataLine, std::int64_t fileBytes, unsigned threads);
  ~QMXCsvRangeReader();
  QMXCsvRangeReader(const QMXCsvRangeReader&) = delete;
  QMXCsvRangeReader& operator=(const QMXCsvRangeReader&) = delete;

  // The next range, its lines made file lines by adding `lineOffset`; nullptr after the last.
  // Valid until the next call.
  const QMXCsvRange* next(std::int64_t& lineOffset);

 private:
  struct Slot {
    std::int64_t index = -1;
    bool ready = false;
    QMXCsvRange range;
  };
  void work();
  void parse(QMXCsvScanner& scanner, std::int64_t index, QMXCsvRange& out) const;

  std::string path_;
  QMXCsvOptions options_;
  std::int64_t dataOffset_, dataLine_, fileBytes_, rangeBytes_, ranges_;
  std::vector<Slot> slots_;             // range k in slot k % size
  std::unique_ptr<QMXCsvScanner> own_;  // the caller's, for ranges parsed again

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t dispatched_ = 0;  // ranges given to threads
  std::int64_t taken_ = 0;       // ranges handed out
  std::int64_t released_ = 0;    // ranges handed out and done with
  bool stop_ = false;
  std::vector<std::thread> threads_;

  std::int64_t expected_ = -1, expectedLine_ = 0;  // where the next range must start
};
