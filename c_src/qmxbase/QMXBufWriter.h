// Writes rows of an output buffer. Rows 0..getBuf()->getNumRows()-1 are writable; a new row
// starts all missing. `releaseRows(n)` hands rows 0..n-1 to the host in order (they go to the
// sink after the current execute call returns) and moves any later rows down by n.
// Bad row or column indexes write nothing and note an access problem on the buffer.
#pragma once

#include <cstdint>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXObj.h"
#include "qmxbase/QMXRowBlock.h"

class QMXBufReader;

class QMXBufWriter : public QMXObj {
 public:
  QMXBufWriter() = default;
  explicit QMXBufWriter(QMXBuf* buf);

  // Double columns: the value (NaN = missing). Factor columns: an integral level number (NaN =
  // missing). String columns: the number as text (NaN = missing).
  void setDouble(long row, int col, double x);
  // Factor columns: level number, getLevelNumNA() for missing.
  void setLevelNum(long row, int col, long level);
  // String columns: the text (nullptr = missing); factor columns: as setConvertFactor.
  void setString(long row, int col, const char* text);
  // Factor columns: the level named `levelName` (added to the column when new); nullptr =
  // missing. String columns: the text.
  void setConvertFactor(long row, int col, const char* levelName);
  // Copies one cell with its column type: numbers as numbers, factor cells by level name,
  // texts as texts.
  void copyBufData(long row, int col, const QMXBufReader& from, long fromRow, int fromCol);
  void releaseRows(long rows);
  void setEOF() { eof_ = true; }
  QMXBuf* getBuf() const { return buf_; }

  // Host side.
  void setBuf(QMXBuf* buf);
  bool getEOF() const { return eof_; }
  // Rows released and not yet taken by the host, in order, shaped like the buffer's schema.
  QMXRowBlock& pending() { return pending_; }
  std::int64_t releasedTotal() const { return releasedTotal_; }
  // Makes every row of the buffer missing and forgets pending rows.
  void resetRows();

 private:
  // True when (row, col) is writable, else notes a problem.
  bool writable(long row, int col);
  void setMissingRow(std::size_t row);

  QMXBuf* buf_ = nullptr;
  QMXRowBlock pending_;
  bool eof_ = false;
  std::int64_t releasedTotal_ = 0;
};
