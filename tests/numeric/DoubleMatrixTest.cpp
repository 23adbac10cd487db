#include "qmxmisc/numeric/DoubleMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

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

TEST(DoubleMatrix, CopyOnWriteIsolatesCopies) {
  DoubleMatrix a = fromRows({{1, 2}, {3, 4}});
  DoubleMatrix b;
  b = a;
  const TMatrix<double> t = a;
  EXPECT_EQ(a.useCount(), 3u);
  // Writes through the interface pointer unshare too.
  aml::AbstractDoubleMatrix& face = b;
  *face.getPtr(1, 0) = -3.0;
  EXPECT_EQ(std::as_const(a)(1, 0), 3.0);
  EXPECT_EQ(std::as_const(b)(1, 0), -3.0);
  EXPECT_EQ(t(1, 0), 3.0);
  // Reading through the interface never copies.
  const aml::AbstractDoubleMatrix& reader = a;
  EXPECT_EQ(*reader.getConstPtr(1, 1), 4.0);
  EXPECT_EQ(a.useCount(), 2u);
  DoubleMatrix fromT(t);
  EXPECT_EQ(fromT.constData(), t.constData());
  // Arithmetic leaves its operands unchanged and shares nothing with them.
  const DoubleMatrix sum = a + b;
  expectNear(a, fromRows({{1, 2}, {3, 4}}));
  expectNear(sum, fromRows({{2, 4}, {0, 8}}));
}

TEST(DoubleMatrix, BindRules) {
  const DoubleMatrix b = fromRows({{1, 2, 3}, {4, 5, 6}});
  DoubleMatrix empty;
  empty.rowBind(b, false);
  EXPECT_EQ(empty.constData(), b.constData());
  DoubleMatrix top = fromRows({{7, 8}, {9, 10}});
  top.rowBind(b, true);
  expectNear(top, fromRows({{7, 8, 0}, {9, 10, 0}, {1, 2, 3}, {4, 5, 6}}));
  DoubleMatrix left = fromRows({{7}, {8}, {9}});
  left.colBind(b, true);
  expectNear(left, fromRows({{7, 1, 2, 3}, {8, 4, 5, 6}, {9, 0, 0, 0}}));
  DoubleMatrix emptyCols;
  emptyCols.colBind(b, false);
  expectNear(emptyCols, b);
  // Names survive only as the resize keeps them.
  DoubleMatrix named(2, 1, std::vector<std::string>{"r1", "r2"}, std::vector<std::string>{"c"});
  named.colBind(b, true);
  ASSERT_EQ(named.getColNames().size(), 4u);
  EXPECT_EQ(named.getColNames()[0].str(), "c");
  EXPECT_EQ(named.getColNames()[3].str(), "");
  EXPECT_EQ(named.getRowNames()[1].str(), "r2");
}

TEST(DoubleMatrix, ScaleCentresAndDividesWithZeroScaleAsOne) {
  const DoubleMatrix x = fromRows({{1, 10, 5}, {3, 20, 7}});
  const DoubleMatrix center = fromRows({{2, 15, 1}});
  const DoubleMatrix scale = fromRows({{2}, {5}, {0}});  // any shape with p elements
  expectNear(x.scale(center, scale, true), fromRows({{-0.5, -1, 4}, {0.5, 1, 6}}));
  const TMatrix<double>& centerT = center;
  const TMatrix<double>& scaleT = scale;
  expectNear(x.scale(centerT, scaleT, true), fromRows({{-0.5, -1, 4}, {0.5, 1, 6}}));
}

TEST(DoubleMatrix, ScalarAndElementwiseOperators) {
  const DoubleMatrix x = fromRows({{1, -2}, {3, 4}});
  expectNear(x.binaryOp(2.0, '/', true), fromRows({{0, 0}, {0, 0}}));
  expectNear(x * 3.0, fromRows({{3, -6}, {9, 12}}));
  expectNear(x + 1.0, fromRows({{2, -1}, {4, 5}}));
  expectNear(x - 1.0, fromRows({{0, -3}, {2, 3}}));
  expectNear(x - x, fromRows({{0, 0}, {0, 0}}));
  const TMatrix<double> t = x;
  expectNear(x + t, fromRows({{2, -4}, {6, 8}}));
  expectNear(x - t, fromRows({{0, 0}, {0, 0}}));
  expectNear(x.binaryOp(x, '*', true), fromRows({{2, -4}, {6, 8}}));  // only '-' subtracts
}

TEST(DoubleMatrix, CholeskiFactorReproducesTheMatrix) {
  const DoubleMatrix a = fromRows({{4, 2, 2}, {2, 3, 1}, {2, 1, 6}});
  const DoubleMatrix r = a.choleski(true);
  // R is upper triangular with R'R = A.
  EXPECT_EQ(r(1, 0), 0.0);
  EXPECT_EQ(r(2, 0), 0.0);
  EXPECT_EQ(r(2, 1), 0.0);
  expectNear(r.crossprod(true), a);
  EXPECT_NEAR(r(0, 0), 2.0, kTol);
  EXPECT_NEAR(r(0, 1), 1.0, kTol);
  EXPECT_NEAR(r(1, 1), std::sqrt(2.0), kTol);
  // A non-square matrix uses its leading square block; only the upper triangle is read.
  const DoubleMatrix tall = fromRows({{4, 2}, {99, 3}, {7, 7}});
  expectNear(tall.choleski(true), fromRows({{2, 1}, {0, std::sqrt(2.0)}}));
}

