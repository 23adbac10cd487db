// A data source over a QMXMemoryTable (which it references and must outlive it).
// `setMaxRowsPerRead(k)` makes every read return at most k rows, to test hosts against
// sources that deliver fewer rows than asked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qmxbase/QMXDataSource.h"
#include "qmxbase/QMXMemoryTable.h"

class QMXMemorySource : public QMXDataSource {
 public:
  explicit QMXMemorySource(const QMXMemoryTable& table) : table_(table) {}

  const QMXSchema& schema() const override { return table_.schema(); }
  std::int64_t totalRows() const override { return static_cast<std::int64_t>(table_.numRows()); }
  std::size_t read(std::size_t maxRows, QMXRowBlock& block) override;
  bool atEnd() const override { return position_ >= table_.numRows(); }
  void rewind() override;
  const char* describe() const override { return "memory"; }

  void setMaxRowsPerRead(std::size_t rows) { maxRowsPerRead_ = rows; }
  int rewindCount() const { return rewinds_; }

 private:
  const QMXMemoryTable& table_;
  std::size_t position_ = 0;
  std::size_t maxRowsPerRead_ = 0;  // 0: no limit
  int rewinds_ = 0;
};
