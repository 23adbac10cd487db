// Internals of hclustCut (HClust.h), exposed for tests: the agglomeration on a stored
// dissimilarity and the cut of its merge sequence.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Packed strict upper triangle of an n x n dissimilarity: entry (i, j), i < j, zero based.
class HClustDissimilarity {
 public:
  explicit HClustDissimilarity(long n);
  long size() const { return n_; }
  double& at(long i, long j) { return values_[offset(i, j)]; }
  double at(long i, long j) const { return values_[offset(i, j)]; }

 private:
  std::size_t offset(long i, long j) const;
  long n_;
  std::vector<double> values_;
};

// One merge of the agglomeration: the two clusters joined, each named by its smallest row
// (zero based; first < second); the joined cluster keeps the name `first`.
struct HClustMerge {
  long first;
  long second;
  double height;
};

// Murtagh's HCLUST: the n - 1 merges, in the order made, of the rows under the dissimilarity
// d (consumed: it is updated in place) with linkage code `method` (1..7, see HClust.h).
std::vector<HClustMerge> hclustAgglomerate(HClustDissimilarity d, int method);

// The groups after the first n - k merges, numbered 1..k by first appearance along the rows.
std::vector<int> hclustCutMerges(const std::vector<HClustMerge>& merges, long n, int k);
