// The data records of a CSV file, for the metadata pass and QMXCsvSource: one scanner
// (QMXCsvScanner) on one thread, or, with more threads (QMXCsvOptions::threads) and a
// regular file, ranges parsed ahead on several (QMXCsvRangeReader), with the same records,
// lines and errors. Besides the fields, it tells for each whether it is a missing marker and
// the number it reads as (QMXCsvParseNumber), worked out on the parsing threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qmxbase/QMXCsvOptions.h"
#include "qmxbase/QMXCsvRange.h"
#include "qmxbase/QMXCsvScanner.h"

class QMXCsvRangeReader;

class QMXCsvRecords {
 public:
  // Opens `path` and reads the header (QMXCsvScanner's errors).
  QMXCsvRecords(const std::string& path, const QMXCsvOptions& options);
  ~QMXCsvRecords();
  QMXCsvRecords(const QMXCsvRecords&) = delete;
  QMXCsvRecords& operator=(const QMXCsvRecords&) = delete;

  const std::vector<std::string>& header() const { return scanner_.header(); }
  // As QMXCsvScanner::next, fields and line.
  bool next();
  const std::vector<std::string_view>& fields() const {
    return ranges_ ? fields_ : scanner_.fields();
  }
  std::int64_t line() const { return ranges_ ? line_ : scanner_.line(); }
  std::string where() const;

  // Whether field `colIdx` of the current record is a missing marker; whether it reads as a
  // number (then `value`).
  bool missing(std::size_t colIdx) const {
    return cells_ ? cells_[colIdx].missing : scanner_.isMissing(scanner_.fields()[colIdx]);
  }
  bool number(std::size_t colIdx, double& value) const;

  void rewind();
  std::uint64_t fileBytes() const { return scanner_.fileBytes(); }
  bool parallel() const { return threads_ > 1; }

 private:
  void start();

  std::string path_;
  QMXCsvOptions options_;
  QMXCsvScanner scanner_;  // the header; the records when on one thread
  unsigned threads_ = 1;
  std::unique_ptr<QMXCsvRangeReader> ranges_;
  const QMXCsvRange* range_ = nullptr;
  std::size_t row_ = 0;  // the next record of range_
  std::int64_t lineOffset_ = 0;
  std::vector<std::string_view> fields_;
  const QMXCsvCell* cells_ = nullptr;
  std::int64_t line_ = 0;
};
