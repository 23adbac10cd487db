#include "FitRowFilter.h"

#include <limits>
#include <utility>

FitRowFilter::FitRowFilter(std::unique_ptr<QMXDataSource> source, std::size_t weightsColumn,
                           bool passOnAsMissing)
    : source_(std::move(source)),
      weightsColumn_(weightsColumn),
      passOnAsMissing_(passOnAsMissing) {}

bool FitRowFilter::fill(std::size_t maxRows) {
  kept_.clear();
  next_ = 0;
  while (kept_.empty()) {
    raw_.reset(source_->schema());
    if (source_->read(maxRows, raw_) == 0) {
      exhausted_ = true;
      return false;
    }
    for (std::size_t rowIdx = 0; rowIdx < raw_.rows; ++rowIdx) {
      double& weight = raw_.numbers[weightsColumn_][rowIdx];
      if (weight == 0.0 && firstPassKept_ < 0) ++zeroWeightRows_;
      if (weight == 0.0 && passOnAsMissing_) weight = std::numeric_limits<double>::quiet_NaN();
      if (weight != 0.0) kept_.push_back(rowIdx);
    }
  }
  return true;
}

std::size_t FitRowFilter::read(std::size_t maxRows, QMXRowBlock& block) {
  const QMXSchema& columns = source_->schema();
  std::size_t given = 0;
  while (given < maxRows && (next_ < kept_.size() || (!exhausted_ && fill(maxRows)))) {
    const std::size_t rowIdx = kept_[next_++];
    for (std::size_t colIdx = 0; colIdx < columns.size(); ++colIdx) {
      if (columns[colIdx].type == QMXColumnType::String) {
        block.texts[colIdx].push_back(raw_.texts[colIdx][rowIdx]);
        block.missingText[colIdx].push_back(raw_.missingText[colIdx][rowIdx]);
      } else {
        block.numbers[colIdx].push_back(raw_.numbers[colIdx][rowIdx]);
      }
    }
    ++block.rows;
    ++given;
  }
  // Look ahead, so that atEnd() holds right after the last row to keep.
  if (next_ == kept_.size() && !exhausted_) fill(maxRows);
  passKept_ += static_cast<std::int64_t>(given);
  return given;
}

void FitRowFilter::rewind() {
  if (exhausted_ && firstPassKept_ < 0) firstPassKept_ = passKept_;
  // A first pass broken off is counted again.
  if (firstPassKept_ < 0) zeroWeightRows_ = 0;
  source_->rewind();
  kept_.clear();
  next_ = 0;
  exhausted_ = false;
  passKept_ = 0;
}
