#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/RandomGenerator.h"

namespace {
using A = const aml::AbstractDoubleMatrix&;
using R = aml::AbstractDoubleMatrix&;
using B = const DoubleMatrix&;

// The answer of an "Into" operation of a through the interface (b: its argument).
MatrixOp into(void (*op)(A, R, B)) {
  return [op](B a, B b) {
    DoubleMatrix result;
    op(a, result, b);
    return result;
  };
}
// A copy of a after an in-place operation (on itself, b: its argument).
MatrixOp inPlace(void (*op)(R, B)) {
  return [op](B a, B b) {
    DoubleMatrix y = a;
    op(y, b);
    return y;
  };
}
}  // namespace

// Means, sweeps, element-wise and in-place operations: the rows of matrix_ops.tsv.
TEST(AbstractDoubleMatrix, OperationsMatchHandComputedResults) {
  std::map<std::string, MatrixOp> ops = {
      {"weightedMeans by column", into([](A a, R r, B b) { a.weightedMeansInto(r, b, true); })},
      {"weightedMeans by row", into([](A a, R r, B b) { a.weightedMeansInto(r, b, false); })},
      {"sweep columns", into([](A a, R r, B b) { a.sweepInto(r, b, true); })},
      {"sweep rows", into([](A a, R r, B b) { a.sweepInto(r, b, false); })},
      {"multiplyColumns", into([](A a, R r, B b) { a.multiplyColumnsInto(r, b, true); })},
      {"multiplyRows", into([](A a, R r, B b) { a.multiplyColumnsInto(r, b, false); })},
      {"scale into itself", inPlace([](R y, B b) { y.scaleInto(y, b(0, 0)); })},
      {"identity", inPlace([](R y, B) { y.identity(); })},
      {"appendRows", inPlace([](R y, B b) { y.appendRows(b); })},
      {"appendColumns", inPlace([](R y, B b) { y.appendColumns(b); })}};
  for (const char op : std::string("*+-/^")) {  // through DoubleMatrix::binaryOp
    ops[std::string("scalarOp ") + op] = [op](B a, B b) { return a.binaryOp(b(0, 0), op, true); };
    ops[std::string("matrixOp ") + op] = [op](B a, B b) { return a.binaryOp(b, op, true); };
  }
  expectMatrixOps("AbstractDoubleMatrix", ops);
  EXPECT_EQ(parseMatrix("1 2 ; 3 4 ; 5 9").sum() + DoubleMatrix().sum(), 24.0);
}

// With replacement: the rows the seed's nextInt draws; without: every row once, for 200 seeds.
TEST(AbstractDoubleMatrix, SampleRowsFollowsTheSeededDraws) {
  DoubleMatrix x(30, 2), drawn(25, 2);
  for (long i = 0; i < 30; ++i)
    x(i, 0) = static_cast<double>(i), x(i, 1) = 1000.0 * static_cast<double>(i);
  x.sampleRowsInto(drawn, true, 77);
  RandomGenerator oracle(77);
  for (long r = 0; r < 25; ++r)
    EXPECT_EQ(drawn(r, 0) + drawn(r, 1), 1001.0 * oracle.nextInt(0, 29));
  for (std::uint32_t seed = 0; seed < 200; ++seed) {
    x.sampleRowsInto(drawn = DoubleMatrix(30, 2), false, seed);
    std::set<double> seen;
    for (long r = 0; r < 30; ++r)
      seen.insert(drawn(r, 1) == 1000 * drawn(r, 0) ? drawn(r, 0) : -1.0);
    ASSERT_EQ(seen.size() + *seen.begin() + *seen.rbegin(), 59.0) << seed;
  }
}

// A clustering given by hand; with group 2 of 3 empty, group 1 is filled and 2 returned.
TEST(AbstractDoubleMatrix, GroupMeansStopAtTheFirstEmptyGroup) {
  const DoubleMatrix x = parseMatrix("1 10 7 ; 3 20 7 ; 5 30 7 ; 7 40 7");
  DoubleMatrix centres(2, 2), partial(3, 2);
  EXPECT_EQ(aml::groupMeansInto(x, centres, {2, 1, 2, 1}, 2), 2);
  EXPECT_EQ(valuesOf(centres), (std::vector<double>{5, 3, 30, 20}));
  EXPECT_EQ(aml::groupMeansInto(x, partial, {1, 3, 1, 3}, 3), 2);
  EXPECT_EQ(valuesOf(partial), (std::vector<double>{3, 0, 0, 20, 0, 0}));
}

// hclust_iris.R: group column means of cutree(hclust(dist(x)^2, method), k), k = 2..6, for
// the seven linkage codes (1e-12 absolute: another summation order); a fifth column of noise
// is not clustered (result.ncol = 4).
TEST(AbstractDoubleMatrix, HclustCentersMatchRReferences) {
  DoubleMatrix x = fromRows(readRefNumbers("numeric", "hclust_iris_data.csv")), noise(149, 1);
  for (long row = 0; row < 149; row += 2)
    noise(row, 0) = 900.0;
  x.colBind(noise, true);
  const auto centres = readRefNumbers("numeric", "hclust_iris_centers.csv");
  ASSERT_EQ(centres.size(), 7u * (2 + 3 + 4 + 5 + 6));
  for (const auto& record : centres) {  // method, k, group, c1..c4
    DoubleMatrix result(1, 4);
    ASSERT_EQ(x.hclustCenters(result, record[1], record[0]), record[1]);
    for (long colIdx = 0; colIdx < 4; ++colIdx)
      EXPECT_NEAR(result(record[2] - 1, colIdx), record[3 + colIdx], 1e-12)
          << record[0] << " " << record[1];
  }
}

namespace {
void sampleInto(const DoubleMatrix& from, const std::vector<long>& shape) {
  DoubleMatrix result = sized(shape[0], shape[1]);
  from.sampleRowsInto(result, true, 1);
}
void centresInto(const DoubleMatrix& from, const std::vector<long>& shapeAndK) {
  DoubleMatrix result = sized(shapeAndK[0], shapeAndK[1]);
  from.hclustCenters(result, shapeAndK[2], 1);
}
}  // namespace

TEST(AbstractDoubleMatrix, Messages) {
  const DoubleMatrix x = parseMatrix("1 2 ; 3 4 ; 5 9");
  expectMessages("AbstractDoubleMatrix",
                 {{"sampleRows", [&](auto& s) { sampleInto(x, longs(s)); }},
                  {"sampleRows of nothing",
                   [](auto&) {
                     sampleInto(DoubleMatrix(), {0, 0});
                   }},
                  {"hclustCenters", [&](auto& s) { centresInto(x, longs(s)); }}});
}
