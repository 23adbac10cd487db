// One record of partial covariance results: the (weighted) sums, centred sums of squares and
// centred cross products of T target columns and C correlation columns over a set of rows.
//
// A record is filled from one chunk with that chunk's own means (two passes over the
// chunk's used rows) and records are combined pairwise with the update formulas of
// Chan, Golub and LeVeque ("Updating formulae and a pairwise algorithm for computing sample
// variances", 1979), extended to cross products and to case weights (n replaced by the sum
// of the weights).
//
// Each sum is kept as an unevaluated pair high + low (low holds what rounding dropped from
// high), and the difference of scaled sums in the update is formed with exact products, so
// a column far from zero (1e8 + x) loses no digits of its centred cross products in the
// merges: the error grows with the depth of the merge tree, not with the offset.
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

  // Fills the record from the chunk rows `usedRows` (k > 0 of them). The chunk holds m rows
  // per slot, slot s at values[s * m, (s + 1) * m): the T target slots, then the C correlation
  // slots. weights (m entries, positive on the used rows) or null for weight 1. Sets
  // blockCount 1, rows k and weight the sum of the used rows' weights.
  void fill(const std::vector<long>& usedRows, const double* values, long m, const double* weights);

  // Combines the older record `older` into this (newer) one; `older` is left unchanged.
  void absorb(const CovNode& older);

  double targetMean(long i) const { return (targetSums[i] + targetSumsLow[i]) / weight; }
  double correlationMean(long j) const {
    return (correlationSums[j] + correlationSumsLow[j]) / weight;
  }

  std::vector<double> targetSums;  // weighted sums, high parts
  std::vector<double> correlationSums;
  std::vector<double> targetSumsLow;  // and low parts
  std::vector<double> correlationSumsLow;
  std::vector<double> targetSumSquares;
  std::vector<double> correlationSumSquares;
  std::vector<double> crossProducts;  // entry (i, j) at j * T + i
  long blockCount = 0;
  std::int64_t rows = 0;
  double weight = 0.0;  // sum of the weights; rows when unweighted
  std::unique_ptr<CovNode> next;
};
