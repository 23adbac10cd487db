// A destination for output rows: a CSV file written under a temporary name and renamed
// when complete, or an in-memory table. A sink that is destroyed without `commit` leaves
// nothing that looks complete.
#pragma once

#include <cstddef>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXRowBlock.h"

class QMXDataSink {
 public:
  virtual ~QMXDataSink() = default;

  // Called once before any rows, with the output columns (factor levels may grow later:
  // each `write` passes the schema as it stands).
  virtual void begin(const QMXSchema& schema) = 0;
  // Writes rows [firstRow, firstRow + count) of `block`.
  virtual void write(const QMXSchema& schema, const QMXRowBlock& block, std::size_t firstRow,
                     std::size_t count) = 0;
  // The output is complete: make it visible under its final name.
  virtual void commit() = 0;
  // The run failed: discard what was written.
  virtual void abandon() = 0;
};
