// DoubleLLS: agreement with R's lm.fit / lm.wfit at every chunk size (lls_fits.csv), the
// merge identity over a table of splits (lls_merge_splits.csv), weights, rank deficiency,
// extendR and the messages.
#include "qmxmisc/numeric/DoubleLLS.h"

#include <gtest/gtest.h>

#include "numeric/LlsTestSupport.h"
#include "qmxmisc/numeric/DoubleQR.h"

// Weighted: also the weighted means and centred cross-products of Y and the sum of weights;
// the row of weight 0 counts in N only, and so does a negative weight.
TEST(DoubleLLS, MatchesLmFitAtEveryChunkSize) {
  for (const RefRow& fit : readRefCsv("numeric", "lls_fits.csv")) {
    LlsData d(fit.text("name"));
    for (const long chunk : {1L, 2L, 7L, d.rows(), -7L}) {
      const std::string what = fit.text("name") + " chunk " + std::to_string(chunk);
      if (chunk < 0 && d.w < 0) continue;
      if (chunk < 0) d.data(4, d.w) = -3.0;
      DoubleLLS lls;
      d.fold(lls, 0, d.rows(), std::abs(chunk));
      const LLSResult r = lls.finalize();
      expectNear(r.coef, readRef(fit.text("coef")), fit.num("tol"), what + " coef");
      expectNear(r.scpe, readRef(fit.text("scpe")), fit.num("tol_scpe"), what + " SCPE");
      expectNear(r.xtxInv, readRef(fit.text("xtxinv")), fit.num("tol"), what + " XtXinv");
      EXPECT_EQ(r.n, d.rows()) << what;
      if (d.w < 0) continue;
      expectNear(lls.getSCPY(true), readRef("lls_mtcars_wscpy.csv"), 1e-10, what + " SCPY");
      const DoubleMatrix stats = readRef("lls_mtcars_wystats.csv");  // ybar1, ybar2, sum w, n
      EXPECT_NEAR(lls.getYbar(true)[0], stats(0, 0), 1e-12 * stats(0, 0)) << what;
      EXPECT_NEAR(lls.getYbar(true)[1], stats(0, 1), 1e-12 * stats(0, 1)) << what;
      EXPECT_NEAR(r.sumWt, stats(0, 2), 1e-12) << what;
    }
  }
}

// merge(fold(A), fold(B)) == fold(A ∪ B) to 1e-10 relative (SCPE 1e-9 for Longley's
// cancellation); with an aliased column only the fitted values are determined.
TEST(DoubleLLS, MergeOfTwoPartsEqualsTheFoldOfAllRows) {
  for (const RefRow& split : readRefCsv("numeric", "lls_merge_splits.csv")) {
    const LlsData d(split.text("name"));
    const long at = split.num("split");
    const std::string what = split.text("name") + " split " + split.text("split");
    DoubleLLS whole, a, b;
    d.fold(whole, 0, d.rows(), d.rows());
    d.fold(a, 0, at, split.num("chunk_a"));
    d.fold(b, at, d.rows(), split.num("chunk_b"));
    a.merge(b);
    const LLSResult got = a.finalize(), want = whole.finalize();
    const DoubleMatrix x = d.x(0, d.rows());
    expectNear(x * got.coef, x * want.coef, 1e-10, what + " fitted");
    if (want.rank == d.nx) expectNear(got.xtxInv, want.xtxInv, 1e-10, what + " XtXinv");
    expectNear(got.scpe, want.scpe, 1e-9, what + " SCPE");
    expectNear(a.getSCPY(true), whole.getSCPY(true), 1e-10, what + " SCPY");
    EXPECT_EQ(got.rank * 1000 + got.n, want.rank * 1000 + want.n) << what;
    EXPECT_NEAR(got.sumWt, want.sumWt, 1e-12 * want.sumWt) << what;
  }
}

// x1 + x2 = x3: rank 2, the column pivoted last has coefficient 0 and a zero row in
// (X'X)^-1 in every chunking, R's residual sum of squares; nFixed = 1 keeps column 1. The
// condition of R is that of the direct unpivoted QR.
TEST(DoubleLLS, RankDeficientDesign) {
  const LlsData d("rankdef");
  const double rss = readRef("lls_rankdef_fit.csv")(0, 1);
  for (const long chunk : {1L, 2L, 7L, d.rows()}) {
    for (const long nFixed : {0L, 1L}) {
      DoubleLLS lls;
      d.fold(lls, 0, d.rows(), chunk, nFixed);
      const long aliased = lls.getPivot(true)[2] - 1;
      const DoubleMatrix beta = lls.coef(1e-7, true), cov = lls.XtXinv(1e-7, true);
      EXPECT_EQ(lls.rank(1e-7, true), 2);
      EXPECT_EQ(beta(aliased, 0) + cov(aliased, 0) + cov(aliased, 1) + cov(aliased, 2), 0.0);
      EXPECT_TRUE(nFixed == 0 || lls.getPivot(true)[0] == 1);
      EXPECT_NEAR(lls.SCPE(true)(0, 0), rss, 1e-9 * rss);
    }
  }
  const DoubleMatrix x = d.x(0, d.rows());
  const DoubleLLS direct(x, d.y(0, d.rows()), 0);
  const DoubleQR unpivoted = x.qr(x.getNCol(), true, false);
  EXPECT_NEAR(direct.rcond(true, true), unpivoted.rcond(true, true), 1e-15);
  EXPECT_NEAR(direct.conditionNumber(false), 1.0 / unpivoted.rcond(false, true),
              1e-6 * direct.conditionNumber(false));
}

// extendR((2)) on a 3-column fit: pivot entries >= 2 move up, 2 is appended, R and QTY grow
// by a zero row and column, and the new column is aliased.
TEST(DoubleLLS, ExtendRShiftsPivotAndAppends) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  DoubleLLS lls(blockOf(data, 0, 30, 0, 3), blockOf(data, 0, 30, 3, 1), 0);
  const lVector before = lls.getPivot(true);
  const DoubleMatrix rBefore = lls.getR(true);
  lls.extendR(lVector{2});
  const lVector after = lls.getPivot(true);
  const DoubleMatrix r = lls.getR(true);
  for (std::size_t k = 0; k < 3; ++k)
    EXPECT_EQ(after[k], before[k] >= 2 ? before[k] + 1 : before[k]);
  EXPECT_EQ(after[3] * 100 + r.getNRow() * 10 + lls.getQTY(true).getNRow(), 244);
  for (long k = 0; k < 4; ++k)
    EXPECT_EQ(r(3, k) + r(k, 3), 0.0);
  EXPECT_EQ(r(2, 2), rBefore(2, 2));
  EXPECT_EQ(lls.coef(1e-13, true)(1, 0), 0.0);
}

TEST(DoubleLLS, Messages) {
  DoubleLLS lls;
  EXPECT_FALSE(lls.finalize().coef.isValid());
  const auto rowBind = [&](auto& s) {
    lls.rowBind(sized(longs(s)[0], 2), DoubleMatrix(longs(s)[1], 1), DoubleMatrix(), 0);
  };
  expectMessages("DoubleLLS", {{"validate", [&](auto&) { lls.validate(); }},
                               {"coef", [&](auto&) { lls.coef(1e-13, true); }},
                               {"getN", [&](auto&) { lls.getN(true); }},
                               {"rowBind", rowBind}});
}
