#include "qmxmisc/numeric/Index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "qmxmisc/numeric/RandomGenerator.h"

namespace {

// The stable ordering permutation, computed by std::stable_sort as the oracle.
std::vector<std::uint32_t> stableOrder(const std::vector<std::uint32_t>& values) {
  std::vector<std::uint32_t> positions(values.size());
  std::iota(positions.begin(), positions.end(), 0u);
  std::stable_sort(positions.begin(), positions.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
  return positions;
}

}  // namespace

TEST(Index, OrderIsTheStableSortingPermutation) {
  // Hand-written cases: ties, a permutation (whose order is its inverse), empty, one value.
  Index small{30, 10, 30, 20};
  small.order();
  EXPECT_EQ(small.toStd(), (std::vector<std::uint32_t>{1, 3, 0, 2}));
  std::vector<std::uint32_t> sorted(5000);
  std::iota(sorted.begin(), sorted.end(), 0u);
  std::vector<std::vector<std::uint32_t>> inputs = {
      {2, 0, 3, 1}, {}, {7}, sorted, {sorted.rbegin(), sorted.rend()}, std::vector(5000, 9u)};
  // Sizes around the insertion-sort limit and large ones, few distinct values (many ties)
  // and many distinct values, including values above 2^31 (unsigned comparison).
  RandomGenerator generator(31);
  for (std::uint32_t n : {15u, 16u, 17u, 33u, 100u, 1000u, 20000u}) {
    for (std::int32_t distinct : {3, 50, 1 << 30}) {
      std::vector<std::uint32_t> values(n);
      for (auto& v : values) {
        v = static_cast<std::uint32_t>(generator.nextInt(0, distinct - 1));
        if (distinct > 1000 && (v & 1u)) v |= 0x80000000u;
      }
      inputs.push_back(values);
    }
  }
  for (const auto& values : inputs) {
    Index index(values);
    index.order();
    EXPECT_EQ(index.toStd(), stableOrder(values)) << "n=" << values.size();
  }
}

TEST(Index, SortValuesAscending) {
  RandomGenerator generator(5);
  std::vector<std::uint32_t> values(500);
  for (auto& v : values)
    v = generator.nextUInt32();
  std::vector<std::uint32_t> expected = values;
  std::sort(expected.begin(), expected.end());
  sortIndexValues(values.data(), values.size());
  EXPECT_EQ(values, expected);
}
