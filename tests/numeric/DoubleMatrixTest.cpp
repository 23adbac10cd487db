#include "qmxmisc/numeric/DoubleMatrix.h"

#include <gtest/gtest.h>

#include <utility>

#include "numeric/TestSupport.h"

namespace {
// Row i of m as a 1 x p matrix (the center and scale rows of a scale case).
DoubleMatrix rowOf(const DoubleMatrix& m, long i) {
  return DoubleMatrix(m.getSub(Index{static_cast<std::uint32_t>(i)}, Index{0, 1, 2}));
}
DoubleMatrix bound(DoubleMatrix a, const DoubleMatrix& b, bool byRow) {
  byRow ? a.rowBind(b, a.isValid()) : a.colBind(b, a.isValid());
  return a;
}
}  // namespace

// Products, sums, scaling, Cholesky factor and back-solves: the rows of matrix_ops.tsv.
TEST(DoubleMatrix, OperationsMatchHandComputedResults) {
  using enum TransOp;
  expectMatrixOps(
      "DoubleMatrix",
      {{"a*b", [](auto& a, auto& b) { return a * b; }},
       {"a'b", [](auto& a, auto& b) { return a.multiply(b, kThis, true); }},
       {"ab'", [](auto& a, auto& b) { return a.multiply(b, kArg, true); }},
       {"a'b'", [](auto& a, auto& b) { return a.multiply(b, kBoth, true); }},
       {"crossprod", [](auto& a, auto&) { return a.crossprod(true); }},
       {"crossprod b", [](auto& a, auto& b) { return a.crossprod(b, true); }},
       {"a+b", [](auto& a, auto& b) { return a + b; }},
       {"a-b", [](auto& a, auto& b) { return a - b; }},
       {"a+TMatrix", [](auto& a, auto& b) { return a + static_cast<const TMatrix<double>&>(b); }},
       {"a-TMatrix", [](auto& a, auto& b) { return a - static_cast<const TMatrix<double>&>(b); }},
       {"binaryOp *", [](auto& a, auto& b) { return a.binaryOp(b, '*', true); }},
       {"a*s", [](auto& a, auto& b) { return a * b(0, 0); }},
       {"a+s", [](auto& a, auto& b) { return a + b(0, 0); }},
       {"a-s", [](auto& a, auto& b) { return a - b(0, 0); }},
       {"binaryOp s /", [](auto& a, auto& b) { return a.binaryOp(b(0, 0), '/', true); }},
       {"scale", [](auto& a, auto& b) { return a.scale(rowOf(b, 0), rowOf(b, 1), true); }},
       {"scale TMatrix",
        [](auto& a, auto& b) {
          return a.scale(TMatrix<double>(rowOf(b, 0)), TMatrix<double>(rowOf(b, 1)), true);
        }},
       {"choleski", [](auto& a, auto&) { return a.choleski(true); }},
       {"backsolve", [](auto& a, auto& b) { return a.backsolve(b, kNone, true); }},
       {"backsolve r'", [](auto& a, auto& b) { return a.backsolve(b, kThis, true); }},
       {"backsolve b'", [](auto& a, auto& b) { return a.backsolve(b, kArg, true); }},
       {"backsolve r' b'", [](auto& a, auto& b) { return a.backsolve(b, kBoth, true); }},
       {"rowBind", [](auto& a, auto& b) { return bound(a, b, true); }},
       {"colBind", [](auto& a, auto& b) { return bound(a, b, false); }}});
}

// Writes through the interface pointer unshare; reads through it never copy.
TEST(DoubleMatrix, CopyOnWriteThroughTheInterface) {
  DoubleMatrix a = parseMatrix("1 2 ; 3 4");
  DoubleMatrix b = a;
  const TMatrix<double> t = a;
  aml::AbstractDoubleMatrix& face = b;
  *face.getPtr(1, 0) = -3.0;
  EXPECT_EQ(valuesOf(a), (std::vector<double>{1, 3, 2, 4}));
  EXPECT_EQ(std::as_const(b)(1, 0), -3.0);
  const aml::AbstractDoubleMatrix& reader = a;
  EXPECT_EQ(*reader.getConstPtr(1, 1), 4.0);
  EXPECT_EQ(a.useCount(), 2u);
  EXPECT_EQ(DoubleMatrix(t).constData(), t.constData());
  DoubleMatrix empty;
  empty.rowBind(b, false);
  EXPECT_EQ(empty.constData(), b.constData());
}

TEST(DoubleMatrix, Messages) {
  const DoubleMatrix x = parseMatrix("1 2 ; 3 4 ; 5 6"), r = parseMatrix("2 1 ; 0 4");
  const auto backsolve = [](const char* rText) {
    return [=] { parseMatrix(rText).backsolve(parseMatrix("1 ; 1"), TransOp::kNone, true); };
  };
  expectMessages(
      "DoubleMatrix",
      {{"validate", [] { DoubleMatrix().validate(); }},
       {"multiply empty", [&] { DoubleMatrix().multiply(x, TransOp::kNone, true); }},
       {"rowBind empty", [&] { DoubleMatrix().rowBind(x, true); }},
       {"plus empty", [&] { x + DoubleMatrix(); }},
       {"times empty", [&] { x* DoubleMatrix(); }},
       {"crossprod empty", [&] { x.crossprod(DoubleMatrix(), true); }},
       {"plus shape", [&] { x + r; }},
       {"minus shape", [&] { x - parseMatrix("1 2 3 ; 4 5 6"); }},
       {"scale center", [&] { x.scale(parseMatrix("1 2 3"), parseMatrix("1 1"), true); }},
       {"scale scale", [&] { x.scale(parseMatrix("1 2"), DoubleMatrix(), true); }},
       {"choleski", [] { parseMatrix("1 2 ; 2 1").choleski(true); }},
       {"backsolve rows", [&] { r.backsolve(parseMatrix("1 2 3"), TransOp::kNone, true); }},
       {"backsolve b'", [&] { r.backsolve(parseMatrix("1 ; 2"), TransOp::kArg, true); }},
       {"backsolve zero pivot", backsolve("1 0 ; 0 0")},
       {"backsolve negative", backsolve("-1 0 ; 0 -1")},
       {"backsolve tiny", backsolve("1e-7 0 ; 0 1e-7")}});
}

TEST(DoubleMatrix, NamedConstructorsAndResize) {
  const double data[] = {1, 2, 3, 4, 5, 6};
  const DoubleMatrix named(data, 3, 2, std::vector<std::string>{"a", "b", "c"},
                           std::vector<std::string>{"x", "y"});
  EXPECT_EQ(named(2, 1), 6.0);
  EXPECT_EQ(named.getRowNames()[2].str() + named.getColNames()[1].str(), "cy");
  const DoubleMatrix column(data, 3L, strVector{"p", "q", "r"});
  EXPECT_EQ(column.getRowNames()[0].str(), "p");
  EXPECT_EQ(DoubleMatrix::constructor(data, 2L, 3L)(1, 2), 6.0);
  DoubleMatrix m(data, 6L);
  m.resize(2, 3);  // same size: reshaped
  aml::AbstractDoubleMatrix& face = m;
  face.resize(3L, 2L);  // keeps the top-left 2 x 2 block
  EXPECT_EQ(valuesOf(m), (std::vector<double>{1, 2, 0, 3, 4, 0}));
}
