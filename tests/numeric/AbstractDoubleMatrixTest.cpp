#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/RandomGenerator.h"

namespace {
// The answer of an "Into" operation of a through the interface (b: second argument).
MatrixOp into(void (*op)(const aml::AbstractDoubleMatrix&, aml::AbstractDoubleMatrix&,
                         const DoubleMatrix&)) {
  return [op](const DoubleMatrix& a, const DoubleMatrix& b) {
    DoubleMatrix result;
    op(a, result, b);
    return result;
  };
}
}  // namespace

// Means, sweeps, element-wise and in-place operations: the rows of matrix_ops.tsv.
TEST(AbstractDoubleMatrix, OperationsMatchHandComputedResults) {
  using A = const aml::AbstractDoubleMatrix&;
  using R = aml::AbstractDoubleMatrix&;
  using B = const DoubleMatrix&;
  std::map<std::string, MatrixOp> ops = {
      {"weightedMeans by column", into([](A a, R r, B b) { a.weightedMeansInto(r, b, true); })},
      {"weightedMeans by row", into([](A a, R r, B b) { a.weightedMeansInto(r, b, false); })},
      {"sweep columns", into([](A a, R r, B b) { a.sweepInto(r, b, true); })},
      {"sweep rows", into([](A a, R r, B b) { a.sweepInto(r, b, false); })},
      {"multiplyColumns", into([](A a, R r, B b) { a.multiplyColumnsInto(r, b, true); })},
      {"multiplyRows", into([](A a, R r, B b) { a.multiplyColumnsInto(r, b, false); })},
      {"matrixOp +", into([](A a, R r, B b) { a.matrixOpInto(r, b, '+'); })},
      {"matrixOp -", into([](A a, R r, B b) { a.matrixOpInto(r, b, '-'); })},
      {"scale into itself",
       [](B a, B b) {
         DoubleMatrix y = a;
         y.scaleInto(y, b(0, 0));
         return y;
       }},
      {"identity",
       [](B a, B) {
         DoubleMatrix y = a;
         y.identity();
         return y;
       }},
      {"appendRows",
       [](B a, B b) {
         DoubleMatrix y = a;
         y.appendRows(b);
         return y;
       }},
      {"appendColumns", [](B a, B b) {
         DoubleMatrix y = a;
         y.appendColumns(b);
         return y;
       }}};
  for (const char op : std::string("*+-/^"))
    ops[std::string("scalarOp ") + op] = [op](B a, B b) {
      DoubleMatrix result;
      a.scalarOpInto(result, b(0, 0), op);
      return result;
    };
  expectMatrixOps("AbstractDoubleMatrix", ops);
  EXPECT_EQ(parseMatrix("1 2 ; 3 4 ; 5 9").sum() + DoubleMatrix().sum(), 24.0);
  const std::unique_ptr<aml::AbstractDoubleMatrix> made = DoubleMatrix(1, 1).create(2, 5);
  EXPECT_EQ(made->getNRow() * 10 + made->getNCol(), 25);
  EXPECT_EQ(made->sum() + made->eigen(), 0.0);
  EXPECT_FALSE(made->isQR() || made->hasEigen() || made->getTauPtr(0) || made->getPivotPtr(0) ||
               made->getEigenValuesPtr(0) || made->getEigenVectorsPtr(0));
}

