#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/RandomGenerator.h"
#include "support/RefCsv.h"

namespace {

// Tolerance for BLAS results of small exact problems.
constexpr double kTol = 1e-12;

void expectValues(const DoubleMatrix& actual, long nrow, long ncol,
                  const std::vector<std::vector<double>>& rows) {
  ASSERT_EQ(actual.getNRow(), nrow);
  ASSERT_EQ(actual.getNCol(), ncol);
  for (long i = 0; i < nrow; ++i) {
    for (long j = 0; j < ncol; ++j) {
      EXPECT_NEAR(actual.getConstPtr(i, j)[0], rows[i][j], kTol) << "(" << i << "," << j << ")";
    }
  }
}

const DoubleMatrix& sample() {
  static const DoubleMatrix x = fromRows({{1, 2}, {3, 4}, {5, 9}});
  return x;
}

}  // namespace

TEST(AbstractDoubleMatrix, WeightedMeansWithAndWithoutWeights) {
  const aml::AbstractDoubleMatrix& x = sample();
  DoubleMatrix result;
  x.weightedMeansInto(result, fromRows({{1}, {1}, {2}}), true);
  expectValues(result, 2, 1, {{3.5}, {6}});
  x.weightedMeansInto(result, fromRows({{1}, {1}}), true);  // wrong length: plain means
  expectValues(result, 2, 1, {{3}, {5}});
  x.weightedMeansInto(result, DoubleMatrix(), true);
  expectValues(result, 2, 1, {{3}, {5}});
  x.weightedMeansInto(result, fromRows({{1}, {3}}), false);
  expectValues(result, 3, 1, {{1.75}, {3.75}, {8}});
  x.weightedMeansInto(result, fromRows({{1, 3}}), false);  // a row is not a column vector
  expectValues(result, 3, 1, {{1.5}, {3.5}, {7}});
}

TEST(AbstractDoubleMatrix, SweepByColumnAndByRow) {
  DoubleMatrix result;
  sample().sweepInto(result, fromRows({{1, 2}}), true);
  expectValues(result, 3, 2, {{0, 0}, {2, 2}, {4, 7}});
  sample().sweepInto(result, fromRows({{1}, {3}, {5}}), false);
  expectValues(result, 3, 2, {{0, 1}, {0, 1}, {0, 4}});
  expectValues(sample(), 3, 2, {{1, 2}, {3, 4}, {5, 9}});
}

TEST(AbstractDoubleMatrix, ElementwiseOperations) {
  const DoubleMatrix& x = sample();
  DoubleMatrix result;
  x.multiplyColumnsInto(result, fromRows({{2, 10}}), true);
  expectValues(result, 3, 2, {{2, 20}, {6, 40}, {10, 90}});
  x.multiplyColumnsInto(result, fromRows({{1}, {0}, {-1}}), false);
  expectValues(result, 3, 2, {{1, 2}, {0, 0}, {-5, -9}});
  x.scaleInto(result, 0.5);
  expectValues(result, 3, 2, {{0.5, 1}, {1.5, 2}, {2.5, 4.5}});
  EXPECT_EQ(x.sum(), 24.0);
  EXPECT_EQ(DoubleMatrix().sum(), 0.0);
  const DoubleMatrix ones = fromRows({{1, 1}, {1, 1}, {1, 1}});
  x.matrixOpInto(result, ones, '+');
  expectValues(result, 3, 2, {{2, 3}, {4, 5}, {6, 10}});
  x.matrixOpInto(result, ones, '-');
  expectValues(result, 3, 2, {{0, 1}, {2, 3}, {4, 8}});
  const std::vector<std::pair<char, std::vector<std::vector<double>>>> scalarCases = {
      {'*', {{2, 4}, {6, 8}, {10, 18}}}, {'+', {{3, 4}, {5, 6}, {7, 11}}},
      {'-', {{-1, 0}, {1, 2}, {3, 7}}},  {'/', {{0, 0}, {0, 0}, {0, 0}}},
      {'^', {{0, 0}, {0, 0}, {0, 0}}},
  };
  for (const auto& [op, expected] : scalarCases) {
    x.scalarOpInto(result, 2.0, op);
    expectValues(result, 3, 2, expected);
  }
  // An operation into its own operand.
  DoubleMatrix y = x;
  y.scaleInto(y, 2.0);
  expectValues(y, 3, 2, {{2, 4}, {6, 8}, {10, 18}});
  expectValues(x, 3, 2, {{1, 2}, {3, 4}, {5, 9}});
}

