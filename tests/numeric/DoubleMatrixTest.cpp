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
  using T = const TMatrix<double>&;
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
       {"a+TMatrix", [](auto& a, auto& b) { return a + T(b); }},
       {"a-TMatrix", [](auto& a, auto& b) { return a - T(b); }},
       {"a*s", [](auto& a, auto& b) { return a * b(0, 0); }},
       {"a+s", [](auto& a, auto& b) { return a + b(0, 0); }},
       {"a-s", [](auto& a, auto& b) { return a - b(0, 0); }},
       {"scale", [](auto& a, auto& b) { return a.scale(rowOf(b, 0), rowOf(b, 1), true); }},
       {"scale TMatrix",
        [](auto& a, auto& b) { return a.scale(T(rowOf(b, 0)), T(rowOf(b, 1)), true); }},
       {"choleski", [](auto& a, auto&) { return a.choleski(true); }},
       {"backsolve", [](auto& a, auto& b) { return a.backsolve(b, kNone, true); }},
       {"backsolve r'", [](auto& a, auto& b) { return a.backsolve(b, kThis, true); }},
       {"backsolve b'", [](auto& a, auto& b) { return a.backsolve(b, kArg, true); }},
       {"backsolve r' b'", [](auto& a, auto& b) { return a.backsolve(b, kBoth, true); }},
       {"rowBind", [](auto& a, auto& b) { return bound(a, b, true); }},
       {"colBind", [](auto& a, auto& b) { return bound(a, b, false); }}});
}

// Writes through the interface pointer unshare; reads through it never copy; binding to an
// empty matrix shares the bound block.
TEST(DoubleMatrix, CopyOnWriteThroughTheInterfaceAndNames) {
  DoubleMatrix a = parseMatrix("1 2 ; 3 4"), b = a, empty;
  aml::AbstractDoubleMatrix& face = b;
  *face.getPtr(1, 0) = -3.0;
  EXPECT_EQ(valuesOf(a), (std::vector<double>{1, 3, 2, 4}));
  EXPECT_EQ(std::as_const(b)(1, 0), -3.0);
  EXPECT_EQ(*static_cast<const aml::AbstractDoubleMatrix&>(a).getConstPtr(1, 1), 4.0);
  EXPECT_EQ(a.useCount(), 1u);
  empty.rowBind(b, false);
  EXPECT_EQ(empty.constData(), b.constData());
  const double data[] = {1, 2, 3, 4, 5, 6};
  const DoubleMatrix named(data, 3, 2, std::vector<std::string>{"a", "b", "c"},
                           std::vector<std::string>{"x", "y"});
  EXPECT_EQ(named.getRowNames()[2].str() + named.getColNames()[1].str(), "cy");
  EXPECT_EQ(DoubleMatrix(data, 3L, strVector{"p", "q", "r"}).getRowNames()[0].str(), "p");
  EXPECT_EQ(DoubleMatrix::constructor(data, 2L, 3L)(1, 2), 6.0);
}

TEST(DoubleMatrix, Messages) {
  const DoubleMatrix x = parseMatrix("1 2 ; 3 4 ; 5 6"), r = parseMatrix("2 1 ; 0 4");
  const auto ones = parseMatrix("1 ; 1");
  expectMessages(
      "DoubleMatrix",
      {{"validate", [](auto&) { DoubleMatrix().validate(); }},
       {"multiply empty", [&](auto&) { DoubleMatrix().multiply(x, TransOp::kNone, true); }},
       {"rowBind empty", [&](auto&) { DoubleMatrix().rowBind(x, true); }},
       {"plus", [&](auto& s) { x + parseMatrix(s); }},
       {"minus", [&](auto& s) { x - parseMatrix(s); }},
       {"times", [&](auto& s) { x* parseMatrix(s); }},
       {"crossprod", [&](auto& s) { x.crossprod(parseMatrix(s), true); }},
       {"scale", [&](auto& s) { x.scale(parseMatrix(s), parseMatrix(s), true); }},
       {"scale no scale", [&](auto&) { x.scale(parseMatrix("1 2"), DoubleMatrix(), true); }},
       {"choleski", [](auto& s) { parseMatrix(s).choleski(true); }},
       {"backsolve", [&](auto& s) { r.backsolve(parseMatrix(s), TransOp::kNone, true); }},
       {"backsolve b'", [&](auto& s) { r.backsolve(parseMatrix(s), TransOp::kArg, true); }},
       {"backsolve by", [&](auto& s) { parseMatrix(s).backsolve(ones, TransOp::kNone, true); }}});
}
