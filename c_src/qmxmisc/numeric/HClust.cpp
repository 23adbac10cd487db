// hclustCut: squared Euclidean dissimilarities between the rows, Murtagh's HCLUST
// agglomeration, and the cut into k groups. With the squared Euclidean distance the
// results are those of R's hclust(dist(x)^2, method) followed by cutree(tree, k); for the
// Ward, median and centroid methods it is the dissimilarity their Lance-Williams updates
// assume.
#include "qmxmisc/numeric/HClust.h"

#include <cstddef>
#include <numeric>
#include <utility>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/HClustInternal.h"

HClustDissimilarity::HClustDissimilarity(long n)
    : n_(n), values_(n > 1 ? static_cast<std::size_t>(n) * (n - 1) / 2 : 0, 0.0) {}

std::size_t HClustDissimilarity::offset(long i, long j) const {
  // Row i of the strict upper triangle starts after i rows of lengths n-1, n-2, ...
  const auto si = static_cast<std::size_t>(i);
  const auto sn = static_cast<std::size_t>(n_);
  return si * (2 * sn - si - 1) / 2 + static_cast<std::size_t>(j - i - 1);
}

std::vector<int> hclustCutMerges(const std::vector<HClustMerge>& merges, long n, int k) {
  // Union-find over the first n - k merges; each cluster is named by its smallest row.
  std::vector<long> parent(n);
  std::iota(parent.begin(), parent.end(), 0L);
  const auto root = [&](long i) {
    while (parent[i] != i)
      i = parent[i] = parent[parent[i]];
    return i;
  };
  for (long step = 0; step < n - k; ++step) {
    parent[root(merges[step].second)] = root(merges[step].first);
  }
  std::vector<int> groupOfRoot(n, 0);
  std::vector<int> groups(n, 0);
  int next = 0;
  for (long rowIdx = 0; rowIdx < n; ++rowIdx) {
    int& group = groupOfRoot[root(rowIdx)];
    if (group == 0) group = ++next;
    groups[rowIdx] = group;
  }
  return groups;
}

std::vector<int> hclustCut(const double* x, long nrow, long ncol, long ldx, int k, int method) {
  if (nrow < 1)
    QMX_ThrowException("hclustCut: the number of rows must be at least 1, got %ld", nrow);
  if (ncol < 1) {
    QMX_ThrowException("hclustCut: the number of columns must be at least 1, got %ld", ncol);
  }
  if (ldx < nrow) {
    QMX_ThrowException("hclustCut: leading dimension %ld is smaller than the number of rows %ld",
                       ldx, nrow);
  }
  if (method < 1 || method > 7) {
    QMX_ThrowException("hclustCut: linkage method must be 1 to 7, got %d", method);
  }
  if (k < 1 || k > nrow) {
    QMX_ThrowException("hclustCut: number of groups must be 1 to the number of rows %ld, got %d",
                       nrow, k);
  }
  HClustDissimilarity d(nrow);
  for (long i = 0; i < nrow; ++i) {
    for (long j = i + 1; j < nrow; ++j) {
      double sum = 0.0;
      for (long colIdx = 0; colIdx < ncol; ++colIdx) {
        const double diff = x[i + colIdx * ldx] - x[j + colIdx * ldx];
        sum += diff * diff;
      }
      d.at(i, j) = sum;
    }
  }
  return hclustCutMerges(hclustAgglomerate(std::move(d), method), nrow, k);
}
