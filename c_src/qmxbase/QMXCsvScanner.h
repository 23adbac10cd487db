// A streaming CSV tokenizer. It reads the file in large blocks with plain POSIX I/O and
// never holds more than one block plus the longest record. Quoting follows RFC 4180:
// a field that starts with the quote character may contain separators, line ends and
// doubled quotes; records end with LF or CRLF. A UTF-8 byte order mark at the start is
// skipped, the first record is the header, and empty physical lines are skipped (as R's
// read.csv does). Fields are views into the block; only quoted fields with doubled quotes
// are rewritten, in place, so the hot path allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qmxbase/QMXCsvOptions.h"

class QMXCsvScanner {
 public:
  // Opens `path` and reads the header. Throws QMXDataError: "cannot open <path>: <reason>",
  // "<path>: file is empty".
  QMXCsvScanner(std::string path, const QMXCsvOptions& options);
  ~QMXCsvScanner();
  QMXCsvScanner(const QMXCsvScanner&) = delete;
  QMXCsvScanner& operator=(const QMXCsvScanner&) = delete;

  const std::vector<std::string>& header() const { return header_; }
  const std::string& path() const { return path_; }

  // Reads the next data record; false at the end of the file. The fields stay valid until
  // the next call. Throws QMXDataError for a record whose field count differs from the
  // header's, a quoted field left open at the end of the file, or text after a closing quote.
  bool next();
  const std::vector<std::string_view>& fields() const { return fields_; }
  // The 1-based physical line on which the current record starts.
  std::int64_t line() const { return recordLine_; }

  // Goes back to the first data record.
  void rewind();

  // True when `text` is one of the missing markers. A field of blanks only counts as
  // the empty marker.
  bool isMissing(std::string_view text) const;

  // "<path>:<line>: " for messages about the current record.
  std::string where() const;

 private:
  enum class Parse { Done, NeedMore };
  Parse parseRecord();
  void refill();
  void finishFields();
  [[noreturn]] void fail(std::int64_t line, const std::string& what) const;

  std::string path_;
  char separator_;
  char quote_;
  std::vector<std::string> naStrings_;
  bool emptyIsMissing_ = false;
  int fd_ = -1;

  std::vector<char> buf_;
  std::size_t begin_ = 0;       // next unparsed byte in buf_
  std::size_t end_ = 0;         // end of valid bytes in buf_
  std::int64_t bufOffset_ = 0;  // file offset of buf_[0]
  bool eof_ = false;

  std::int64_t line_ = 1;  // physical line of buf_[begin_]
  std::int64_t recordLine_ = 0;
  std::int64_t dataOffset_ = 0;  // file offset and line of the first data record
  std::int64_t dataLine_ = 1;

  std::vector<std::string> header_;
  std::vector<std::string_view> fields_;
  std::vector<std::size_t> unescape_;  // fields holding doubled quotes
};