TEST(DoubleMatrix, BacksolveSolvesBothTriangles) {
  const DoubleMatrix r = fromRows({{2, 1}, {0, 4}});
  const DoubleMatrix b = fromRows({{4, 2}, {8, 4}});
  expectNear(r.backsolve(b, TransOp::kNone, true), fromRows({{1, 0.5}, {2, 1}}));
  expectNear(r.backsolve(b, TransOp::kThis, true), fromRows({{2, 1}, {1.5, 0.75}}));
  // B used transposed: its rows are the right-hand sides.
  const DoubleMatrix bt = fromRows({{4, 8}, {2, 4}, {6, 12}});
  expectNear(r.backsolve(bt, TransOp::kArg, true), fromRows({{1, 0.5, 1.5}, {2, 1, 3}}));
  expectNear(r.backsolve(bt, TransOp::kBoth, true), fromRows({{2, 1, 3}, {1.5, 0.75, 2.25}}));
  // Extra rows of B are ignored; the result has k rows.
  expectNear(r.backsolve(fromRows({{4}, {8}, {100}}), TransOp::kNone, true), fromRows({{1}, {2}}));
}

TEST(DoubleMatrix, Messages) {
  const DoubleMatrix x = fromRows({{1, 2}, {3, 4}, {5, 6}});
  const DoubleMatrix r = fromRows({{2, 1}, {0, 4}});
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] { DoubleMatrix().validate(); }, "bad DoubleMatrix"},
      {[&] { DoubleMatrix().multiply(x, TransOp::kNone, true); }, "bad DoubleMatrix"},
      {[&] { DoubleMatrix().rowBind(x, true); }, "bad DoubleMatrix"},
      {[&] { x + DoubleMatrix(); }, "invalid object"},
      {[&] { x* DoubleMatrix(); }, "invalid object"},
      {[&] { x.crossprod(DoubleMatrix(), true); }, "invalid object"},
      {[&] { x + r; }, "invalid dimensions for binary operation +"},
      {[&] {
         x - fromRows({{1, 2, 3}, {4, 5, 6}});
       },
       "invalid dimensions for binary operation -"},
      {[&] {
         x.scale(fromRows({{1, 2, 3}}), fromRows({{1, 1}}), true);
       },
       "Cannot scale a 3 x 2 matrix with a center vector of length 3"},
      {[&] {
         x.scale(fromRows({{1, 2}}), DoubleMatrix(), true);
       },
       "Cannot scale a 3 x 2 matrix with a scale vector of length 0"},
      {[] {
         fromRows({{1, 2}, {2, 1}}).choleski(true);
       },
       "choleski factorization failed: the matrix is not positive definite"},
      {[&] {
         r.backsolve(fromRows({{1, 2, 3}}), TransOp::kNone, true);
       },
       "Invalid right hand size for computing back solve"},
      {[&] {
         r.backsolve(fromRows({{1}, {2}}), TransOp::kArg, true);
       },
       "Invalid right hand size for computing back solve"},
      {[] {
         fromRows({{1, 0}, {0, 0}}).backsolve(fromRows({{1}, {1}}), TransOp::kNone, true);
       },
       "backsolve failed: invalid choleski matrix or right hand size"},
      {[] {
         fromRows({{-1, 0}, {0, -1}}).backsolve(fromRows({{1}, {1}}), TransOp::kNone, true);
       },
       "backsolve failed: invalid choleski matrix or right hand size"},
      {[] {
         fromRows({{1e-7, 0}, {0, 1e-7}}).backsolve(fromRows({{1}, {1}}), TransOp::kNone, true);
       },
       "backsolve failed: invalid choleski matrix or right hand size"},
  };
  for (const auto& [action, message] : cases)
    EXPECT_EQ(thrownMessage(action), message);
}

TEST(DoubleMatrix, ConstructorsAndResizeForms) {
  const double data[] = {1, 2, 3, 4, 5, 6};
  const DoubleMatrix named(data, 3, 2, std::vector<std::string>{"a", "b", "c"},
                           std::vector<std::string>{"x", "y"});
  EXPECT_EQ(named(2, 1), 6.0);
  EXPECT_EQ(named.getRowNames()[2].str(), "c");
  EXPECT_EQ(named.getColNames()[1].str(), "y");
  const DoubleMatrix column(data, 3L, strVector{"p", "q", "r"});
  EXPECT_EQ(column.getNCol(), 1);
  EXPECT_EQ(column(2), 3.0);
  EXPECT_EQ(column.getRowNames()[0].str(), "p");
  const DoubleMatrix zeros(2L, strVector{"u", "v"});
  EXPECT_EQ(zeros.getNRow(), 2);
  const DoubleMatrix made = DoubleMatrix::constructor(data, 2L, 3L);
  EXPECT_EQ(made(1, 2), 6.0);
  EXPECT_EQ(DoubleMatrix::constructor(4L).getNRow(), 4);

  DoubleMatrix m(data, 6L);
  m.resize(2, 3);  // int arguments
  EXPECT_EQ(m(1, 2), 6.0);
  aml::AbstractDoubleMatrix& face = m;
  face.resize(3L, 2L);  // keeps the top-left 2 x 2 block
  EXPECT_EQ(valuesOf(m), (std::vector<double>{1, 2, 0, 3, 4, 0}));
  m.resize(1u, 1u);
  EXPECT_EQ(m(0, 0), 1.0);
  m.resize(0, 0);
  EXPECT_FALSE(m.isValid());
  m.init(2, 2);
  EXPECT_EQ(m.sum(), 0.0);
  m.init(named);
  EXPECT_EQ(m.constData(), named.constData());
}
