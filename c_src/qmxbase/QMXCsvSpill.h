// The cells of a CSV file as the metadata pass parsed them, kept in a temporary binary file
// so that later passes read blocks of 8-byte cells instead of parsing the text again.
//
// Layout: blocks of rowsPerBlock() rows, each column-major (column c, row r of the block at
// c * rowsPerBlock() + r); the last block is written whole. A cell is the bits of the number
// the field reads as, or a tag in the signalling-NaN range (which parsing never yields):
// missing, the index of the field's text in the column's list of distinct texts (while the
// column has at most maxLevels of them), or "a text not kept". From these a reader serves
// the column as whatever type it is finally given (QMXCsvSpillReader).
//
// The file is unlinked as soon as it is created: it lives only as an open descriptor, so it
// goes away at exit, on any error and on any signal. Its directory is QMXSpillDirectory().
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvOptions.h"
#include "qmxbase/QMXReadSettings.h"

namespace qmxspill {
constexpr std::uint64_t kTag = 0x7FF4'0000'0000'0000;
constexpr std::uint64_t kTagMask = 0xFFFF'0000'0000'0000;
constexpr std::uint32_t kMissing = 0xFFFF'FFFF;
constexpr std::uint32_t kTextNotKept = 0xFFFF'FFFE;
constexpr std::uint32_t kMostTexts = 0xFFFF'FFF0;  // text indexes stay below this

inline std::uint64_t numberCell(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  // A NaN payload in the tag range (only from an exotic "nan(...)" text) reads as NaN.
  return (bits & kTagMask) == kTag ? 0x7FF8'0000'0000'0000 : bits;
}
inline std::uint64_t tagCell(std::uint32_t payload) {
  return kTag | payload;
}
inline bool isTag(std::uint64_t cell) {
  return (cell & kTagMask) == kTag;
}
}  // namespace qmxspill

class QMXCsvSpill {
 public:
  // Creates the file for `columns` columns of `path` read with `options`. Refuses (throws
  // QMXDataError naming the directory) when the directory cannot take a file or has less
  // free space than `estimate` bytes.
  QMXCsvSpill(const std::string& path, const QMXCsvOptions& options, std::size_t columns,
              std::uint64_t estimate);
  ~QMXCsvSpill();
  QMXCsvSpill(const QMXCsvSpill&) = delete;
  QMXCsvSpill& operator=(const QMXCsvSpill&) = delete;

  // Writing, row by row: put every column's cell, then endRow. Throws QMXDataError naming
  // the directory when a write fails (a full disk).
  void put(std::size_t colIdx, std::uint64_t cell) { block_[colIdx * rowsPerBlock_ + row_] = cell; }
  void endRow() {
    ++rows_;
    if (++row_ == rowsPerBlock_) flush();
  }
  // After the last row: the distinct texts of each column (by index) and whether it had
  // more texts than were kept.
  void finish(std::vector<std::vector<std::string>> texts, std::vector<bool> textsDropped);

  // Reading.
  bool matches(const std::string& path, const QMXCsvOptions& options) const;
  std::int64_t rows() const { return rows_; }
  std::size_t columns() const { return columns_; }
  std::size_t rowsPerBlock() const { return rowsPerBlock_; }
  const std::vector<std::string>& texts(std::size_t colIdx) const { return texts_[colIdx]; }
  bool textsDropped(std::size_t colIdx) const { return textsDropped_[colIdx]; }
  // Block `blockIdx` into `out` (resized to columns() * rowsPerBlock()).
  void readBlock(std::int64_t blockIdx, std::vector<std::uint64_t>& out) const;

 private:
  void flush();
  [[noreturn]] void fail(const char* what, int error) const;

  std::string path_;
  char separator_, quote_;
  std::vector<std::string> naStrings_;
  std::string directory_;
  int fd_ = -1;
  std::size_t columns_;
  std::size_t rowsPerBlock_;
  std::vector<std::uint64_t> block_;
  std::size_t row_ = 0;  // rows in block_
  std::int64_t rows_ = 0;
  std::vector<std::vector<std::string>> texts_;
  std::vector<bool> textsDropped_;
};
