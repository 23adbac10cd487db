#include "qmxmisc/multivariate/CovNode.h"

#include <cmath>
#include <cstddef>

#include "qmxmisc/base/QMXAssert.h"

CovNode::CovNode(long nTargets, long nCorrelations)
    : targetSums(static_cast<std::size_t>(nTargets)),
      correlationSums(static_cast<std::size_t>(nCorrelations)),
      targetSumsLow(static_cast<std::size_t>(nTargets)),
      correlationSumsLow(static_cast<std::size_t>(nCorrelations)),
      targetSumSquares(static_cast<std::size_t>(nTargets)),
      correlationSumSquares(static_cast<std::size_t>(nCorrelations)),
      crossProducts(static_cast<std::size_t>(nTargets) * static_cast<std::size_t>(nCorrelations)) {}

namespace {

// Weighted sum of the column over the rows, then the weighted sum of squared deviations from
// mean = sum * invWeight. Without weights every weight is 1 and no multiplication by it is
// done. The low part of the sum is what the rounded sum misses: the exact sum is
// weight * mean + sum of the weighted deviations, so low = (weight * mean - sum) (one fused
// multiply-add, exact but for one rounding) + the deviations' sum.
void fillColumn(const std::vector<long>& usedRows, const double* column, const double* weights,
                double weight, double& sum, double& sumLow, double& sumSquares) {
  double total = 0.0;
  for (const long row : usedRows)
    total += weights != nullptr ? weights[row] * column[row] : column[row];
  sum = total;
  const double mean = sum * (1.0 / weight);
  double squares = 0.0;
  double deviations = 0.0;
  for (const long row : usedRows) {
    const double deviation = column[row] - mean;
    squares += weights != nullptr ? weights[row] * deviation * deviation : deviation * deviation;
    deviations += weights != nullptr ? weights[row] * deviation : deviation;
  }
  sumSquares = squares;
  sumLow = std::fma(weight, mean, -total) + deviations;
}

// nB * (hiA + loA) - nA * (hiB + loB) for two sums of nearly equal means, to a few roundings of
// the result: each product is split exactly into its rounded value and its error (fma), and the
// two rounded products, within a factor 2 of each other, subtract exactly.
double scaledDifference(double nA, double hiA, double loA, double nB, double hiB, double loB) {
  const double productA = nB * hiA;
  const double errorA = std::fma(nB, hiA, -productA);
  const double productB = nA * hiB;
  const double errorB = std::fma(nA, hiB, -productB);
  return (productA - productB) + ((errorA - errorB) + (nB * loA - nA * loB));
}

// hi + lo <- (hi + lo) + (otherHi + otherLo), with the rounding error of hi + otherHi (Knuth's
// two-sum) carried into lo.
void addPair(double& hi, double& lo, double otherHi, double otherLo) {
  const double sum = hi + otherHi;
  const double bPart = sum - hi;
  const double error = (hi - (sum - bPart)) + (otherHi - bPart);
  hi = sum;
  lo += error + otherLo;
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
    fillColumn(usedRows, slot(i), weights, total, targetSums[i], targetSumsLow[i],
               targetSumSquares[i]);
  for (long j = 0; j < nC; ++j)
    fillColumn(usedRows, slot(nT + j), weights, total, correlationSums[j], correlationSumsLow[j],
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
// (weight nB), and f = nA / ((nB + nA) * nB):
//   d = (nB * S_A - nA * S_B) / nA        (= nB * (mean_A - mean_B))
//   SS_A <- SS_A + SS_B + f * d^2
//   CP_A <- CP_A + CP_B + f * d_t * d_c
// with d from the high and low parts of the sums (scaledDifference); only then are the sums
// (as pairs), weights and counts added.
void CovNode::absorb(const CovNode& older) {
  QMX_ASSERT(older.nTargets() == nTargets() && older.nCorrelations() == nCorrelations(),
             "records of one run have the same shape");
  QMX_ASSERT(weight > 0 && older.weight > 0, "only filled records are combined");
  const long nT = nTargets();
  const long nC = nCorrelations();
  const double nA = weight;
  const double nB = older.weight;
  const double f = nA / ((nB + nA) * nB);
  const auto targetD = [&](long i) {
    return scaledDifference(nA, targetSums[i], targetSumsLow[i], nB, older.targetSums[i],
                            older.targetSumsLow[i]) /
           nA;
  };
  const auto correlationD = [&](long j) {
    return scaledDifference(nA, correlationSums[j], correlationSumsLow[j], nB,
                            older.correlationSums[j], older.correlationSumsLow[j]) /
           nA;
  };
  for (long i = 0; i < nT; ++i) {
    const double d = targetD(i);
    targetSumSquares[i] = targetSumSquares[i] + older.targetSumSquares[i] + f * d * d;
  }
  for (long j = 0; j < nC; ++j) {
    const double d = correlationD(j);
    correlationSumSquares[j] =
        correlationSumSquares[j] + older.correlationSumSquares[j] + f * d * d;
  }
  for (long j = 0; j < nC; ++j) {
    const double dC = correlationD(j);
    for (long i = 0; i < nT; ++i) {
      const long idx = j * nT + i;
      crossProducts[idx] += older.crossProducts[idx] + f * targetD(i) * dC;
    }
  }
  for (long i = 0; i < nT; ++i)
    addPair(targetSums[i], targetSumsLow[i], older.targetSums[i], older.targetSumsLow[i]);
  for (long j = 0; j < nC; ++j)
    addPair(correlationSums[j], correlationSumsLow[j], older.correlationSums[j],
            older.correlationSumsLow[j]);
  blockCount += older.blockCount;
  rows += older.rows;
  weight += older.weight;
}
