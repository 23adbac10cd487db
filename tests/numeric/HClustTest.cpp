// hclustCut against R's hclust(dist(x)^2, method) + cutree(tree, k) on the jittered unique
// iris rows (tests/ref/numeric/hclust_iris.R), small cases and its argument errors. The
// group means of the same references are checked through AbstractDoubleMatrix::hclustCenters.
#include "qmxmisc/numeric/HClust.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "numeric/TestSupport.h"

// Exact agreement of every membership (7 methods x k = 2..6 x 149 rows).
TEST(HClust, MembershipsMatchRForAllMethodsAndK2To6) {
  const DoubleMatrix x = fromRows(readRefNumbers("numeric", "hclust_iris_data.csv"));
  std::map<std::pair<int, int>, std::vector<int>> expected;  // method, k, row, group
  for (const auto& record : readRefNumbers("numeric", "hclust_iris_groups.csv"))
    expected[{record[0], record[1]}].push_back(record[3]);
  ASSERT_EQ(expected.size(), 35u);
  for (const auto& [key, want] : expected)
    EXPECT_EQ(hclustCut(x.constData(), 149, 4, 149, key.second, key.first), want)
        << "method " << key.first << " k " << key.second;
}

// Two well separated pairs plus a far point, stored with a leading dimension of 7, cut into
// 1, 3 and 5 groups by every method; one row. Joining rows 1 and 2 of `renew` puts their
// centroid (0, 1) at squared distance 1.0 from row 0, closer than row 0's nearest neighbour
// so far (row 3, 1.21): R's centroid and median trees then join 0 with the pair.
TEST(HClust, LeadingDimensionSmallCasesAndRenewedNeighbours) {
  std::vector<double> x(14, 999.0);
  const double rows[5][2] = {{0, 0}, {10, 10}, {0.1, 0}, {10, 10.2}, {50, -40}};
  for (int rowIdx = 0; rowIdx < 5; ++rowIdx)
    x[rowIdx] = rows[rowIdx][0], x[rowIdx + 7] = rows[rowIdx][1];
  for (int method = 1; method <= 7; ++method) {
    EXPECT_EQ(hclustCut(x.data(), 5, 2, 7, 3, method), (std::vector<int>{1, 2, 1, 2, 3}));
    EXPECT_EQ(hclustCut(x.data(), 5, 2, 7, 1, method), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(hclustCut(x.data(), 5, 2, 7, 5, method), (std::vector<int>{1, 2, 3, 4, 5}));
  }
  EXPECT_EQ(hclustCut(x.data(), 1, 1, 1, 1, 2), std::vector<int>{1});
  const double renew[] = {0, -0.5, 0.5, 0, 0, 1, 1, -1.1};
  EXPECT_EQ(hclustCut(renew, 4, 2, 4, 2, 7), (std::vector<int>{1, 1, 1, 2}));
  EXPECT_EQ(hclustCut(renew, 4, 2, 4, 2, 6), (std::vector<int>{1, 1, 1, 2}));
}

TEST(HClust, BadArgumentsThrow) {
  const double x[] = {1, 2, 3, 4};
  expectMessages("HClust", {{"hclustCut", [&](auto& s) {
                               const std::vector<long> a = longs(s);  // n, p, ldx, k, method
                               hclustCut(x, a[0], a[1], a[2], static_cast<int>(a[3]),
                                         static_cast<int>(a[4]));
                             }}});
}
