// A streaming CSV tokenizer. It reads the file in large blocks with plain POSIX I/O and
// never holds more than one block plus the longest record. Quoting follows RFC 4180:
// a field that starts with the quote character may contain separators, line ends and
// doubled quotes. As in R's read.csv, a line ends with LF, CRLF or a lone CR (mixed freely),
// and a line end inside a quoted field reads as LF. A UTF-8 byte order mark at the start
// is skipped, the first record is the header, and empty physical lines are skipped. Other
// bytes (NUL, invalid UTF-8) pass through unchanged. Fields are views into the block; only
// quoted fields with doubled quotes or a CR are rewritten, in place, so the hot path
// allocates nothing. A file that is not a regular file (a FIFO, "-") is read from a
// temporary copy (QMXSeekablePath), so it can be read again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qmxbase/QMXCsvOptions.h"

class QMXCsvScanner {
 public:
  // Opens `path` and reads the header. Throws QMXDataError: "cannot open <path>: <reason>",
  // "<path>: file is empty", and those of next().
  QMXCsvScanner(std::string path, const QMXCsvOptions& options);
  // The same, for reading ranges of a file (seekRange) whose pass another scanner counts.
  enum RangesTag { kRanges };
  QMXCsvScanner(std::string path, const QMXCsvOptions& options, RangesTag);
  ~QMXCsvScanner();
  QMXCsvScanner(const QMXCsvScanner&) = delete;
  QMXCsvScanner& operator=(const QMXCsvScanner&) = delete;

  const std::vector<std::string>& header() const { return header_; }
  const std::string& path() const { return path_; }

  // Reads the next data record; false at the end of the file. The fields stay valid until
  // the next call. Throws QMXDataError for a record whose field count differs from the
  // header's, a quoted field left open at the end of the file, text after a closing quote,
  // a field or record longer than the limits (QMXCsvOptions), or "not enough memory".
  bool next();
  const std::vector<std::string_view>& fields() const { return fields_; }
  // The 1-based physical line on which the current record starts.
  std::int64_t line() const { return recordLine_; }

  // Goes back to the first data record.
  void rewind();

  // Reads only the records that start in the bytes [start, end) of the file, for parsing a
  // file in ranges (QMXCsvRangeParser): with `skipLine` the first record read is the one
  // after the first line end at or after `start` (`start` may then be inside a record);
  // lines count from `line`. next() is false at the first record that starts at or after
  // `end`; offset() and nextLine() are then where it starts.
  void seekRange(std::int64_t start, std::int64_t end, std::int64_t line, bool skipLine);
  // The file offset of the current record's first byte, and of the next byte to parse.
  std::int64_t recordOffset() const { return recordOffset_; }
  std::int64_t offset() const { return bufOffset_ + static_cast<std::int64_t>(begin_); }
  // The line of offset().
  std::int64_t nextLine() const { return line_; }
  // The offset and line of the first data record (after the header).
  std::int64_t dataOffset() const { return dataOffset_; }
  std::int64_t dataLine() const { return dataLine_; }

  // The size of the file read (0 when unknown).
  std::uint64_t fileBytes() const;
  // Passes over a text started in this process (scanners opened and rewinds), for tests
  // that count how often a command reads its data.
  static std::int64_t passesStarted();

  // True when `text` is one of the missing markers. A field of blanks only counts as
  // the empty marker.
  bool isMissing(std::string_view text) const {
    // Most fields start with a byte that starts no marker and is not a blank.
    return (text.empty() || markerStart_[static_cast<unsigned char>(text.front())]) &&
           isMarker(text);
  }

  // "<path>:<line>: " for messages about the current record.
  std::string where() const;

 private:
  QMXCsvScanner(std::string path, const QMXCsvOptions& options, bool countPass);
  enum class Parse { Done, NeedMore };
  void seekTo(std::int64_t offset);
  Parse parseRecord();
  const char* fieldEnd(const char* p, const char* end) const;
  bool isMarker(std::string_view text) const;
  Parse needMore(std::ptrdiff_t partial);
  void checkSizes(std::size_t partial, std::size_t recordBytes) const;
  void refill();
  void finishFields();
  void readDecimalMarks();
  [[noreturn]] void fail(std::int64_t line, const std::string& what) const;

  std::string path_;
  char separator_;
  char quote_;
  char decimal_;
  std::vector<std::string> naStrings_;
  bool emptyIsMissing_ = false;
  std::array<bool, 256> markerStart_{};  // first bytes of the markers (blanks when "" is one)
  std::size_t maxField_;
  std::size_t maxRecord_;
  int fd_ = -1;

  std::vector<char> buf_;
  std::size_t begin_ = 0;       // next unparsed byte in buf_
  std::size_t end_ = 0;         // end of valid bytes in buf_
  std::int64_t bufOffset_ = 0;  // file offset of buf_[0]
  bool eof_ = false;

  std::int64_t line_ = 1;  // physical line of buf_[begin_]
  std::int64_t recordLine_ = 0;
  std::int64_t recordOffset_ = 0;
  std::int64_t rangeEnd_ = -1;   // seekRange's end; -1: the whole file
  std::int64_t dataOffset_ = 0;  // file offset and line of the first data record
  std::int64_t dataLine_ = 1;

  std::vector<std::string> header_;
  std::vector<std::string_view> fields_;
  std::vector<std::size_t> unescape_;  // quoted fields holding doubled quotes or a CR
};
