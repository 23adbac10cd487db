// hclustCut against R's hclust(dist(x)^2, method) + cutree(tree, k) on the jittered unique
// iris rows (tests/ref/numeric/hclust_iris.R), its argument errors and small cases. The group
// means of the same references are checked through AbstractDoubleMatrix::hclustCenters.
#include "qmxmisc/numeric/HClust.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/numeric/HClustInternal.h"
#include "support/RefCsv.h"
#include "support/ThrownMessage.h"

namespace {

// The iris input as a column-major matrix.
std::vector<double> irisMatrix(long* nrow) {
  const auto rows = readRefCsv("numeric", "hclust_iris_data.csv");
  *nrow = static_cast<long>(rows.size());
  std::vector<double> x(rows.size() * 4);
  const char* names[] = {"x1", "x2", "x3", "x4"};
  for (std::size_t rowIdx = 0; rowIdx < rows.size(); ++rowIdx) {
    for (int colIdx = 0; colIdx < 4; ++colIdx) {
      x[rowIdx + colIdx * rows.size()] = rows[rowIdx].num(names[colIdx]);
    }
  }
  return x;
}

TEST(HClust, MembershipsMatchRForAllMethodsAndK2To6) {
  // Exact agreement of every membership (7 methods x 5 values of k x 149 rows).
  long n = 0;
  const std::vector<double> x = irisMatrix(&n);
  ASSERT_EQ(n, 149);
  std::map<std::pair<int, int>, std::vector<int>> expected;
  for (const auto& row : readRefCsv("numeric", "hclust_iris_groups.csv")) {
    auto& groups = expected[{static_cast<int>(row.num("method")), static_cast<int>(row.num("k"))}];
    groups.push_back(static_cast<int>(row.num("group")));
  }
  ASSERT_EQ(expected.size(), 35u);
  for (const auto& [key, want] : expected) {
    const auto [method, k] = key;
    const std::vector<int> got = hclustCut(x.data(), n, 4, n, k, method);
    EXPECT_EQ(got, want) << "method " << method << " k " << k;
  }
}

TEST(HClust, LeadingDimensionAndSmallCases) {
  // Two well separated pairs plus a far point, stored with a leading dimension of 7.
  const long ldx = 7;
  std::vector<double> x(ldx * 2, 999.0);
  const double rows[5][2] = {{0, 0}, {10, 10}, {0.1, 0}, {10, 10.2}, {50, -40}};
  for (int rowIdx = 0; rowIdx < 5; ++rowIdx) {
    x[rowIdx] = rows[rowIdx][0];
    x[rowIdx + ldx] = rows[rowIdx][1];
  }
  for (int method = 1; method <= 7; ++method) {
    EXPECT_EQ(hclustCut(x.data(), 5, 2, ldx, 3, method), (std::vector<int>{1, 2, 1, 2, 3}))
        << method;
    EXPECT_EQ(hclustCut(x.data(), 5, 2, ldx, 1, method), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(hclustCut(x.data(), 5, 2, ldx, 5, method), (std::vector<int>{1, 2, 3, 4, 5}));
  }
  const double one[] = {3.0};
  EXPECT_EQ(hclustCut(one, 1, 1, 1, 1, 2), std::vector<int>{1});
}

TEST(HClust, MergesFollowTheLanceWilliamsUpdates) {
  // Points 0, 1, 3, 7 on a line (squared distances): single joins (0,1) at 1, then 3 at 4,
  // then 7 at 16; complete joins (0,1) at 1, then (0,1) with 3 at 9, then 7 at 49.
  HClustDissimilarity d(4);
  const double pos[] = {0, 1, 3, 7};
  for (long i = 0; i < 4; ++i) {
    for (long j = i + 1; j < 4; ++j)
      d.at(i, j) = (pos[j] - pos[i]) * (pos[j] - pos[i]);
  }
  const auto single = hclustAgglomerate(d, 2);
  ASSERT_EQ(single.size(), 3u);
  EXPECT_EQ(single[0].first, 0);
  EXPECT_EQ(single[0].second, 1);
  EXPECT_EQ(single[0].height, 1.0);
  EXPECT_EQ(single[1].height, 4.0);
  EXPECT_EQ(single[2].height, 16.0);
  const auto complete = hclustAgglomerate(d, 3);
  EXPECT_EQ(complete[1].height, 9.0);
  EXPECT_EQ(complete[2].height, 49.0);
  // Centroid on squared distances: the centroid of {0, 1} is 0.5, 2.5 from 3: 6.25.
  const auto centroid = hclustAgglomerate(d, 7);
  EXPECT_DOUBLE_EQ(centroid[1].height, 6.25);
}

TEST(HClust, CentroidUpdatesRenewEarlierNearestNeighbours) {
  // Joining rows 1 and 2 puts their centroid (0, 1) at squared distance 1.0 from row 0,
  // closer than row 0's nearest neighbour so far (row 3, 1.21): the next merge is 0 with the
  // pair. R: cutree(hclust(dist(x)^2, "centroid" or "median"), 2) gives 1 1 1 2.
  const double x[] = {0, -0.5, 0.5, 0, 0, 1, 1, -1.1};
  EXPECT_EQ(hclustCut(x, 4, 2, 4, 2, 7), (std::vector<int>{1, 1, 1, 2}));
  EXPECT_EQ(hclustCut(x, 4, 2, 4, 2, 6), (std::vector<int>{1, 1, 1, 2}));
}

TEST(HClust, BadArgumentsThrow) {
  const double x[] = {1, 2, 3, 4};
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { hclustCut(x, 0, 1, 1, 1, 1); }, "the number of rows must be at least 1, got 0"},
      {[&] { hclustCut(x, 4, 0, 4, 1, 1); }, "the number of columns must be at least 1, got 0"},
      {[&] { hclustCut(x, 4, 1, 3, 1, 1); },
       "leading dimension 3 is smaller than the number of rows 4"},
      {[&] { hclustCut(x, 4, 1, 4, 2, 0); }, "linkage method must be 1 to 7, got 0"},
      {[&] { hclustCut(x, 4, 1, 4, 2, 8); }, "linkage method must be 1 to 7, got 8"},
      {[&] { hclustCut(x, 4, 1, 4, 0, 1); },
       "number of groups must be 1 to the number of rows 4, got 0"},
      {[&] { hclustCut(x, 4, 1, 4, 5, 1); },
       "number of groups must be 1 to the number of rows 4, got 5"},
  };
  for (const auto& [action, message] : cases)
    EXPECT_EQ(thrownMessage(action), "hclustCut: " + message);
}

}  // namespace
