#include "qmxmisc/numeric/Index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "qmxmisc/numeric/RandomGenerator.h"

// Against std::stable_sort: ties, a permutation, empty, one value, sorted and reversed runs,
// sizes around the insertion-sort limit, few and many distinct values, values above 2^31.
TEST(Index, OrderIsTheStableSortingPermutation) {
  std::vector<std::uint32_t> sorted(5000);
  std::iota(sorted.begin(), sorted.end(), 0u);
  std::vector<std::vector<std::uint32_t>> inputs = {
      {30, 10, 30, 20}, {2, 0, 3, 1}, {}, {7}, sorted, {sorted.rbegin(), sorted.rend()}};
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
    std::vector<std::uint32_t> expected(values.size());
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    Index index(values);
    index.order();
    EXPECT_EQ(index.toStd(), expected) << "n=" << values.size();
    std::vector<std::uint32_t> copy = values;
    sortIndexValues(copy.data(), copy.size());
    EXPECT_TRUE(std::is_sorted(copy.begin(), copy.end()));
  }
}
