// DoubleLLS: chunk invariance, weights, rank deficiency and agreement with R's lm.fit /
// lm.wfit (tests/ref/numeric/lls_*.csv, written by lls_reference.R).
#include "qmxmisc/numeric/DoubleLLS.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/LlsTestSupport.h"
#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/DoubleQR.h"

namespace {

struct Mtcars {
  DoubleMatrix data = readRef("lls_mtcars_data.csv");
  DoubleMatrix x = columnsOf(data, 0, 11);
  DoubleMatrix y = columnsOf(data, 11, 2);
  DoubleMatrix w = columnsOf(data, 13, 1);
};

// Folds the rows of x, y (and w when it is a column) in chunks of `chunk` rows.
DoubleLLS foldInChunks(const DoubleMatrix& x, const DoubleMatrix& y, const DoubleMatrix& w,
                       long chunk, long nFixed) {
  DoubleLLS lls;
  const bool weighted = w.getNRow() == x.getNRow();
  for (long first = 0; first < x.getNRow(); first += chunk) {
    const long count = std::min(chunk, x.getNRow() - first);
    lls.rowBind(rowsOf(x, first, count), rowsOf(y, first, count),
                weighted ? rowsOf(w, first, count) : DoubleMatrix(), nFixed);
  }
  return lls;
}

TMatrix<double> ybarOf(const DoubleLLS& lls) {
  const dVector ybar = lls.getYbar(true);
  return TMatrix<double>(ybar.data(), static_cast<long>(ybar.size()));
}

}  // namespace

// Chunks of 1, 7 and all rows give the same coef, SCPY, Ybar, N and SumWt (1e-10 relative),
// with and without weights.
TEST(DoubleLLS, ChunkSizeDoesNotChangeTheFit) {
  const Mtcars mt;
  for (const bool weighted : {false, true}) {
    const DoubleMatrix w = weighted ? mt.w : DoubleMatrix();
    const DoubleLLS whole = foldInChunks(mt.x, mt.y, w, 32, 1);
    for (const long chunk : {1L, 7L}) {
      const DoubleLLS chunked = foldInChunks(mt.x, mt.y, w, chunk, 1);
      const std::string what =
          std::string(weighted ? "weighted" : "unweighted") + " chunk " + std::to_string(chunk);
      expectNear(chunked.coef(1e-13, true), whole.coef(1e-13, true), 1e-10, what + " coef");
      expectNear(chunked.getSCPY(true), whole.getSCPY(true), 1e-10, what + " SCPY");
      expectNear(ybarOf(chunked), ybarOf(whole), 1e-10, what + " Ybar");
      EXPECT_EQ(chunked.getN(true), 32.0) << what;
      EXPECT_NEAR(chunked.getSumWt(true), whole.getSumWt(true), 1e-12) << what;
    }
  }
}

// Unweighted and weighted fits equal R's lm.fit / lm.wfit: coefficients, residual
// cross-products and (X'X)^-1 to 1e-10 relative; the response statistics are the weighted
// mean and centred cross-products with the zero-weight row still counted in N.
TEST(DoubleLLS, MatchesLmFitOnMtcars) {
  const Mtcars mt;
  const DoubleLLS plain = foldInChunks(mt.x, mt.y, DoubleMatrix(), 7, 1);
  expectNear(plain.coef(1e-13, true), readRef("lls_mtcars_coef.csv"), 1e-10, "coef");
  expectNear(plain.SCPE(true), readRef("lls_mtcars_scpe.csv"), 1e-10, "SCPE");
  expectNear(plain.XtXinv(1e-13, true), readRef("lls_mtcars_xtxinv.csv"), 1e-10, "XtXinv");
  EXPECT_DOUBLE_EQ(plain.getSumWt(true), 32.0);

  const DoubleLLS weighted = foldInChunks(mt.x, mt.y, mt.w, 7, 1);
  expectNear(weighted.coef(1e-13, true), readRef("lls_mtcars_wcoef.csv"), 1e-10, "wcoef");
  expectNear(weighted.SCPE(true), readRef("lls_mtcars_wscpe.csv"), 1e-10, "wSCPE");
  expectNear(weighted.XtXinv(1e-13, true), readRef("lls_mtcars_wxtxinv.csv"), 1e-10, "wXtXinv");
  expectNear(weighted.getSCPY(true), readRef("lls_mtcars_wscpy.csv"), 1e-10, "wSCPY");
  const DoubleMatrix stats = readRef("lls_mtcars_wystats.csv");  // ybar1, ybar2, sum w, n
  expectNear(ybarOf(weighted), columnsOf(stats, 0, 2).crossprod(DoubleMatrix(1, 1) + 1.0, true),
             1e-12, "wYbar");
  EXPECT_NEAR(weighted.getSumWt(true), stats(0, 2), 1e-12);
  EXPECT_EQ(weighted.getN(true), stats(0, 3));
}

