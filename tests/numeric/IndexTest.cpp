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

TEST(Index, OrderOfSmallSequence) {
  Index index{30, 10, 30, 20};
  index.order();
  EXPECT_EQ(index.toStd(), (std::vector<std::uint32_t>{1, 3, 0, 2}));
  Index empty;
  empty.order();
  EXPECT_TRUE(empty.empty());
  Index single{7};
  single.order();
  EXPECT_EQ(single.toStd(), (std::vector<std::uint32_t>{0}));
}

TEST(Index, OrderOfPermutationIsItsInverse) {
  Index index{2, 0, 3, 1};
  index.order();
  EXPECT_EQ(index.toStd(), (std::vector<std::uint32_t>{1, 3, 0, 2}));
}

TEST(Index, OrderIsStableOnLargeArraysWithTies) {
  RandomGenerator generator(31);
  // Sizes around the insertion-sort limit and large ones, few distinct values (many ties)
  // and many distinct values, including values above 2^31 (unsigned comparison).
  for (std::uint32_t n : {15u, 16u, 17u, 33u, 100u, 1000u, 20000u}) {
    for (std::int32_t distinct : {3, 50, 1 << 30}) {
      std::vector<std::uint32_t> values(n);
      for (auto& v : values) {
        v = static_cast<std::uint32_t>(generator.nextInt(0, distinct - 1));
        if (distinct > 1000 && (v & 1u)) v |= 0x80000000u;
      }
      Index index(values);
      index.order();
      EXPECT_EQ(index.toStd(), stableOrder(values)) << "n=" << n << " distinct=" << distinct;
    }
  }
  // Already sorted, reversed and constant inputs.
  std::vector<std::uint32_t> sorted(5000);
  std::iota(sorted.begin(), sorted.end(), 0u);
  std::vector<std::uint32_t> reversed(sorted.rbegin(), sorted.rend());
  const std::vector<std::uint32_t> constant(5000, 9u);
  for (const auto& values : {sorted, reversed, constant}) {
    Index index(values);
    index.order();
    EXPECT_EQ(index.toStd(), stableOrder(values));
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
