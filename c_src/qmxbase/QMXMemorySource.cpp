#include "qmxbase/QMXMemorySource.h"

#include <algorithm>

std::size_t QMXMemorySource::read(std::size_t maxRows, QMXRowBlock& block) {
  std::size_t count = std::min(maxRows, table_.numRows() - std::min(position_, table_.numRows()));
  if (maxRowsPerRead_ > 0) count = std::min(count, maxRowsPerRead_);
  if (count == 0) return 0;
  const QMXRowBlock& from = table_.block();
  const QMXSchema& schema = table_.schema();
  const auto first = static_cast<std::ptrdiff_t>(position_);
  const auto last = first + static_cast<std::ptrdiff_t>(count);
  for (std::size_t col = 0; col < schema.size(); ++col) {
    if (schema[col].type == QMXColumnType::String) {
      block.texts[col].insert(block.texts[col].end(), from.texts[col].begin() + first,
                              from.texts[col].begin() + last);
      block.missingText[col].insert(block.missingText[col].end(),
                                    from.missingText[col].begin() + first,
                                    from.missingText[col].begin() + last);
    } else {
      block.numbers[col].insert(block.numbers[col].end(), from.numbers[col].begin() + first,
                                from.numbers[col].begin() + last);
    }
  }
  block.rows += count;
  position_ += count;
  return count;
}

void QMXMemorySource::rewind() {
  position_ = 0;
  ++rewinds_;
}
