// Reads the ready rows of an input buffer. Rows are 0-based within the ready window; the
// usable rows of a chunk are min(getRowsReady(), getRequestRows()).
//
// `getEOF()` is true once the source has delivered its last row into the window (ready rows
// may remain). `getChunkPosition()` is the global row number of the first ready row.
// `setChunkPosition(0)` asks for a new pass: the window empties, EOF clears, and the driver
// rewinds the source before the next call; any other position is an error.
// Bad row or column indexes return NaN / -1 / nullptr and note an access problem on the buffer.
#pragma once

#include <cstdint>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXObj.h"

class QMXBufReader : public QMXObj {
 public:
  QMXBufReader() = default;
  explicit QMXBufReader(QMXBuf* buf) : buf_(buf) {}

  void setRequestRows(long rows);
  long getRequestRows() const { return requestRows_; }
  long getRowsReady() const;
  // Double columns: the value; factor columns: the 0-based level as a double (NaN if missing);
  // string columns: NaN.
  double getDouble(long row, int col) const;
  // Copies `count` values of column col starting at ready row firstRow into out (as getDouble);
  // returns the number copied (0 after a bad index).
  long getDoubleArray(long firstRow, int col, long count, double* out) const;
  // The values of column col from ready row 0 on (getRowsReady() of them, as getDouble), read in
  // place; nullptr for a string column or a bad index.
  const double* readyNumbers(int col) const;
  // Factor columns: the level number, getLevelNumNA() (-1) when missing.
  long getLevelNum(long row, int col) const;
  // String columns: the text; factor columns: the level name; nullptr when missing.
  const char* getString(long row, int col) const;
  void releaseRows(long rows);
  void releaseAll();
  bool getEOF() const { return eof_; }
  // Rows in one pass of the source; -1 when unknown.
  std::int64_t getTotalNumRows() const { return totalRows_; }
  std::int64_t getChunkPosition() const;
  void setChunkPosition(std::int64_t position);
  QMXBuf* getBuf() const { return buf_; }

  // Host side.
  void setBuf(QMXBuf* buf) { buf_ = buf; }
  void setEOF(bool eof) { eof_ = eof; }
  void setTotalNumRows(std::int64_t rows) { totalRows_ = rows; }
  // Rows delivered into the window since the start of the pass.
  std::int64_t rowsDelivered() const { return delivered_; }
  void addRowsDelivered(std::int64_t rows) { delivered_ += rows; }
  // True once setChunkPosition(0) was called and the driver has not yet rewound the source.
  bool rewindPending() const { return rewindPending_; }
  // Starts the new pass (after the source was rewound).
  void completeRewind();
  // Counters the driver uses to see progress: rows released and rewinds requested so far.
  std::int64_t releasedTotal() const { return releasedTotal_; }
  std::int64_t rewindCount() const { return rewinds_; }
  // True when the input is over: EOF and no ready rows.
  bool exhausted() const { return eof_ && getRowsReady() == 0; }

 private:
  // Block row of ready row `row`, or -1 (problem noted) when out of range.
  long blockRow(long row, int col) const;

  QMXBuf* buf_ = nullptr;
  long requestRows_ = 0;
  bool eof_ = false;
  std::int64_t totalRows_ = -1;
  std::int64_t delivered_ = 0;
  bool rewindPending_ = false;
  std::int64_t releasedTotal_ = 0;
  std::int64_t rewinds_ = 0;
};
