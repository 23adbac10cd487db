// DoubleLLS: agreement with R's lm.fit / lm.wfit at every chunk size (a table of fits in
// tests/ref/numeric/lls_fits.csv), the merge identity over a table of splits, weights, rank
// deficiency, extendR and the messages.
#include "qmxmisc/numeric/DoubleLLS.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "numeric/LlsTestSupport.h"
#include "qmxmisc/numeric/DoubleQR.h"

TEST(DoubleLLS, MatchesLmFitAtEveryChunkSize) {
  for (const RefRow& fit : readRefCsv("numeric", "lls_fits.csv")) {
    const LlsData d(fit.text("name"));
    for (const long chunk : {1L, 2L, 7L, d.rows()}) {
      const std::string what = fit.text("name") + " chunk " + std::to_string(chunk);
      DoubleLLS lls;
      d.fold(lls, 0, d.rows(), chunk);
      const LLSResult r = lls.finalize();
      expectNear(r.coef, readRef(fit.text("coef")), fit.num("tol"), what + " coef");
      expectNear(r.scpe, readRef(fit.text("scpe")), fit.num("tol_scpe"), what + " SCPE");
      expectNear(r.xtxInv, readRef(fit.text("xtxinv")), fit.num("tol"), what + " XtXinv");
      EXPECT_EQ(r.n, d.rows()) << what;
      if (d.w >= 0) {  // the weighted mean and centred cross-products of the responses
        expectNear(lls.getSCPY(true), readRef("lls_mtcars_wscpy.csv"), 1e-10, what + " SCPY");
        const DoubleMatrix stats = readRef("lls_mtcars_wystats.csv");  // ybar1, ybar2, sum w
        for (long k = 0; k < 2; ++k)
          EXPECT_NEAR(lls.getYbar(true)[k], stats(0, k), 1e-12 * stats(0, k)) << what;
        EXPECT_NEAR(r.sumWt, stats(0, 2), 1e-12) << what;
      }
    }
  }
}

// Kernel merge identity: 1e-10 relative, the tolerance of the fits against R (SCPE 1e-9 for
// Longley's cancellation).
TEST(DoubleLLS, MergeOfTwoPartsEqualsTheFoldOfAllRows) {
  for (const RefRow& split : readRefCsv("numeric", "lls_merge_splits.csv")) {
    const LlsData d(split.text("name"));
    const long at = static_cast<long>(split.num("split"));
    const std::string what = split.text("name") + " split " + split.text("split");
    DoubleLLS whole, a, b;
    d.fold(whole, 0, d.rows(), d.rows());
    d.fold(a, 0, at, static_cast<long>(split.num("chunk_a")));
    d.fold(b, at, d.rows(), static_cast<long>(split.num("chunk_b")));
    a.merge(b);
    const LLSResult got = a.finalize(), want = whole.finalize();
    if (want.rank == d.nx) {
      expectNear(got.coef, want.coef, 1e-10, what + " coef");
      expectNear(got.xtxInv, want.xtxInv, 1e-10, what + " XtXinv");
    } else {  // which aliased column is dropped may differ: the fitted values may not
      const DoubleMatrix x = d.x(0, d.rows());
      expectNear(x * got.coef, x * want.coef, 1e-10, what + " fitted");
    }
    expectNear(got.scpe, want.scpe, 1e-9, what + " SCPE");
    expectNear(a.getSCPY(true), whole.getSCPY(true), 1e-10, what + " SCPY");
    EXPECT_EQ(got.rank, want.rank) << what;
    EXPECT_EQ(got.n, want.n) << what;
    EXPECT_NEAR(got.sumWt, want.sumWt, 1e-12 * want.sumWt) << what;
  }
}

// A zero (or negative) weight removes the row from the fit but it counts in N.
TEST(DoubleLLS, NonPositiveWeightRowOnlyCountsInN) {
  const LlsData d("mtcars_weighted");
  DoubleLLS withZero, negative, without;
  d.fold(withZero, 0, d.rows(), 7);
  DoubleMatrix w = d.wt(0, d.rows());
  ASSERT_EQ(w(4, 0), 0.0);
  w(4, 0) = -3.0;
  negative.rowBind(d.x(0, d.rows()), d.y(0, d.rows()), w, 1);
  without.rowBind(d.x(0, 4), d.y(0, 4), d.wt(0, 4), 1);
  d.fold(without, 5, d.rows(), 7);
  for (const DoubleLLS* lls : {&withZero, &negative}) {
    expectNear(lls->coef(1e-13, true), without.coef(1e-13, true), 1e-10, "coef");
    expectNear(lls->getSCPY(true), without.getSCPY(true), 1e-10, "SCPY");
    EXPECT_EQ(lls->getN(true), 32.0);
    EXPECT_DOUBLE_EQ(lls->getSumWt(true), without.getSumWt(true));
  }
}

