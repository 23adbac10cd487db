// One record of partial covariance results: sums, centred sums of squares and centred
// cross products of T target columns and C correlation columns over a set of rows.
//
// A record is filled from one chunk with that chunk's own means (two passes over the
// chunk's used rows) and records are combined pairwise with the update formulas of
// Chan, Golub and LeVeque ("Updating formulae and a pairwise algorithm for computing sample
// variances", 1979), extended to cross products.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct CovNode {
  // Allocates every array for nTargets x nCorrelations, zero-filled; blockCount and rows 0.
  // Throws std::bad_alloc when the arrays cannot be had.
  CovNode(long nTargets, long nCorrelations);

  long nTargets() const { return static_cast<long>(targetSums.size()); }
  long nCorrelations() const { return static_cast<long>(correlationSums.size()); }

  // Fills the record from the chunk rows `usedRows` (k > 0 of them). value(row, col) reads
  // one input value; it is called afresh each time a value is needed: once for the sums,
  // once for each deviation. Sets blockCount 1 and rows k.
  template <class Value>
  void fill(const std::vector<long>& usedRows, const long* targetColumns,
            const long* correlationColumns, Value&& value);

  // Combines the older record `older` into this (newer) one; `older` is left unchanged.
  void absorb(const CovNode& older);

  std::vector<double> targetSums;
  std::vector<double> correlationSums;
  std::vector<double> targetSumSquares;
  std::vector<double> correlationSumSquares;
  std::vector<double> crossProducts;  // entry (i, j) at j * T + i
  long blockCount = 0;
  std::int64_t rows = 0;
  std::unique_ptr<CovNode> next;
};

namespace cov_detail {

// Sum of the column over the rows, then the sum of squared deviations from sum * (1/k).
template <class Value>
void fillColumn(const std::vector<long>& usedRows, long column, double invRows, double& sum,
                double& sumSquares, Value& value) {
  double total = 0.0;
  for (const long row : usedRows)
    total += value(row, column);
  sum = total;
  const double mean = sum * invRows;
  double squares = 0.0;
  for (const long row : usedRows) {
    const double deviation = value(row, column) - mean;
    squares += deviation * deviation;
  }
  sumSquares = squares;
}

}  // namespace cov_detail

template <class Value>
void CovNode::fill(const std::vector<long>& usedRows, const long* targetColumns,
                   const long* correlationColumns, Value&& value) {
  const long nT = nTargets();
  const long nC = nCorrelations();
  const double invRows = 1.0 / static_cast<double>(usedRows.size());
  for (long i = 0; i < nT; ++i)
    cov_detail::fillColumn(usedRows, targetColumns[i], invRows, targetSums[i], targetSumSquares[i],
                           value);
  for (long j = 0; j < nC; ++j)
    cov_detail::fillColumn(usedRows, correlationColumns[j], invRows, correlationSums[j],
                           correlationSumSquares[j], value);
  for (long targetIdx = 0; targetIdx < nT; ++targetIdx) {
    const double targetMean = targetSums[targetIdx] * invRows;
    for (long corrIdx = 0; corrIdx < nC; ++corrIdx) {
      const double corrMean = correlationSums[corrIdx] * invRows;
      double cross = 0.0;
      for (const long row : usedRows)
        cross += (value(row, correlationColumns[corrIdx]) - corrMean) *
                 (value(row, targetColumns[targetIdx]) - targetMean);
      crossProducts[corrIdx * nT + targetIdx] = cross;
    }
  }
  blockCount = 1;
  rows = static_cast<std::int64_t>(usedRows.size());
}
