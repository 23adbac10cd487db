#include "qmxmisc/multivariate/CovNode.h"

#include <cstddef>

#include "qmxmisc/base/QMXAssert.h"

CovNode::CovNode(long nTargets, long nCorrelations)
    : targetSums(static_cast<std::size_t>(nTargets)),
      correlationSums(static_cast<std::size_t>(nCorrelations)),
      targetSumSquares(static_cast<std::size_t>(nTargets)),
      correlationSumSquares(static_cast<std::size_t>(nCorrelations)),
      crossProducts(static_cast<std::size_t>(nTargets) * static_cast<std::size_t>(nCorrelations)) {}

namespace {

// Weighted sum of the column over the rows, then the weighted sum of squared deviations from
// sum * invWeight. Without weights every weight is 1 and no multiplication by it is done.
void fillColumn(const std::vector<long>& usedRows, const double* column, const double* weights,
                double invWeight, double& sum, double& sumSquares) {
  double total = 0.0;
  for (const long row : usedRows)
    total += weights != nullptr ? weights[row] * column[row] : column[row];
  sum = total;
  const double mean = sum * invWeight;
  double squares = 0.0;
  for (const long row : usedRows) {
    const double deviation = column[row] - mean;
    squares += weights != nullptr ? weights[row] * deviation * deviation : deviation * deviation;
  }
  sumSquares = squares;
}

}  // namespace

void CovNode::fill(const std::vector<long>& usedRows, const double* values, long m,
                   const double* weights) {
  const long nT = nTargets();
  const long nC = nCorrelations();
  double total = static_cast<double>(usedRows.size());
  if (weights != nullptr) {
    total = 0.0;
    for (const long row : usedRows)
      total += weights[row];
  }
  const double invWeight = 1.0 / total;
  const auto slot = [&](long s) { return values + s * m; };
  for (long i = 0; i < nT; ++i)
    fillColumn(usedRows, slot(i), weights, invWeight, targetSums[i], targetSumSquares[i]);
  for (long j = 0; j < nC; ++j)
    fillColumn(usedRows, slot(nT + j), weights, invWeight, correlationSums[j],
               correlationSumSquares[j]);
  for (long targetIdx = 0; targetIdx < nT; ++targetIdx) {
    const double* target = slot(targetIdx);
    const double targetMean = targetSums[targetIdx] * invWeight;
    for (long corrIdx = 0; corrIdx < nC; ++corrIdx) {
      const double* corr = slot(nT + corrIdx);
      const double corrMean = correlationSums[corrIdx] * invWeight;
      double cross = 0.0;
      for (const long row : usedRows) {
        const double product = (corr[row] - corrMean) * (target[row] - targetMean);
        cross += weights != nullptr ? weights[row] * product : product;
      }
      crossProducts[corrIdx * nT + targetIdx] = cross;
    }
  }
  blockCount = 1;
  rows = static_cast<std::int64_t>(usedRows.size());
  weight = total;
}

// Pairwise update (Chan, Golub and LeVeque 1979) with A = this (weight nA), B = older
// (weight nB), r = nB / nA and f = nA / ((nB + nA) * nB):
//   SS_A <- SS_A + SS_B + f * (r * S_A - S_B)^2
//   CP_A <- CP_A + CP_B + f * (r * S_A,t - S_B,t) * (r * S_A,c - S_B,c)
// and only then the sums, weights and counts are added.
void CovNode::absorb(const CovNode& older) {
  QMX_ASSERT(older.nTargets() == nTargets() && older.nCorrelations() == nCorrelations(),
             "records of one run have the same shape");
  QMX_ASSERT(weight > 0 && older.weight > 0, "only filled records are combined");
  const long nT = nTargets();
  const long nC = nCorrelations();
  const double nA = weight;
  const double nB = older.weight;
  const double r = nB / nA;
  const double f = nA / ((nB + nA) * nB);
  for (long i = 0; i < nT; ++i) {
    const double d = r * targetSums[i] - older.targetSums[i];
    targetSumSquares[i] = targetSumSquares[i] + older.targetSumSquares[i] + f * d * d;
  }
  for (long j = 0; j < nC; ++j) {
    const double d = r * correlationSums[j] - older.correlationSums[j];
    correlationSumSquares[j] =
        correlationSumSquares[j] + older.correlationSumSquares[j] + f * d * d;
  }
  for (long i = 0; i < nT; ++i) {
    for (long j = 0; j < nC; ++j) {
      const long idx = j * nT + i;
      crossProducts[idx] +=
          older.crossProducts[idx] + f * (r * targetSums[i] - older.targetSums[i]) *
                                         (r * correlationSums[j] - older.correlationSums[j]);
    }
  }
  for (long i = 0; i < nT; ++i)
    targetSums[i] += older.targetSums[i];
  for (long j = 0; j < nC; ++j)
    correlationSums[j] += older.correlationSums[j];
  blockCount += older.blockCount;
  rows += older.rows;
  weight += older.weight;
}
