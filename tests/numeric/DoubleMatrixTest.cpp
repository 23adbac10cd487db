#include "qmxmisc/numeric/DoubleMatrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/TestSupport.h"

namespace {
// Tolerance for BLAS/LAPACK results of small integer problems.
constexpr double kTol = 1e-12;

void expectNear(const DoubleMatrix& actual, const DoubleMatrix& expected) {
  ASSERT_EQ(actual.getNRow(), expected.getNRow());
  ASSERT_EQ(actual.getNCol(), expected.getNCol());
  for (long k = 0; k < actual.size(); ++k) {
    EXPECT_NEAR(actual.constData()[k], expected.constData()[k], kTol) << "element " << k;
  }
}
}  // namespace

TEST(DoubleMatrix, MultiplyAndCrossprodMatchHandComputedProducts) {
  const DoubleMatrix a = fromRows({{1, 2}, {3, 4}, {5, 6}});
  const DoubleMatrix b = fromRows({{1, 0, 2}, {-1, 1, 0}});
  expectNear(a * b, fromRows({{-1, 2, 2}, {-1, 4, 6}, {-1, 6, 10}}));
  expectNear(a.multiply(a, TransOp::kThis, true), fromRows({{35, 44}, {44, 56}}));
  expectNear(a.multiply(a, TransOp::kArg, true),
             fromRows({{5, 11, 17}, {11, 25, 39}, {17, 39, 61}}));
  expectNear(a.multiply(b, TransOp::kBoth, true), fromRows({{11, 2}, {14, 2}}));
  expectNear(a.crossprod(true), fromRows({{35, 44}, {44, 56}}));
  expectNear(a.crossprod(fromRows({{1}, {1}, {1}}), true), fromRows({{9}, {12}}));
}
