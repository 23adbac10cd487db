// Rows of a CSV file served from its spill (QMXCsvSpill) instead of its text: Double columns
// as numbers (texts that are not numbers, as readAsNumbers makes them, read as missing),
// Factor columns as level numbers of the schema's levels. The same values, bit for bit, as
// QMXCsvSource reads from the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXCsvSpill.h"
#include "qmxbase/QMXRowBlock.h"

class QMXCsvSpillReader {
 public:
  // nullptr when the spill cannot serve `schema`: a String column, a Factor column whose
  // texts were not all kept or with a text that is not one of its levels, another shape.
  static std::unique_ptr<QMXCsvSpillReader> create(std::shared_ptr<const QMXCsvSpill> spill,
                                                   const QMXSchema& schema, std::int64_t rows);

  // Appends up to maxRows rows to `block`; 0 at the end of the pass.
  std::size_t read(std::size_t maxRows, QMXRowBlock& block);
  void rewind() { row_ = 0; }

 private:
  QMXCsvSpillReader(std::shared_ptr<const QMXCsvSpill> spill,
                    std::vector<std::vector<double>> textValues);

  std::shared_ptr<const QMXCsvSpill> spill_;
  std::vector<std::vector<double>> textValues_;  // per column: the value of each kept text
  std::vector<std::uint64_t> cells_;             // the block loaded
  std::int64_t loaded_ = -1;
  std::int64_t row_ = 0;
};
