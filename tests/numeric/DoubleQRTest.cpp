// DoubleQR and the QR-based DoubleMatrix operations against R's qr/lm.fit (tests/ref/numeric).
#include "qmxmisc/numeric/DoubleQR.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/LlsTestSupport.h"
#include "numeric/TestSupport.h"

namespace {
// mtcars: intercept + 10 predictors, responses mpg, log(disp).
struct Mtcars {
  LlsData d{"mtcars"};
  DoubleMatrix x = d.x(0, 32);
  DoubleMatrix y = d.y(0, 32);
};
}  // namespace

// Q (from dorgqr) times R gives X with its columns in pivot order, to 1e-12 of the scale of X.
TEST(DoubleQR, QTimesRReproducesPivotedX) {
  const Mtcars mt;
  const DoubleQR qr = mt.x.qr(true);
  const DoubleMatrix q = qr.Q(true);
  ASSERT_EQ(q.getNRow(), 32);
  ASSERT_EQ(q.getNCol(), 32);
  const DoubleMatrix product = blockOf(q, 0, 32, 0, 11) * qr.R(true);
  DoubleMatrix pivoted(32, 11);
  for (long j = 0; j < 11; ++j) {
    for (long i = 0; i < 32; ++i)
      pivoted(i, j) = mt.x(i, qr.pivot()[j] - 1);
  }
  double scale = 0.0;
  for (long k = 0; k < pivoted.size(); ++k)
    scale = std::max(scale, std::fabs(pivoted[k]));
  for (long k = 0; k < pivoted.size(); ++k)
    EXPECT_NEAR(product[k], pivoted[k], 1e-12 * scale);
  // Q is orthogonal: Q'Q = I.
  const DoubleMatrix qtq = q.crossprod(true);
  for (long i = 0; i < 32; ++i) {
    for (long j = 0; j < 32; ++j)
      EXPECT_NEAR(qtq(i, j), i == j ? 1.0 : 0.0, 1e-13);
  }
  // R is upper triangular and the first nFixed pivot entry stays 1.
  const DoubleMatrix r = mt.x.qr(1, true, false).R(true);
  EXPECT_EQ(mt.x.qr(1, true, false).pivot()[0], 1);
  for (long j = 0; j < 11; ++j) {
    for (long i = j + 1; i < 11; ++i)
      EXPECT_EQ(r(i, j), 0.0);
  }
}

// For each fit of lls_fits.csv: solve() gives R's lm.fit coefficients and Rinv Rinv' its
// (X'X)^-1 (1e-10 relative, Longley's condition number ~1e9 included); Q'y carries the
// explained sum of squares, so |y|^2 - |Q'y|^2 is the residual sum of squares.
TEST(DoubleQR, SolveRinvAndQtyMatchLmFit) {
  for (const RefRow& fit : readRefCsv("numeric", "lls_fits.csv")) {
    const LlsData d(fit.text("name"));
    if (d.w >= 0) continue;
    const DoubleMatrix x = d.x(0, d.rows()), y = d.y(0, d.rows());
    expectNear(x.solve(y, 1e-13, true), readRef(fit.text("coef")), 1e-10, fit.text("name"));
    const DoubleQR qr = x.qr(true);
    const DoubleMatrix rinv = qr.Rinv(1e-13, true);
    expectNear(rinv.multiply(rinv, TransOp::kArg, true), readRef(fit.text("xtxinv")), 1e-10,
               fit.text("name") + " XtXinv");
    const DoubleMatrix qty = qr.qty(y, true);
    ASSERT_EQ(qty.getNRow(), d.nx);
    const DoubleMatrix scpe = readRef(fit.text("scpe"));
    for (long k = 0; k < d.ny; ++k) {
      double yy = 0.0, explained = 0.0;
      for (long i = 0; i < d.rows(); ++i)
        yy += y(i, k) * y(i, k);
      for (long i = 0; i < d.nx; ++i)
        explained += qty(i, k) * qty(i, k);
      EXPECT_NEAR(yy - explained, scpe(k, k), 1e-8 * scpe(k, k)) << fit.text("name");
    }
  }
}

// Third column = first + second: rank 2 at 1e-7, exactly one coefficient 0 (the column pivoted
// last), fitted values as R's; with nFixed = 1 the first column is never dropped.
TEST(DoubleQR, RankDeficientDesignAliasesOneColumn) {
  const LlsData d("rankdef");
  const DoubleMatrix x = d.x(0, d.rows()), y = d.y(0, d.rows());
  const DoubleMatrix fit = readRef("lls_rankdef_fit.csv");
  const DoubleQR qr = x.qr(true);
  EXPECT_EQ(qr.rank(1e-7, true), static_cast<long>(fit(0, 0)));
  EXPECT_EQ(x.rank(1e-7, true), 2);
  const DoubleMatrix beta = qr.solve(y, 1e-7, true);
  EXPECT_EQ(beta(qr.pivot()[2] - 1, 0), 0.0);
  EXPECT_NE(beta(qr.pivot()[0] - 1, 0), 0.0);
  EXPECT_NE(beta(qr.pivot()[1] - 1, 0), 0.0);
  expectNear(x * beta, readRef("lls_rankdef_fitted.csv"), 1e-10, "fitted");
  // Rinv has a zero row and column for the aliased column.
  const DoubleMatrix rinv = qr.Rinv(1e-7, true);
  const long aliased = qr.pivot()[2] - 1;
  for (long k = 0; k < 3; ++k)
    EXPECT_EQ(rinv(aliased, k), 0.0);

  // A small first column that is a combination of the others is the one pivoted last, unless
  // it is held in front.
  DoubleMatrix z(x);
  for (long i = 0; i < z.getNRow(); ++i)
    z(i, 0) = 0.01 * (x(i, 2) - x(i, 1)) + 0.0 * x(i, 0);
  const DoubleMatrix free = z.solve(y, 1e-7, true);
  EXPECT_EQ(free(0, 0), 0.0);
  const DoubleQR fixedQr = z.qr(1, true, false);
  EXPECT_EQ(fixedQr.pivot()[0], 1);
  const DoubleMatrix fixed = fixedQr.solve(y, 1e-7, true);
  EXPECT_NE(fixed(0, 0), 0.0);
  EXPECT_EQ(fixed(fixedQr.pivot()[2] - 1, 0), 0.0);
}

