#include "FitRowFilter.h"

#include <utility>

FitRowFilter::FitRowFilter(std::unique_ptr<QMXDataSource> source, std::size_t weightsColumn,
                           std::int64_t keptRows)
    : source_(std::move(source)), weightsColumn_(weightsColumn), keptRows_(keptRows) {}

std::size_t FitRowFilter::read(std::size_t maxRows, QMXRowBlock& block) {
  const QMXSchema& columns = source_->schema();
  std::size_t kept = 0;
  // Returns 0 only at the end of the pass: a chunk of zero-weight rows reads on.
  while (kept == 0) {
    scratch_.reset(columns);
    if (source_->read(maxRows, scratch_) == 0) break;
    for (std::size_t rowIdx = 0; rowIdx < scratch_.rows; ++rowIdx) {
      if (scratch_.numbers[weightsColumn_][rowIdx] == 0.0) continue;
      for (std::size_t colIdx = 0; colIdx < columns.size(); ++colIdx) {
        if (columns[colIdx].type == QMXColumnType::String) {
          block.texts[colIdx].push_back(scratch_.texts[colIdx][rowIdx]);
          block.missingText[colIdx].push_back(scratch_.missingText[colIdx][rowIdx]);
        } else {
          block.numbers[colIdx].push_back(scratch_.numbers[colIdx][rowIdx]);
        }
      }
      ++block.rows;
      ++kept;
    }
  }
  return kept;
}
