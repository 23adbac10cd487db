// CovAccumulator: covariance and Pearson correlation of every (target column, correlation
// column) pair, with the means, as a QMXAccumulator (qmxmisc/base/QMXAccumulator.h).
//
// update takes one chunk of columns (targets then correlation columns) and optional case
// weights; rows with a missing value in any column, or a weight that is not positive, are
// left out. Each chunk's used rows become one CovNode record (with the chunk's own means) and
// the records are combined pairwise along a CovNodeChain, so results do not depend on the
// chunk size beyond rounding. merge combines the records of two accumulators the same way.
// finalize gives n, the means, the covariances (divisor: the sum of the weights minus 1, the
// row count minus 1 without weights, as R's cov()) and the correlations (R's cor()).
#pragma once

#include <cstdint>
#include <vector>

#include "qmxmisc/multivariate/CovNodeChain.h"

struct CovChunk {
  long rows = 0;  // m
  // Slot s (T target slots, then C correlation slots) at values[s * m, (s + 1) * m).
  const double* values = nullptr;
  const double* weights = nullptr;  // m case weights, or null for weight 1
};

struct CovResult {
  std::int64_t n = 0;   // rows used
  double weight = 0.0;  // sum of their weights
  std::vector<double> targetMeans;
  std::vector<double> correlationMeans;
  // Entry (i, j) at j * T + i; not-a-number where undefined (fewer than 2 rows, a constant
  // column for the correlation, no rows for the means).
  std::vector<double> crossProducts;
  std::vector<double> covariances;
  std::vector<double> correlations;
};

class CovAccumulator {
 public:
  using Chunk = CovChunk;
  using Result = CovResult;

  CovAccumulator() = default;
  // Reserves room for chunks of up to maxRows rows.
  CovAccumulator(long nTargets, long nCorrelations, long maxRows);

  // Throws std::bad_alloc when a record cannot be allocated; the accumulator is unchanged.
  void update(const CovChunk& chunk);
  void merge(const CovAccumulator& other);
  // Combines every record into one and frees the pool (the end of input).
  void compact();
  CovResult finalize() const;

  long nTargets() const { return nTargets_; }
  long nCorrelations() const { return nCorrelations_; }
  // The newest record (after compact: the one record of every used row), or null.
  const CovNode* head() const { return nodes_.head(); }
  long allocatedNodes() const { return nodes_.allocatedNodes(); }

 private:
  long nTargets_ = 0;
  long nCorrelations_ = 0;
  std::vector<long> usedRows_;
  CovNodeChain nodes_;
};