TEST(AbstractDoubleMatrix, ZerosIdentityCreateAndEigen) {
  DoubleMatrix square = fromRows({{5, 6}, {7, 8}});
  square.identity();
  expectValues(square, 2, 2, {{1, 0}, {0, 1}});
  DoubleMatrix wide = fromRows({{5, 6, 7}});
  wide.identity();
  expectValues(wide, 1, 3, {{5, 6, 7}});
  wide.zeros();
  expectValues(wide, 1, 3, {{0, 0, 0}});
  DoubleMatrix empty;
  empty.zeros();
  EXPECT_FALSE(empty.isValid());
  const std::unique_ptr<aml::AbstractDoubleMatrix> made = sample().create(2, 5);
  EXPECT_EQ(made->getNRow(), 2);
  EXPECT_EQ(made->getNCol(), 5);
  EXPECT_EQ(made->sum(), 0.0);
  EXPECT_NE(dynamic_cast<DoubleMatrix*>(made.get()), nullptr);
  EXPECT_FALSE(made->isQR());
  EXPECT_FALSE(made->hasEigen());
  EXPECT_EQ(made->getTauPtr(0), nullptr);
  EXPECT_EQ(made->getPivotPtr(0), nullptr);
  EXPECT_EQ(made->getEigenValuesPtr(0), nullptr);
  EXPECT_EQ(made->getEigenVectorsPtr(0), nullptr);
  EXPECT_EQ(made->eigen(), 0);
  made->resize(3, 1);
  EXPECT_EQ(made->getNRow(), 3);
  EXPECT_EQ(made->getNCol(), 1);
}

TEST(AbstractDoubleMatrix, AppendRowsAndColumnsInPlace) {
  DoubleMatrix m = fromRows({{1, 2}, {3, 4}});
  m.appendRows(fromRows({{5, 6, 7}}));
  expectValues(m, 3, 3, {{1, 2, 0}, {3, 4, 0}, {5, 6, 7}});
  DoubleMatrix c = fromRows({{1}, {2}});
  c.appendColumns(fromRows({{3, 4}, {5, 6}, {7, 8}}));
  expectValues(c, 3, 3, {{1, 3, 4}, {2, 5, 6}, {0, 7, 8}});
  DoubleMatrix empty;
  empty.appendColumns(fromRows({{9, 8}}));
  expectValues(empty, 1, 2, {{9, 8}});
}

TEST(AbstractDoubleMatrix, SampleRowsFollowsTheSeededDraws) {
  DoubleMatrix x(30, 2);
  for (long i = 0; i < 30; ++i) {
    x(i, 0) = static_cast<double>(i);
    x(i, 1) = 100.0 + static_cast<double>(i);
  }
  DoubleMatrix drawn(25, 2);
  x.sampleRowsInto(drawn, true, 77);
  RandomGenerator oracle(77);
  for (long r = 0; r < 25; ++r) {
    const double row = static_cast<double>(oracle.nextInt(0, 29));
    EXPECT_EQ(drawn(r, 0), row);
    EXPECT_EQ(drawn(r, 1), 100.0 + row);
  }
  // Draws with replacement repeat rows for this seed; without replacement none repeats.
  std::set<double> withRepeats;
  for (long r = 0; r < 25; ++r)
    withRepeats.insert(drawn(r, 0));
  EXPECT_LT(withRepeats.size(), 25u);
  for (std::uint32_t seed = 0; seed < 200; ++seed) {
    DoubleMatrix all(30, 2);
    x.sampleRowsInto(all, false, seed);
    std::set<double> seen;
    for (long r = 0; r < 30; ++r) {
      seen.insert(all(r, 0));
      EXPECT_EQ(all(r, 1), 100.0 + all(r, 0));
    }
    ASSERT_EQ(seen.size(), 30u) << "seed " << seed;
  }
}