// Longley (condition number ~1e9 unscaled): coefficients and (X'X)^-1 to 1e-10; the residual
// sum of squares is a difference of the total and explained sums of squares (about 200 times
// larger), so it is compared at 1e-9.
TEST(DoubleLLS, MatchesLmFitOnLongley) {
  const DoubleMatrix data = readRef("lls_longley_data.csv");
  const DoubleLLS lls =
      foldInChunks(columnsOf(data, 0, 7), columnsOf(data, 7, 1), DoubleMatrix(), 5, 1);
  expectNear(lls.coef(1e-13, true), readRef("lls_longley_coef.csv"), 1e-10, "coef");
  expectNear(lls.SCPE(true), readRef("lls_longley_scpe.csv"), 1e-9, "SCPE");
  expectNear(lls.XtXinv(1e-13, true), readRef("lls_longley_xtxinv.csv"), 1e-10, "XtXinv");
}

// A zero weight removes the row from R, Q'Y and the cross-products but it counts in N.
TEST(DoubleLLS, ZeroWeightRowOnlyCountsInN) {
  const Mtcars mt;
  const DoubleLLS withZero = foldInChunks(mt.x, mt.y, mt.w, 7, 1);
  // The same data without row 4 (the zero-weight row).
  const long n = 31;
  DoubleMatrix x(n, 11), y(n, 2), w(n, 1);
  for (long i = 0, k = 0; i < 32; ++i) {
    if (i == 4) continue;
    for (long j = 0; j < 11; ++j)
      x(k, j) = mt.x(i, j);
    for (long j = 0; j < 2; ++j)
      y(k, j) = mt.y(i, j);
    w(k, 0) = mt.w(i, 0);
    ++k;
  }
  const DoubleLLS without = foldInChunks(x, y, w, 7, 1);
  expectNear(withZero.coef(1e-13, true), without.coef(1e-13, true), 1e-10, "coef");
  expectNear(withZero.getSCPY(true), without.getSCPY(true), 1e-10, "SCPY");
  expectNear(withZero.XtXinv(1e-13, true), without.XtXinv(1e-13, true), 1e-10, "XtXinv");
  EXPECT_EQ(withZero.getN(true), 32.0);
  EXPECT_EQ(without.getN(true), 31.0);
  EXPECT_DOUBLE_EQ(withZero.getSumWt(true), without.getSumWt(true));
  // A negative weight counts as 0 as well.
  DoubleMatrix negative(mt.w);
  negative(4, 0) = -3.0;
  expectNear(foldInChunks(mt.x, mt.y, negative, 7, 1).coef(1e-13, true), without.coef(1e-13, true),
             1e-10, "negative weight");
}

// Third column = first + second: rank 2, one coefficient 0, in every chunking; with nFixed = 1
// the first column is never dropped.
TEST(DoubleLLS, RankDeficientDesign) {
  const DoubleMatrix data = readRef("lls_rankdef_data.csv");
  const DoubleMatrix x = columnsOf(data, 0, 3), y = columnsOf(data, 3, 1);
  const double rss = readRef("lls_rankdef_fit.csv")(0, 1);
  for (const long chunk : {1L, 7L, 25L}) {
    for (const long nFixed : {0L, 1L}) {
      const DoubleLLS lls = foldInChunks(x, y, DoubleMatrix(), chunk, nFixed);
      EXPECT_EQ(lls.rank(1e-7, true), 2);
      const DoubleMatrix beta = lls.coef(1e-7, true);
      const lVector pivot = lls.getPivot(true);
      EXPECT_EQ(beta(pivot[2] - 1, 0), 0.0) << chunk;
      if (nFixed == 1) {
        EXPECT_EQ(pivot[0], 1);
        EXPECT_NE(beta(0, 0), 0.0);
      }
      EXPECT_NEAR(lls.SCPE(true)(0, 0), rss, 1e-9 * rss);
      // Rank-deficient Rinv / XtXinv: zero row and column for the aliased coefficient.
      const DoubleMatrix cov = lls.XtXinv(1e-7, true);
      for (long k = 0; k < 3; ++k)
        EXPECT_EQ(cov(pivot[2] - 1, k), 0.0);
    }
  }
}

// A first chunk of 3 rows for 11 columns still gives an 11 x 11 R; the final fit is R's.
TEST(DoubleLLS, ShortFirstChunkPadsR) {
  const Mtcars mt;
  DoubleLLS lls;
  lls.rowBind(rowsOf(mt.x, 0, 3), rowsOf(mt.y, 0, 3), DoubleMatrix(), 1);
  EXPECT_EQ(lls.getNRow(), 11);
  EXPECT_EQ(lls.getNRCol(), 11);
  EXPECT_EQ(lls.getNQTYCol(), 2);
  EXPECT_EQ(lls.rank(1e-13, true), 3);
  lls.rowBind(rowsOf(mt.x, 3, 29), rowsOf(mt.y, 3, 29), DoubleMatrix(), 1);
  expectNear(lls.coef(1e-13, true), readRef("lls_mtcars_coef.csv"), 1e-10, "coef");
  // One chunk through the two-argument constructor: same R condition as the direct QR.
  const DoubleLLS direct(mt.x, mt.y, 0);
  EXPECT_NEAR(direct.rcond(true, true), mt.x.qr(true).rcond(true, true), 1e-15);
  EXPECT_NEAR(direct.conditionNumber(false), 1.0 / mt.x.qr(true).rcond(false, true), 1e-6);
}

