#include "qmxmisc/multivariate/CovNode.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "multivariate/CovTestData.h"

namespace {

TEST(CovNode, FillUsesTheChunksOwnMeansAndReadsEachValueAfresh) {
  // Column 0 holds x = 1, 2, 3, 4 and column 1 holds y = 2, 4, 5, 9 on rows 0, 2, 3, 5;
  // rows 1 and 4 are not used. By hand: sum x 10, sum y 20, SSx 5, SSy 26, cross 11.
  const std::vector<std::vector<double>> columns = {{1, 100, 2, 3, -50, 4}, {2, 7, 4, 5, 8, 9}};
  const std::vector<long> used = {0, 2, 3, 5};
  const long targets[] = {0};
  const long correlations[] = {1, 0};
  long reads = 0;
  CovNode node(1, 2);
  node.fill(used, targets, correlations, [&](long row, long col) {
    ++reads;
    return columns[col][row];
  });
  EXPECT_EQ(node.blockCount, 1);
  EXPECT_EQ(node.rows, 4);
  EXPECT_DOUBLE_EQ(node.targetSums[0], 10.0);
  EXPECT_DOUBLE_EQ(node.targetSumSquares[0], 5.0);
  EXPECT_DOUBLE_EQ(node.correlationSums[0], 20.0);
  EXPECT_DOUBLE_EQ(node.correlationSumSquares[0], 26.0);
  EXPECT_DOUBLE_EQ(node.correlationSums[1], 10.0);
  EXPECT_DOUBLE_EQ(node.correlationSumSquares[1], 5.0);
  EXPECT_DOUBLE_EQ(node.crossProducts[0], 11.0);  // (target 0, correlation 0)
  EXPECT_DOUBLE_EQ(node.crossProducts[1], 5.0);   // (target 0, correlation 1) = SSx
  // Two reads per value for each column's sum and squares, two per value for each pair.
  const long k = 4, t = 1, c = 2;
  EXPECT_EQ(reads, k * (2 * t + 2 * c + 2 * t * c));
}

// Fills a record from rows [first, last) of the table.
CovNode fillRange(const covtest::Table& table, long first, long last) {
  std::vector<long> used(static_cast<std::size_t>(last - first));
  std::iota(used.begin(), used.end(), first);
  const long targets[] = {0, 1};
  const long correlations[] = {2, 3, 4};
  CovNode node(2, 3);
  node.fill(used, targets, correlations, [&](long row, long col) { return table.at(row, col); });
  return node;
}

TEST(CovNode, AbsorbEqualsFillingTheUnionOfRows) {
  const covtest::Table table = covtest::makeTable(1000, 5, 11, 0.0);
  const long splits[] = {1, 2, 500, 999};
  for (const long split : splits) {
    SCOPED_TRACE(split);
    const CovNode whole = fillRange(table, 0, 1000);
    const CovNode older = fillRange(table, 0, split);
    CovNode newer = fillRange(table, split, 1000);
    newer.absorb(older);
    EXPECT_EQ(newer.rows, 1000);
    EXPECT_EQ(newer.blockCount, 2);
    // Tolerance: 1e-12 relative (absolute below magnitude 1).
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_TRUE(covtest::near(newer.targetSums[i], whole.targetSums[i], 1e-12));
      EXPECT_TRUE(covtest::near(newer.targetSumSquares[i], whole.targetSumSquares[i], 1e-12));
    }
    for (std::size_t j = 0; j < 3; ++j) {
      EXPECT_TRUE(covtest::near(newer.correlationSums[j], whole.correlationSums[j], 1e-12));
      EXPECT_TRUE(
          covtest::near(newer.correlationSumSquares[j], whole.correlationSumSquares[j], 1e-12));
    }
    for (std::size_t idx = 0; idx < 6; ++idx)
      EXPECT_TRUE(covtest::near(newer.crossProducts[idx], whole.crossProducts[idx], 1e-12))
          << idx << ": " << newer.crossProducts[idx] << " vs " << whole.crossProducts[idx];
  }
}

}  // namespace
