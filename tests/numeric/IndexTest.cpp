#include "qmxmisc/numeric/Index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "qmxmisc/numeric/RandomGenerator.h"

// Against std::stable_sort: ties, empty, one value, sorted and reversed runs, sizes around
// the insertion-sort limit, few and many distinct values, values above 2^31 (unsigned order).
TEST(Index, OrderIsTheStableSortingPermutationAndSortSorts) {
  std::vector<std::vector<std::uint32_t>> inputs = {{30, 10, 30, 20}, {}, {7}};
  RandomGenerator generator(31);
  for (std::uint32_t n : {15u, 16u, 17u, 33u, 1000u, 20000u}) {
    for (std::uint32_t distinct : {3u, 50u, 1u << 30}) {
      inputs.emplace_back(n);
      for (auto& v : inputs.back())
        v = generator.nextInt(0, distinct - 1) * (distinct > 1000 ? 3u : 1u);
    }
    inputs.emplace_back(n);
    std::iota(inputs.back().begin(), inputs.back().end(), 0u);
    inputs.emplace_back(inputs.back().rbegin(), inputs.back().rend());
  }
  for (const auto& values : inputs) {
    std::vector<std::uint32_t> expected(values.size()), sorted = values;
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    Index index(values);
    index.order();
    EXPECT_EQ(index.toStd(), expected) << "n=" << values.size();
    sortIndexValues(sorted.data(), sorted.size());
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  }
}
