// A block of rows in column-major form, the unit in which data moves between sources,
// buffers and sinks.
//
// Double columns hold their values in `numbers[col]` (missing = NaN). Factor columns hold
// level numbers as doubles in `numbers[col]` (0-based; missing = NaN). String columns hold
// their texts in `texts[col]` (missing = empty text with `missingText[col][row]` set).
// Vectors of columns of another type stay empty. Storage is reused across chunks: `clear`
// keeps capacity so that refilling a block allocates nothing in the steady state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"

struct QMXRowBlock {
  std::size_t rows = 0;
  std::vector<std::vector<double>> numbers;
  std::vector<std::vector<std::string>> texts;
  std::vector<std::vector<bool>> missingText;

  // Shapes the block for a schema and empties it (keeps capacity).
  void reset(const QMXSchema& schema) {
    numbers.resize(schema.size());
    texts.resize(schema.size());
    missingText.resize(schema.size());
    clear();
  }
  void clear() {
    rows = 0;
    for (auto& column : numbers)
      column.clear();
    for (auto& column : texts)
      column.clear();
    for (auto& column : missingText)
      column.clear();
  }
};