// A wide system (fewer rows than columns) solves to ncol rows with zeros past the rank.
TEST(DoubleQR, WideSystemSolvesToNcolRows) {
  const DoubleMatrix a = fromRows({{1, 2, 3}, {4, 5, 7}});
  const DoubleMatrix b = fromRows({{1}, {2}});
  const DoubleQR qr = a.qr(true);
  EXPECT_EQ(qr.rank(1e-13, true), 2);
  const DoubleMatrix x = qr.solve(b, 1e-13, true);
  ASSERT_EQ(x.getNRow(), 3);
  EXPECT_EQ(x(qr.pivot()[2] - 1, 0), 0.0);
  const DoubleMatrix ax = a * x;
  EXPECT_NEAR(ax(0, 0), 1.0, 1e-13);
  EXPECT_NEAR(ax(1, 0), 2.0, 1e-13);
}

// Inverse, condition numbers and the messages of inverse and validation.
TEST(DoubleQR, InverseConditionAndMessages) {
  const DoubleMatrix a = fromRows({{4, 1, 0}, {1, 3, 1}, {0, 1, 2}});
  const DoubleMatrix product = a * a.inverse(1e-13, true);
  for (long i = 0; i < 3; ++i) {
    for (long j = 0; j < 3; ++j)
      EXPECT_NEAR(product(i, j), i == j ? 1.0 : 0.0, 1e-14);
  }
  // diag(1, 10): ||R||_1 ||R^-1||_1 = 10 in both norms.
  const DoubleMatrix d = fromRows({{1, 0}, {0, 10}});
  EXPECT_NEAR(d.rcond(true, true), 0.1, 1e-15);
  EXPECT_NEAR(d.rcond(false, true), 0.1, 1e-15);
  EXPECT_NEAR(d.conditionNumber(true), 10.0, 1e-13);
  EXPECT_NEAR(d.qr(true).conditionNumber(false), 10.0, 1e-13);

  EXPECT_EQ(thrownMessage([] {
              fromRows({{1, 2, 3}, {4, 5, 6}}).inverse(1e-13, true);
            }),
            "the matrix is not square: dim=(2,3)");
  EXPECT_EQ(thrownMessage([] {
              fromRows({{1, 2}, {1, 2}}).inverse(1e-13, true);
            }),
            "the matrix is apperantly singular: rank = 1");
  // An empty decomposition answers with the bad-argument values instead of throwing.
  EXPECT_EQ(DoubleQR().rank(1e-13, false), -1);
  EXPECT_EQ(DoubleQR().rcond(true, false), -1.0);
  EXPECT_EQ(DoubleQR().qrDecompose(0), -1);
  EXPECT_EQ(thrownMessage([] { DoubleQR().validate(); }), "bad DoubleQR");
  EXPECT_EQ(thrownMessage([] { DoubleQR().R(true); }), "bad DoubleQR");
  EXPECT_EQ(thrownMessage([] {
              DoubleMatrix m(2, 2);
              m.qrDecompose(0);
            }),
            "qrDecompose needs a DoubleQR (isQR() is false)");
}

// The interface slots of a plain matrix decompose a copy and agree with the DoubleQR answers;
// resize keeps tau and pivot one per column.
TEST(DoubleQR, InterfaceSlotsAndShape) {
  const Mtcars mt;
  const DoubleQR qr = mt.x.qr(true);
  EXPECT_EQ(mt.x.qrRank(1e-7), 11);
  EXPECT_EQ(qr.qrRank(1e-7), 11);
  EXPECT_DOUBLE_EQ(mt.x.qrRcond(true), qr.rcond(true, true));
  EXPECT_DOUBLE_EQ(mt.x.qrConditionNumber(), 1.0 / qr.rcond(true, true));
  DoubleMatrix solved(mt.y);
  EXPECT_EQ(mt.x.qrSolveInto(solved, 1e-7), 11);
  expectNear(solved, readRef("lls_mtcars_coef.csv"), 1e-10, "qrSolveInto");
  DoubleMatrix rinv;
  EXPECT_EQ(mt.x.qrRinvInto(rinv, 1e-13), 11);
  expectNear(rinv, qr.Rinv(1e-13, true), 1e-12, "qrRinvInto");

  EXPECT_TRUE(qr.isQR());
  std::unique_ptr<aml::AbstractDoubleMatrix> made = mt.x.createQR(3, 2);
  EXPECT_TRUE(made->isQR());
  EXPECT_FALSE(mt.x.isQR());
  DoubleQR shaped(4, 3);
  EXPECT_TRUE(shaped.isValid());
  shaped.resize(5, 6);
  EXPECT_EQ(shaped.tau().size(), 6u);
  EXPECT_EQ(shaped.pivot().size(), 6u);
  shaped.setPivot(lVector{1, 2});
  EXPECT_FALSE(shaped.isValid());
  // Copies share the matrix block and copy tau and pivot.
  const DoubleQR copy(qr);
  EXPECT_EQ(copy.pivot(), qr.pivot());
  EXPECT_EQ(copy.constData(), qr.constData());
}