// extendR((2)) on a 3-column fit: pivot entries 2, 3 become 3, 4 and 2 is appended; R and QTY
// grow by a zero column/row.
TEST(DoubleLLS, ExtendRShiftsPivotAndAppends) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  DoubleLLS lls(columnsOf(data, 0, 3), columnsOf(data, 3, 1), 0);
  const lVector before = lls.getPivot(true);
  const DoubleMatrix rBefore = lls.getR(true);
  lls.extendR(lVector{2});
  const lVector after = lls.getPivot(true);
  ASSERT_EQ(after.size(), 4u);
  for (std::size_t k = 0; k < 3; ++k)
    EXPECT_EQ(after[k], before[k] >= 2 ? before[k] + 1 : before[k]);
  EXPECT_EQ(after[3], 2);
  const DoubleMatrix r = lls.getR(true);
  ASSERT_EQ(r.getNRow(), 4);
  ASSERT_EQ(r.getNCol(), 4);
  EXPECT_EQ(lls.getQTY(true).getNRow(), 4);
  for (long k = 0; k < 4; ++k) {
    EXPECT_EQ(r(3, k), 0.0);
    EXPECT_EQ(r(k, 3), 0.0);
  }
  EXPECT_EQ(r(2, 2), rBefore(2, 2));
  // The new column is aliased: coefficient 0 for input column 2 (zero-based 1).
  EXPECT_EQ(lls.coef(1e-13, true)(1, 0), 0.0);
}

// Shape, setters, getters and messages.
TEST(DoubleLLS, ShapeAccessAndMessages) {
  DoubleLLS lls;
  EXPECT_FALSE(lls.isValid());
  EXPECT_EQ(thrownMessage([&] { lls.validate(); }), "bad object");
  EXPECT_EQ(thrownMessage([&] { lls.coef(1e-13, true); }), "bad object");
  EXPECT_EQ(thrownMessage([&] { lls.getN(true); }), "bad object");
  EXPECT_EQ(thrownMessage(
                [&] { lls.rowBind(DoubleMatrix(3, 2), DoubleMatrix(4, 1), DoubleMatrix(), 0); }),
            "wrong number of rows");
  EXPECT_EQ(
      thrownMessage([&] { lls.rowBind(DoubleMatrix(), DoubleMatrix(2, 1), DoubleMatrix(), 0); }),
      "wrong number of rows");
  lls.resize(3, 3, 2);
  EXPECT_TRUE(lls.isValid());
  EXPECT_EQ(lls.getPivot(true).size(), 3u);
  EXPECT_EQ(lls.getSCPY(true).getNRow(), 2);
  EXPECT_EQ(lls.getYbar(true).size(), 2u);
  *lls.getRPtr(1, 2) = 5.0;
  *lls.getQTYPtr(2, 1) = 6.0;
  *lls.getPivotPtr(0) = 3;
  *lls.getSCPYPtr(1, 1) = 7.0;
  *lls.getYbarPtr(1) = 8.0;
  lls.getNRef() = 9.0;
  lls.getSumWtRef() = 10.0;
  EXPECT_EQ(lls.getR(true)(1, 2), 5.0);
  EXPECT_EQ(lls.getQTY(true)(2, 1), 6.0);
  EXPECT_EQ(lls.getPivot(true)[0], 3);
  EXPECT_EQ(lls.getSCPY(true)(1, 1), 7.0);
  EXPECT_EQ(lls.getYbar(true)[1], 8.0);
  EXPECT_EQ(lls.getN(true), 9.0);
  EXPECT_EQ(lls.getSumWt(true), 10.0);
  const DoubleMatrix r = fromRows({{2, 1}, {0, 3}});
  lls.setR(r, true);
  lls.setQTY(fromRows({{1}, {3}}), true);
  lls.setPivot(lVector{2, 1}, true);
  EXPECT_EQ(lls.getR(false).constData(), r.constData());  // setters share the block
  // R beta = QTY with pivot (2, 1): beta_pivot = (0, 1) -> input order (1, 0).
  const DoubleMatrix beta = lls.coef(1e-13, true);
  EXPECT_DOUBLE_EQ(beta(0, 0), 1.0);
  EXPECT_DOUBLE_EQ(beta(1, 0), 0.0);
  const DoubleLLS copy(lls);
  EXPECT_EQ(copy.getN(true), 9.0);
  lls.erase();
  EXPECT_FALSE(lls.isValid());
  EXPECT_EQ(lls.getNRow(), 0);
  EXPECT_TRUE(copy.isValid());
}
