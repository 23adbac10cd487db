#include "qmxmisc/numeric/RandomGenerator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/RefCsv.h"

TEST(RandomGenerator, MatchesIndependentReferenceForSeed12345) {
  // Draws written by tests/ref/numeric/random_seed12345.py from the published parameters.
  const std::vector<RefRow> reference = readRefCsv("numeric", "random_seed12345.csv");
  ASSERT_EQ(reference.size(), 800u);
  RandomGenerator integers(12345);
  RandomGenerator uniforms;
  uniforms.seed(12345);
  for (std::size_t i = 0; i < reference.size(); ++i) {
    ASSERT_EQ(integers.nextUInt32(), std::stoul(reference[i].text("uint32"))) << "draw " << i;
    // Exact: the reference prints 17 significant digits of the same double.
    ASSERT_EQ(uniforms.nextUniform(), reference[i].num("uniform")) << "draw " << i;
  }
  // Reseeding restarts the sequence.
  integers.seed(12345);
  EXPECT_EQ(integers.nextUInt32(), std::stoul(reference[0].text("uint32")));
}

TEST(RandomGenerator, UniformAndIntegerRanges) {
  RandomGenerator generator(2024);
  std::vector<int> counts(6, 0);
  for (int i = 0; i < 60000; ++i) {
    const double u = generator.nextUniform();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    const std::int32_t k = generator.nextInt(-2, 3);
    ASSERT_GE(k, -2);
    ASSERT_LE(k, 3);
    ++counts[k + 2];
  }
  // Each of the 6 values is expected 10000 times; 5 standard deviations is about 460.
  for (int count : counts)
    EXPECT_NEAR(count, 10000, 500);
  EXPECT_EQ(generator.nextInt(4, 4), 4);
  // An empty range gives the marker.
  EXPECT_EQ(generator.nextInt(5, 4), static_cast<std::int32_t>(0x80000000u));
  EXPECT_EQ(RandomGenerator::kBadRange, INT32_MIN);
}
