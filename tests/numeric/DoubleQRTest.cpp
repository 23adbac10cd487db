// DoubleQR and the QR-based DoubleMatrix operations against R's qr/lm.fit (tests/ref/numeric).
#include "qmxmisc/numeric/DoubleQR.h"

#include <gtest/gtest.h>

#include "numeric/LlsTestSupport.h"

namespace {
DoubleMatrix eye(long n) {
  DoubleMatrix m(n, n);
  m.identity();
  return m;
}
}  // namespace

// Q (from dorgqr) times R gives X with its columns in pivot order (1e-12 of max |X| = 472);
// Q'Q = I; R is upper triangular; nFixed = 1 keeps the first column in front.
TEST(DoubleQR, QTimesRReproducesPivotedX) {
  const DoubleMatrix x = LlsData("mtcars").x(0, 32);
  for (const long nFixed : {0L, 1L}) {
    const DoubleQR qr = x.qr(nFixed, true, false);
    const DoubleMatrix q = qr.Q(true), r = qr.R(true), product = blockOf(q, 0, 32, 0, 11) * r;
    for (long j = 0; j < 11; ++j)
      for (long i = 0; i < 32; ++i) {
        EXPECT_NEAR(product(i, j), x(i, qr.pivot()[j] - 1), 1e-12 * 472.0);
        EXPECT_TRUE(i <= j || i >= 11 || r(i, j) == 0.0);
      }
    expectNear(q.crossprod(true), eye(32), 1e-13, "Q'Q");
    EXPECT_TRUE(nFixed == 0 || qr.pivot()[0] == 1);
  }
}

// For each unweighted fit of lls_fits.csv: solve() gives R's lm.fit coefficients, Rinv Rinv'
// its (X'X)^-1 (1e-10 relative, Longley's condition number ~1e9 included), y'y - (Q'y)'Q'y
// its residual cross-products (1e-8); so do the interface slots of a plain matrix.
TEST(DoubleQR, SolveRinvAndQtyMatchLmFit) {
  for (const RefRow& fit : readRefCsv("numeric", "lls_fits.csv")) {
    const LlsData d(fit.text("name"));
    if (d.w >= 0) continue;
    const DoubleMatrix x = d.x(0, d.rows()), y = d.y(0, d.rows()), coef = readRef(fit.text("coef"));
    expectNear(x.solve(y, 1e-13, true), coef, 1e-10, fit.text("name"));
    const DoubleQR qr = x.qr(true);
    const DoubleMatrix rinv = qr.Rinv(1e-13, true), qty = qr.qty(y, true);
    expectNear(rinv.multiply(rinv, TransOp::kArg, true), readRef(fit.text("xtxinv")), 1e-10, "");
    expectNear(y.crossprod(true) - qty.crossprod(true), readRef(fit.text("scpe")), 1e-8, "SCPE");
    DoubleMatrix solved(y), slotRinv;
    EXPECT_EQ(x.qrSolveInto(solved, 1e-13) + x.qrRinvInto(slotRinv, 1e-13), 2 * d.nx);
    expectNear(solved, coef, 1e-10, "qrSolveInto");
    expectNear(slotRinv, rinv, 1e-12, "qrRinvInto");
    EXPECT_EQ(x.qrRank(1e-13), d.nx);
    EXPECT_DOUBLE_EQ(x.qrConditionNumber(), 1.0 / qr.rcond(true, true));
  }
}

// x1 + x2 = x3: rank 2 at 1e-7 as R's, the column pivoted last has coefficient 0 and a zero
// row in Rinv, fitted values as R's. A small first column that is a combination of the
// others is the one pivoted last, unless nFixed = 1 holds it in front. A wide system solves
// to ncol rows with zeros past the rank.
TEST(DoubleQR, RankDeficientDesignPivotsTheAliasedColumnLast) {
  const LlsData d("rankdef");
  DoubleMatrix x = d.x(0, d.rows()), y = d.y(0, d.rows());
  const DoubleQR qr = x.qr(true);
  EXPECT_EQ(qr.rank(1e-7, true) + x.rank(1e-7, true), 2 * readRef("lls_rankdef_fit.csv")(0, 0));
  const DoubleMatrix beta = qr.solve(y, 1e-7, true), rinv = qr.Rinv(1e-7, true);
  const long aliased = qr.pivot()[2] - 1;
  EXPECT_EQ(beta(aliased, 0) + rinv(aliased, 0) + rinv(aliased, 1) + rinv(aliased, 2), 0.0);
  expectNear(x * beta, readRef("lls_rankdef_fitted.csv"), 1e-10, "fitted");
  for (long i = 0; i < x.getNRow(); ++i)
    x(i, 0) = 0.01 * (x(i, 2) - x(i, 1));
  EXPECT_EQ(x.solve(y, 1e-7, true)(0, 0), 0.0);
  const DoubleQR fixedQr = x.qr(1, true, false);
  const DoubleMatrix fixed = fixedQr.solve(y, 1e-7, true);
  EXPECT_NE(fixed(0, 0), 0.0);
  EXPECT_EQ(fixed(fixedQr.pivot()[2] - 1, 0), 0.0);
  const DoubleMatrix a = parseMatrix("1 2 3 ; 4 5 7"), b = parseMatrix("1 ; 2");
  const DoubleQR wide = a.qr(true);
  const DoubleMatrix solution = wide.solve(b, 1e-13, true);
  EXPECT_EQ(solution(wide.pivot()[2] - 1, 0), 0.0);
  expectNear(a * solution, b, 1e-13, "wide");
}

// Inverse, condition numbers of diag(1, 10), the empty decomposition, shape and messages.
TEST(DoubleQR, InverseConditionShapeAndMessages) {
  const DoubleMatrix a = parseMatrix("4 1 0 ; 1 3 1 ; 0 1 2"), d = parseMatrix("1 0 ; 0 10");
  expectNear(a * a.inverse(1e-13, true), eye(3), 1e-14, "A A^-1");
  EXPECT_NEAR(d.rcond(true, true) + d.rcond(false, true), 0.2, 1e-15);
  EXPECT_NEAR(d.conditionNumber(true) + d.qr(true).conditionNumber(false), 20.0, 1e-13);
  EXPECT_EQ(DoubleQR().rank(1e-13, false) + DoubleQR().rcond(true, false), -2.0);
  EXPECT_EQ(DoubleQR().qrDecompose(0), -1);
  EXPECT_TRUE(DoubleMatrix(1, 1).createQR(3, 2)->isQR());
  DoubleQR shaped(4, 3);
  shaped.resize(5, 6);
  EXPECT_EQ(shaped.tau().size() + shaped.pivot().size(), 12u);
  shaped.setPivot(lVector{1, 2});
  EXPECT_FALSE(shaped.isValid());
  expectMessages("DoubleQR", {{"inverse", [](auto& s) { parseMatrix(s).inverse(1e-13, true); }},
                              {"validate", [](auto&) { DoubleQR().validate(); }},
                              {"R of nothing", [](auto&) { DoubleQR().R(true); }},
                              {"qrDecompose of a plain matrix",
                               [](auto&) { DoubleMatrix(2, 2).qrDecompose(0); }}});
}