TEST(AbstractDoubleMatrix, Messages) {
  const DoubleMatrix& x = sample();
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] {
         DoubleMatrix r(4, 2);
         x.sampleRowsInto(r, true, 1);
       },
       "bad input args: nSize is too big"},
      {[&] {
         DoubleMatrix r(2, 3);
         x.sampleRowsInto(r, true, 1);
       },
       "bad input args: nCol is not match"},
      {[&] {
         DoubleMatrix r;
         DoubleMatrix().sampleRowsInto(r, true, 1);
       },
       "bad input args: nCol is not match"},
      {[&] {
         DoubleMatrix r(2, 2);
         x.hclustCenters(r, 1, 1);
       },
       "bad input args to AbstractDoubleMatrix::hclustCenters"},
      {[&] {
         DoubleMatrix r;
         x.hclustCenters(r, 2, 1);
       },
       "nCol<1"},
  };
  for (const auto& [action, message] : cases)
    EXPECT_EQ(thrownMessage(action), message);
}

TEST(AbstractDoubleMatrix, GroupMeansStopAtTheFirstEmptyGroup) {
  const DoubleMatrix x = fromRows({{1, 10, 7}, {3, 20, 7}, {5, 30, 7}, {7, 40, 7}});
  DoubleMatrix centres(2, 2);
  // A clustering given by hand: rows 0 and 2 in group 2, rows 1 and 3 in group 1.
  EXPECT_EQ(aml::groupMeansInto(x, centres, {2, 1, 2, 1}, 2), 2);
  expectValues(centres, 2, 2, {{5, 30}, {3, 20}});
  // Group 2 of 3 is empty: group 1 is filled, then the fill stops and 2 is returned.
  DoubleMatrix partial(3, 2);
  EXPECT_EQ(aml::groupMeansInto(x, partial, {1, 3, 1, 3}, 3), 2);
  expectValues(partial, 3, 2, {{3, 20}, {0, 0}, {0, 0}});
}

TEST(AbstractDoubleMatrix, HclustCentersMatchRReferences) {
  // hclust_iris.R: jittered unique iris rows, R's hclust on squared Euclidean distances,
  // cutree into k = 2..6 groups for the seven linkage codes, and the group column means.
  // A fifth column of noise that would change every grouping is not clustered: only
  // result.ncol = 4 columns are used.
  const auto data = readRefNumbers("numeric", "hclust_iris_data.csv");
  const auto centres = readRefNumbers("numeric", "hclust_iris_centers.csv");  // method,k,group,c
  DoubleMatrix x(static_cast<long>(data.size()), 5L);
  for (std::size_t row = 0; row < data.size(); ++row) {
    for (long colIdx = 0; colIdx < 4; ++colIdx)
      x(static_cast<long>(row), colIdx) = data[row][colIdx];
    x(static_cast<long>(row), 4) = row % 2 == 0 ? 900.0 : 0.0;
  }
  std::size_t checked = 0;
  for (int method = 1; method <= 7; ++method) {
    for (long k = 2; k <= 6; ++k) {
      DoubleMatrix result(1, 4);
      ASSERT_EQ(x.hclustCenters(result, k, method), k) << "method " << method << " k " << k;
      ASSERT_EQ(result.getNRow(), k);
      for (const auto& record : centres) {
        if (record[0] != method || record[1] != k) continue;
        const long group = static_cast<long>(record[2]);
        for (long colIdx = 0; colIdx < 4; ++colIdx) {
          // Means of the same rows summed in another order: 1e-12 absolute.
          EXPECT_NEAR(result(group - 1, colIdx), record[3 + colIdx], 1e-12)
              << "method " << method << " k " << k << " group " << group;
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 7u * (2 + 3 + 4 + 5 + 6));
}