// x1 + x2 = x3: rank 2 and one coefficient 0 in every chunking, the residual sum of squares
// of R; with nFixed = 1 the first column is never the one dropped.
TEST(DoubleLLS, RankDeficientDesign) {
  const LlsData d("rankdef");
  const double rss = readRef("lls_rankdef_fit.csv")(0, 1);
  for (const long chunk : {1L, 2L, 7L, d.rows()}) {
    for (const long nFixed : {0L, 1L}) {
      DoubleLLS lls;
      d.fold(lls, 0, d.rows(), chunk, nFixed);
      EXPECT_EQ(lls.rank(1e-7, true), 2);
      const DoubleMatrix beta = lls.coef(1e-7, true);
      const lVector pivot = lls.getPivot(true);
      EXPECT_EQ(beta(pivot[2] - 1, 0), 0.0) << chunk;
      if (nFixed == 1) {
        EXPECT_EQ(pivot[0], 1);
      }
      EXPECT_NEAR(lls.SCPE(true)(0, 0), rss, 1e-9 * rss);
      const DoubleMatrix cov = lls.XtXinv(1e-7, true);  // zero row for the aliased column
      for (long k = 0; k < 3; ++k)
        EXPECT_EQ(cov(pivot[2] - 1, k), 0.0);
    }
  }
  // One chunk through the constructor: the condition of R is that of the direct QR.
  const DoubleMatrix x = d.x(0, d.rows());
  const DoubleLLS direct(x, d.y(0, d.rows()), 0);
  EXPECT_NEAR(direct.rcond(true, true), x.qr(true).rcond(true, true), 1e-15);
  EXPECT_NEAR(direct.conditionNumber(false), 1.0 / x.qr(true).rcond(false, true), 1e-6);
}

// extendR((2)) on a 3-column fit: pivot entries >= 2 move up, 2 is appended, R and QTY grow
// by a zero row and column, and the new column is aliased.
TEST(DoubleLLS, ExtendRShiftsPivotAndAppends) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  const long n = data.getNRow();
  DoubleLLS lls(blockOf(data, 0, n, 0, 3), blockOf(data, 0, n, 3, 1), 0);
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
  EXPECT_EQ(lls.getQTY(true).getNRow(), 4);
  for (long k = 0; k < 4; ++k)
    EXPECT_EQ(r(3, k) + r(k, 3), 0.0);
  EXPECT_EQ(r(2, 2), rBefore(2, 2));
  EXPECT_EQ(lls.coef(1e-13, true)(1, 0), 0.0);
}

TEST(DoubleLLS, ShapeAccessAndMessages) {
  DoubleLLS lls;
  EXPECT_FALSE(lls.isValid());
  EXPECT_EQ(lls.finalize().coef.isValid(), false);
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { lls.validate(); }, [&] { lls.coef(1e-13, true); }, [&] { lls.getN(true); }})
    EXPECT_EQ(thrownMessage(call), "bad object");
  EXPECT_EQ(thrownMessage(
                [&] { lls.rowBind(DoubleMatrix(3, 2), DoubleMatrix(4, 1), DoubleMatrix(), 0); }),
            "wrong number of rows");
  EXPECT_EQ(
      thrownMessage([&] { lls.rowBind(DoubleMatrix(), DoubleMatrix(2, 1), DoubleMatrix(), 0); }),
      "wrong number of rows");
  lls.resize(2, 2, 1);
  *lls.getRPtr(0, 0) = 2.0, *lls.getRPtr(0, 1) = 1.0, *lls.getRPtr(1, 1) = 3.0;
  *lls.getQTYPtr(0, 0) = 1.0, *lls.getQTYPtr(1, 0) = 3.0;
  *lls.getPivotPtr(0) = 2, *lls.getPivotPtr(1) = 1;
  *lls.getSCPYPtr(0, 0) = 7.0, *lls.getYbarPtr(0) = 8.0;
  lls.getNRef() = 9.0, lls.getSumWtRef() = 10.0;
  // R beta = QTY with pivot (2, 1): beta_pivot = (0, 1) -> input order (1, 0).
  const DoubleLLS copy(lls);
  EXPECT_EQ(valuesOf(copy.coef(1e-13, true)), (std::vector<double>{1.0, 0.0}));
  EXPECT_EQ(copy.getSCPY(true)(0, 0) + copy.getYbar(true)[0], 15.0);
  EXPECT_EQ(copy.getN(true) + copy.getSumWt(true), 19.0);
  const DoubleMatrix r = fromRows({{2, 1}, {0, 3}});
  lls.setR(r, true);
  lls.setQTY(fromRows({{1}, {3}}), true);
  lls.setPivot(lVector{2, 1}, true);
  EXPECT_EQ(lls.getR(false).constData(), r.constData());  // setters share the block
  EXPECT_EQ(valuesOf(lls.coef(1e-13, true)), valuesOf(copy.coef(1e-13, true)));
  lls.erase();
  EXPECT_FALSE(lls.isValid());
  EXPECT_TRUE(copy.isValid());
}
