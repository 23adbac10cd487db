// Index: a sequence of 32-bit unsigned indices (row numbers, term numbers, orderings).
#pragma once

#include <cstdint>

#include "qmxmisc/numeric/Vectors.h"

class Index : public QmxSequence<std::uint32_t> {
 public:
  using QmxSequence<std::uint32_t>::QmxSequence;

  // Replaces the values by their ordering permutation: element i becomes the original
  // position of the i-th smallest value, equal values in order of appearance (the numbers of
  // R's order(x) minus 1). Applied to a permutation of 0..n-1 it yields the inverse
  // permutation. An empty Index is left unchanged.
  void order();
};

// Sorts values ascending in place: insertion sort up to 16 elements, otherwise quicksort
// partitions down to runs of at most 16 finished by one insertion sort pass.
void sortIndexValues(std::uint32_t* values, std::size_t n);
