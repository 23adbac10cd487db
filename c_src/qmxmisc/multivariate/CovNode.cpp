#include "qmxmisc/multivariate/CovNode.h"

#include <cstddef>

#include "qmxmisc/base/QMXAssert.h"

CovNode::CovNode(long nTargets, long nCorrelations)
    : targetSums(static_cast<std::size_t>(nTargets)),
      correlationSums(static_cast<std::size_t>(nCorrelations)),
      targetSumSquares(static_cast<std::size_t>(nTargets)),
      correlationSumSquares(static_cast<std::size_t>(nCorrelations)),
      crossProducts(static_cast<std::size_t>(nTargets) * static_cast<std::size_t>(nCorrelations)) {}

// Pairwise update (Chan, Golub and LeVeque 1979) with A = this (nA rows), B = older (nB
// rows), r = nB / nA and f = nA / ((nB + nA) * nB):
//   SS_A <- SS_A + SS_B + f * (r * S_A - S_B)^2
//   CP_A <- CP_A + CP_B + f * (r * S_A,t - S_B,t) * (r * S_A,c - S_B,c)
// and only then the sums and counts are added.
void CovNode::absorb(const CovNode& older) {
  QMX_ASSERT(older.nTargets() == nTargets() && older.nCorrelations() == nCorrelations(),
             "records of one run have the same shape");
  QMX_ASSERT(rows > 0 && older.rows > 0, "only filled records are combined");
  const long nT = nTargets();
  const long nC = nCorrelations();
  const double nA = static_cast<double>(rows);
  const double nB = static_cast<double>(older.rows);
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
}