TEST(AbstractDoubleMatrix, SampleRowsFollowsTheSeededDraws) {
  DoubleMatrix x(30, 2);
  for (long i = 0; i < 30; ++i)
    x(i, 0) = static_cast<double>(i), x(i, 1) = 100.0 + static_cast<double>(i);
  DoubleMatrix drawn(25, 2);
  x.sampleRowsInto(drawn, true, 77);
  RandomGenerator oracle(77);
  for (long r = 0; r < 25; ++r) {
    const double row = static_cast<double>(oracle.nextInt(0, 29));
    EXPECT_EQ(drawn(r, 0) + 1000 * drawn(r, 1), row + 1000 * (100.0 + row));
  }
  for (std::uint32_t seed = 0; seed < 200; ++seed) {
    DoubleMatrix all(30, 2);
    x.sampleRowsInto(all, false, seed);
    std::set<double> seen;
    for (long r = 0; r < 30; ++r)
      seen.insert(all(r, 0) + 1000 * all(r, 1));
    ASSERT_EQ(seen.size(), 30u) << "seed " << seed;
    ASSERT_EQ(*seen.rbegin() - *seen.begin(), 29 * 1001) << "seed " << seed;
  }
}

TEST(AbstractDoubleMatrix, GroupMeansStopAtTheFirstEmptyGroup) {
  const DoubleMatrix x = parseMatrix("1 10 7 ; 3 20 7 ; 5 30 7 ; 7 40 7");
  DoubleMatrix centres(2, 2);
  EXPECT_EQ(aml::groupMeansInto(x, centres, {2, 1, 2, 1}, 2), 2);
  EXPECT_EQ(valuesOf(centres), (std::vector<double>{5, 3, 30, 20}));
  DoubleMatrix partial(3, 2);  // group 2 of 3 is empty: the fill stops after group 1
  EXPECT_EQ(aml::groupMeansInto(x, partial, {1, 3, 1, 3}, 3), 2);
  EXPECT_EQ(valuesOf(partial), (std::vector<double>{3, 0, 0, 20, 0, 0}));
}

// hclust_iris.R: group column means of cutree(hclust(dist(x)^2, method), k), k = 2..6, for
// the seven linkage codes; a fifth column of noise is not clustered (result.ncol = 4).
TEST(AbstractDoubleMatrix, HclustCentersMatchRReferences) {
  const auto data = readRefNumbers("numeric", "hclust_iris_data.csv");
  DoubleMatrix x(static_cast<long>(data.size()), 5L);
  for (long row = 0; row < x.getNRow(); ++row) {
    for (long colIdx = 0; colIdx < 4; ++colIdx)
      x(row, colIdx) = data[row][colIdx];
    x(row, 4) = row % 2 == 0 ? 900.0 : 0.0;
  }
  std::size_t checked = 0;
  for (const auto& record : readRefNumbers("numeric", "hclust_iris_centers.csv")) {
    DoubleMatrix result(1, 4);  // method, k, group, c1..c4
    ASSERT_EQ(x.hclustCenters(result, static_cast<long>(record[1]), static_cast<int>(record[0])),
              record[1]);
    for (long colIdx = 0; colIdx < 4; ++colIdx)  // other summation order: 1e-12 absolute
      EXPECT_NEAR(result(static_cast<long>(record[2]) - 1, colIdx), record[3 + colIdx], 1e-12)
          << record[0] << " " << record[1];
    ++checked;
  }
  EXPECT_EQ(checked, 7u * (2 + 3 + 4 + 5 + 6));
}

TEST(AbstractDoubleMatrix, Messages) {
  const DoubleMatrix x = parseMatrix("1 2 ; 3 4 ; 5 9");
  const auto sample = [](DoubleMatrix from, DoubleMatrix into) {
    return [=]() mutable { from.sampleRowsInto(into, true, 1); };
  };
  expectMessages("AbstractDoubleMatrix", {{"sample too many", sample(x, DoubleMatrix(4, 2))},
                                          {"sample columns", sample(x, DoubleMatrix(2, 3))},
                                          {"sample empty", sample(DoubleMatrix(), DoubleMatrix())},
                                          {"hclust k 1",
                                           [&] {
                                             DoubleMatrix r(2, 2);
                                             x.hclustCenters(r, 1, 1);
                                           }},
                                          {"hclust no columns", [&] {
                                             DoubleMatrix r;
                                             x.hclustCenters(r, 2, 1);
                                           }}});
}
