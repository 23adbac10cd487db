// A source of rows for an input buffer: a CSV file read in chunks, an in-memory table, ...
// A source never needs to hold the whole data set; `rewind` starts a new pass.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXRowBlock.h"

class QMXDataSource {
 public:
  virtual ~QMXDataSource() = default;

  // Column names, types and factor levels; fixed for the life of the source.
  virtual const QMXSchema& schema() const = 0;
  // Number of data rows in one pass, or -1 when not known.
  virtual std::int64_t totalRows() const = 0;
  // Appends up to maxRows rows to `block` (which is shaped for schema()) and returns how
  // many were appended; 0 only at the end of the pass. Throws QMXDataError on bad input.
  virtual std::size_t read(std::size_t maxRows, QMXRowBlock& block) = 0;
  // True when the pass has no rows left to read.
  virtual bool atEnd() const = 0;
  // Starts a new pass at the first row.
  virtual void rewind() = 0;
  // A name for messages (the file path, or "memory").
  virtual const char* describe() const = 0;
};
