// aml::AbstractDoubleMatrix row sampling and hierarchical-cluster centres (the k-means
// starting points).
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/AbstractDoubleMatrix.h"
#include "qmxmisc/numeric/HClust.h"
#include "qmxmisc/numeric/RandomGenerator.h"

namespace aml {

void AbstractDoubleMatrix::sampleRowsInto(AbstractDoubleMatrix& result, bool withReplacement,
                                          long seed) const {
  const long nrow = getNRow();
  const long ncol = getNCol();
  const long sampleSize = result.getNRow();
  if (sampleSize > nrow) throw QMXException("bad input args: nSize is too big");
  if (result.getNCol() != ncol || ncol <= 0)
    throw QMXException("bad input args: nCol is not match");
  QMX_ASSERT(&result != this, "sampleRowsInto result must not alias");
  RandomGenerator generator(static_cast<std::uint32_t>(seed));
  std::vector<long> draws;
  draws.reserve(static_cast<std::size_t>(sampleSize));
  std::vector<bool> taken(withReplacement ? 0 : static_cast<std::size_t>(nrow), false);
  while (static_cast<long>(draws.size()) < sampleSize) {
    const long row = generator.nextInt(0, static_cast<std::int32_t>(nrow - 1));
    if (!withReplacement) {
      if (taken[row]) continue;
      taken[row] = true;
    }
    draws.push_back(row);
  }
  for (long colIdx = 0; colIdx < ncol; ++colIdx) {
    const double* column = getConstPtr(0, colIdx);
    double* out = result.getPtr(0, colIdx);
    for (long r = 0; r < sampleSize; ++r)
      out[r] = column[draws[r]];
  }
}

long AbstractDoubleMatrix::hclustCenters(AbstractDoubleMatrix& result, long k, int method) const {
  if (k < 2) throw QMXException("bad input args to AbstractDoubleMatrix::hclustCenters");
  const long p = result.getNCol();
  if (p < 1) throw QMXException("nCol<1");
  QMX_ASSERT(p <= getNCol(), "hclustCenters clusters on the first result.ncol columns");
  QMX_ASSERT(&result != this, "hclustCenters result must not alias");
  if (result.getNRow() != k) result.resize(k, p);
  const std::vector<int> groups =
      hclustCut(getConstPtr(0, 0), getNRow(), p, getNRow(), static_cast<int>(k), method);
  return groupMeansInto(*this, result, groups, k);
}

long groupMeansInto(const AbstractDoubleMatrix& x, AbstractDoubleMatrix& result,
                    const std::vector<int>& groups, long k) {
  const long nrow = x.getNRow();
  const long p = result.getNCol();
  QMX_ASSERT(static_cast<long>(groups.size()) == nrow, "one group number per row");
  QMX_ASSERT(result.getNRow() == k && p <= x.getNCol(), "result must be k x p");
  for (long group = 1; group <= k; ++group) {
    long members = 0;
    for (long row = 0; row < nrow; ++row)
      members += groups[row] == group ? 1 : 0;
    if (members == 0) return group;
    for (long colIdx = 0; colIdx < p; ++colIdx) {
      const double* column = x.getConstPtr(0, colIdx);
      double total = 0.0;
      for (long row = 0; row < nrow; ++row) {
        if (groups[row] == group) total += column[row];
      }
      *result.getPtr(group - 1, colIdx) = total / static_cast<double>(members);
    }
  }
  return k;
}

}  // namespace aml
