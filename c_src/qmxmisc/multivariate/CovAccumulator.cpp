#include "qmxmisc/multivariate/CovAccumulator.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

#include "qmxmisc/base/QMXAccumulator.h"

static_assert(QMXAccumulator<CovAccumulator>);

CovAccumulator::CovAccumulator(long nTargets, long nCorrelations, long maxRows)
    : nTargets_(nTargets), nCorrelations_(nCorrelations) {
  nodes_.reset(nTargets, nCorrelations);
  usedRows_.reserve(static_cast<std::size_t>(maxRows));
}

void CovAccumulator::update(const CovChunk& chunk) {
  const long m = chunk.rows;
  const long slots = nTargets_ + nCorrelations_;
  usedRows_.clear();
  for (long row = 0; row < m; ++row) {
    bool used = chunk.weights == nullptr || chunk.weights[row] > 0.0;
    for (long slot = 0; slot < slots && used; ++slot)
      used = !std::isnan(chunk.values[slot * m + row]);
    if (used) usedRows_.push_back(row);
  }
  if (usedRows_.empty()) return;
  std::unique_ptr<CovNode> node = nodes_.take();
  if (node == nullptr) throw std::bad_alloc();
  node->fill(usedRows_, chunk.values, m, chunk.weights);
  nodes_.pushFront(std::move(node));
  nodes_.combine(false);
}

void CovAccumulator::merge(const CovAccumulator& other) {
  nodes_.absorbChain(other.nodes_);
}

void CovAccumulator::compact() {
  nodes_.combine(true);
  nodes_.releasePool();
}

CovResult CovAccumulator::finalize() const {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  const auto cells = static_cast<std::size_t>(nTargets_ * nCorrelations_);
  CovResult result;
  result.targetMeans.assign(static_cast<std::size_t>(nTargets_), kNaN);
  result.correlationMeans.assign(static_cast<std::size_t>(nCorrelations_), kNaN);
  result.crossProducts.assign(cells, kNaN);
  result.covariances.assign(cells, kNaN);
  result.correlations.assign(cells, kNaN);
  if (nodes_.head() == nullptr) return result;
  CovNodeChain combined(nodes_);
  combined.combine(true);
  const CovNode& all = *combined.head();
  result.n = all.rows;
  result.weight = all.weight;
  for (long i = 0; i < nTargets_; ++i)
    result.targetMeans[i] = all.targetMean(i);
  for (long j = 0; j < nCorrelations_; ++j)
    result.correlationMeans[j] = all.correlationMean(j);
  for (long j = 0; j < nCorrelations_; ++j) {
    for (long i = 0; i < nTargets_; ++i) {
      const long idx = j * nTargets_ + i;
      result.crossProducts[idx] = all.crossProducts[idx];
      if (all.rows < 2) continue;
      const double cov = all.crossProducts[idx] / (all.weight - 1);
      result.covariances[idx] = cov;
      const double corrSquares = all.correlationSumSquares[j];
      const double targetSquares = all.targetSumSquares[i];
      if (!(corrSquares > 0.0) || !(targetSquares > 0.0)) continue;
      result.correlations[idx] =
          (all.weight - 1) * cov / (std::sqrt(corrSquares) * std::sqrt(targetSquares));
    }
  }
  return result;
}
