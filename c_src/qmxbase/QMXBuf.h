// A data buffer: the column schema plus a window of rows held in a QMXRowBlock.
//
// Input buffers: the window holds the ready rows block rows [start, block.rows); released rows
// leave the front (start moves) and the driver compacts the block when it refills it.
// Output buffers: the block holds `getNumRows()` writable rows (all missing after a release).
// Columns are numbered 0..getNumColumns()-1; factor levels 0..getNumLevels(col)-1.
//
// Bad column or row indexes never crash: the accessor returns a neutral value and the first
// such problem is kept as the buffer's access problem, which the driver reports as an error.
#pragma once

#include <cstddef>
#include <string>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXObj.h"
#include "qmxbase/QMXRowBlock.h"

class QMXBuf : public QMXObj {
 public:
  QMXBuf() = default;
  QMXBuf(QMXSchema schema, long capacityRows);

  int getNumColumns() const { return static_cast<int>(schema_.size()); }
  // nullptr for a bad column.
  const char* getColumnName(int col) const;
  // 0 for non-factor or bad columns.
  long getNumLevels(int col) const;
  // nullptr for a bad column or level.
  const char* getLevelName(int col, long level) const;
  bool columnTypeIsFactor(int col) const;
  bool columnTypeIsString(int col) const;
  // Capacity in rows: the chunk size.
  long getNumRows() const { return capacity_; }
  // Level name of a factor code; nullptr for a missing or out-of-range code (not a problem).
  const char* mapDoubleToLevel(int col, double x) const;

  // Schema editing (output buffers, or a host building a buffer by hand).
  void setNumColumns(int n);
  void setColumnName(int col, const char* name);
  void setColumnType(int col, QMXColumnType type);
  // Level number of `name` in factor column col, -1 when absent.
  long findLevel(int col, const char* name) const;
  // Level number of `name`, appending it to the column's levels when new; -1 for a bad column.
  long addLevel(int col, const char* name);
  void setLevels(int col, std::vector<std::string> levels);

  // Host side.
  const QMXSchema& schema() const { return schema_; }
  void setSchema(QMXSchema schema);
  void setNumRows(long capacityRows);
  // "input buffer", "input buffer 2", "output buffer": used in access-problem messages.
  void setLabel(std::string label) { label_ = std::move(label); }
  const std::string& label() const { return label_; }
  QMXRowBlock& block() { return block_; }
  const QMXRowBlock& block() const { return block_; }
  std::size_t windowStart() const { return start_; }
  void setWindowStart(std::size_t start) { start_ = start; }
  // Rows in the window (block.rows - start).
  long windowRows() const { return static_cast<long>(block_.rows - start_); }
  // Drops released rows from the front of the block (start becomes 0).
  void compact();
  // Empties the window.
  void clearRows();

  // The first bad-index problem seen through this buffer, its readers or writers ("" if none).
  const std::string& accessProblem() const { return accessProblem_; }
  void noteAccessProblem(const std::string& text) const;
  void clearAccessProblem() { accessProblem_.clear(); }
  // True (and a problem noted) unless 0 <= col < getNumColumns().
  bool badColumn(int col) const;

 private:
  QMXSchema schema_;
  QMXRowBlock block_;
  std::size_t start_ = 0;
  long capacity_ = 0;
  std::string label_ = "buffer";
  mutable std::string accessProblem_;
};
