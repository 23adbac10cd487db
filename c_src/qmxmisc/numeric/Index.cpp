#include "qmxmisc/numeric/Index.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kInsertionLimit = 16;

void insertionSort(std::uint32_t* values, std::size_t n) {
  for (std::size_t i = 1; i < n; ++i) {
    const std::uint32_t v = values[i];
    std::size_t j = i;
    while (j > 0 && values[j - 1] > v) {
      values[j] = values[j - 1];
      --j;
    }
    values[j] = v;
  }
}

// Median-of-three Hoare partition of values[lo..hi] (inclusive); returns the split point
// such that [lo, split] <= [split+1, hi].
std::size_t partition(std::uint32_t* values, std::size_t lo, std::size_t hi) {
  const std::size_t mid = lo + (hi - lo) / 2;
  if (values[mid] < values[lo]) std::swap(values[mid], values[lo]);
  if (values[hi] < values[lo]) std::swap(values[hi], values[lo]);
  if (values[hi] < values[mid]) std::swap(values[hi], values[mid]);
  const std::uint32_t pivot = values[mid];
  std::size_t i = lo;
  std::size_t j = hi;
  while (true) {
    while (values[i] < pivot)
      ++i;
    while (values[j] > pivot)
      --j;
    if (i >= j) return j;
    std::swap(values[i], values[j]);
    ++i;
    --j;
  }
}

}  // namespace

void sortIndexValues(std::uint32_t* values, std::size_t n) {
  if (n > kInsertionLimit) {
    // Quicksort leaves runs of at most kInsertionLimit elements unsorted; the final
    // insertion sort finishes them in linear time per run. The larger half goes on the
    // stack, so its depth stays logarithmic.
    std::vector<std::pair<std::size_t, std::size_t>> pending{{0, n - 1}};
    while (!pending.empty()) {
      auto [lo, hi] = pending.back();
      pending.pop_back();
      while (hi - lo + 1 > kInsertionLimit) {
        const std::size_t split = partition(values, lo, hi);
        if (split - lo < hi - split) {
          pending.emplace_back(split + 1, hi);
          hi = split;
        } else {
          pending.emplace_back(lo, split);
          lo = split + 1;
        }
      }
    }
  }
  insertionSort(values, n);
}

void Index::order() {
  const std::size_t n = size();
  if (n == 0) return;
  const std::vector<std::uint32_t> original(begin(), end());
  sortIndexValues(data(), n);
  // Each sorted element is replaced by the position of the first not-yet-used equal value
  // in the original sequence. Equal values form one run of the sorted sequence, so walking
  // the original positions in increasing order and filling each value's run from its start
  // gives exactly that mapping.
  std::vector<std::uint32_t> nextInRun(n, 0);
  std::vector<std::uint32_t> result(n);
  for (std::size_t pos = 0; pos < n; ++pos) {
    const auto runStart =
        static_cast<std::size_t>(std::lower_bound(begin(), end(), original[pos]) - begin());
    result[runStart + nextInRun[runStart]++] = static_cast<std::uint32_t>(pos);
  }
  std::copy(result.begin(), result.end(), begin());
}
