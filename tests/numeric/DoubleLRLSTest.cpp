// DoubleLRLS: restricted least squares against R's contr.sum factor fit, anova() and a
// constrained fit (tests/ref/numeric/lls_*.csv, written by lls_reference.R).
#include "qmxmisc/numeric/DoubleLRLS.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/LlsTestSupport.h"
#include "numeric/TestSupport.h"

namespace {

// y ~ f + x + g with every level kept: intercept (0), f a..d (1..4), x (5), g u..w (6..8).
DoubleLRLS factorFit(long chunk) {
  const DoubleMatrix data = readRef("lls_factor_data.csv");
  const DoubleMatrix x = columnsOf(data, 0, 9), y = columnsOf(data, 9, 1);
  DoubleLRLS lrls;
  for (long first = 0; first < x.getNRow(); first += chunk) {
    const long count = std::min(chunk, x.getNRow() - first);
    lrls.rowBind(rowsOf(x, first, count), rowsOf(y, first, count), DoubleMatrix(), 1);
  }
  return lrls;
}

dVector indicator(long p, std::initializer_list<long> columns) {
  dVector h(static_cast<std::size_t>(p), 0.0);
  for (const long c : columns)
    h[c] = 1.0;
  return h;
}

void sumToZero(DoubleLRLS& lrls) {
  lrls.beginRestrictions();
  EXPECT_EQ(lrls.addRestriction(indicator(9, {1, 2, 3, 4}), dVector{0.0}), 1);
  EXPECT_EQ(lrls.addRestriction(indicator(9, {6, 7, 8}), dVector{0.0}), 1);
  lrls.endRestrictions();
}

}  // namespace

// Sum-to-zero restrictions on the factor levels reproduce R's contr.sum fit: every level
// coefficient (the last being minus the sum of the others) to 1e-10, for any chunking.
TEST(DoubleLRLS, SumToZeroMatchesContrSumFit) {
  for (const long chunk : {1L, 7L, 40L}) {
    DoubleLRLS lrls = factorFit(chunk);
    EXPECT_EQ(lrls.rank(1e-13, true), 7);
    sumToZero(lrls);
    EXPECT_EQ(lrls.fitRank(), 7);
    EXPECT_EQ(lrls.nRestrict(), 2);
    EXPECT_EQ(lrls.nCoef(), 9);
    EXPECT_EQ(lrls.nResp(), 1);
    const DoubleMatrix beta = lrls.coef(1e-13, true);
    expectNear(beta, readRef("lls_factor_coef.csv"), 1e-10, "coef chunk " + std::to_string(chunk));
    EXPECT_NEAR(beta(1, 0) + beta(2, 0) + beta(3, 0) + beta(4, 0), 0.0, 1e-12);
    EXPECT_NEAR(beta(6, 0) + beta(7, 0) + beta(8, 0), 0.0, 1e-12);
    // Each restriction was pivoted on one of its own columns.
    const Index columns = lrls.rIndex();
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_GE(columns[0], 1u);
    EXPECT_LE(columns[0], 4u);
    EXPECT_GE(columns[1], 6u);
    EXPECT_LE(columns[1], 8u);
  }
}

// The per-term sums of getRegSS are R's anova() sequential sums of squares; the residual
// sum of squares follows from the response cross-products.
TEST(DoubleLRLS, RegSSEqualsAnovaSequentialSS) {
  DoubleLRLS lrls = factorFit(7);
  sumToZero(lrls);
  const TMatrix<double> ss = lrls.getRegSS();
  ASSERT_EQ(ss.getNRow(), 9);
  ASSERT_EQ(ss.getNCol(), 1);
  const DoubleMatrix anova = readRef("lls_factor_anova.csv");  // f, x, g, residuals
  const double f = ss(1, 0) + ss(2, 0) + ss(3, 0) + ss(4, 0);
  const double g = ss(6, 0) + ss(7, 0) + ss(8, 0);
  EXPECT_NEAR(f, anova(0, 0), 1e-10 * anova(0, 0));
  EXPECT_NEAR(ss(5, 0), anova(0, 1), 1e-10 * anova(0, 1));
  EXPECT_NEAR(g, anova(0, 2), 1e-10 * anova(0, 2));
  double regression = 0.0;
  for (long k = 1; k < 9; ++k)
    regression += ss(k, 0);
  const double total = lrls.getSCPY(true)(0, 0);
  EXPECT_NEAR(total - regression, anova(0, 3), 1e-9 * anova(0, 3));
}

// getD gives the unscaled variances of every level coefficient, the implied last levels
// included (diag of C (X'X)^-1 C' in R).
TEST(DoubleLRLS, DMatchesContrSumVariances) {
  DoubleLRLS lrls = factorFit(7);
  sumToZero(lrls);
  expectNear(lrls.getD(), readRef("lls_factor_d.csv"), 1e-10, "D");
}

// beta2 + beta3 = 0 on a three-column fit: beta2 = -beta3 exactly, coefficients and residual
// sum of squares those of R's constrained fit.
TEST(DoubleLRLS, LinearRestrictionGivesConstrainedFit) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  const DoubleMatrix x = columnsOf(data, 0, 3), y = columnsOf(data, 3, 1);
  const DoubleMatrix fit = readRef("lls_restrict_fit.csv");  // b1, b2, b3, rss
  DoubleLRLS lrls(x, y);
  lrls.beginRestrictions();
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 1.0, 1.0}, dVector{0.0}), 1);
  lrls.endRestrictions();
  const DoubleMatrix beta = lrls.coef(1e-13, true);
  EXPECT_EQ(beta(1, 0), -beta(2, 0));
  for (long k = 0; k < 3; ++k)
    EXPECT_NEAR(beta(k, 0), fit(0, k), 1e-10 * std::fabs(fit(0, k)));
  const DoubleMatrix residual = y - x * beta;
  EXPECT_NEAR(residual.crossprod(true)(0, 0), fit(0, 3), 1e-10 * fit(0, 3));
}

// A repeated restriction and an all-zero H add nothing; messages for short H and G.
TEST(DoubleLRLS, DependentRestrictionsAndMessages) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  DoubleLRLS lrls(columnsOf(data, 0, 3), columnsOf(data, 3, 1));
  lrls.beginRestrictions();
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 1.0, 1.0}, dVector{0.0}), 1);
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 1.0, 1.0}, dVector{0.0}), 0);
  EXPECT_EQ(lrls.nRestrict(), 1);
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 0.0, 0.0}, dVector{0.0}), 0);
  EXPECT_EQ(lrls.nRestrict(), 1);
  EXPECT_EQ(thrownMessage([&] {
              lrls.addRestriction(dVector{1.0, 1.0}, dVector{0.0});
            }),
            "length of H is 2. It must be at least 3");
  EXPECT_EQ(thrownMessage([&] {
              lrls.addRestriction(dVector{1.0, 1.0, 0.0}, dVector{});
            }),
            "length of G is 0. It must be at least 1");
  DoubleLRLS empty;
  EXPECT_EQ(empty.addRestriction(dVector{1.0}, dVector{1.0}), 0);
}

// resize to a smaller p keeps the restriction rows below it, in order; resize with a zero
// argument and erase drop everything, N, SumWt and the fit rank included.
TEST(DoubleLRLS, ResizeAndErase) {
  const DoubleMatrix data = readRef("lls_factor_data.csv");
  DoubleLRLS lrls(columnsOf(data, 0, 9), columnsOf(data, 9, 1));
  lrls.beginRestrictions();
  const lVector pivot = lrls.getPivot(true);
  // Unit restrictions on the columns at pivot positions 5, 1 and 3, in that order.
  for (const long position : {5L, 1L, 3L}) {
    dVector h(9, 0.0);
    h[pivot[position] - 1] = 1.0;
    EXPECT_EQ(lrls.addRestriction(h, dVector{0.0}), 1);
  }
  const Index before = lrls.rIndex();
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(before[0], static_cast<std::uint32_t>(pivot[5] - 1));
  EXPECT_EQ(before[1], static_cast<std::uint32_t>(pivot[1] - 1));
  EXPECT_EQ(before[2], static_cast<std::uint32_t>(pivot[3] - 1));
  lrls.resize(4, 4, 1);
  EXPECT_EQ(lrls.nRestrict(), 2);
  const Index after = lrls.rIndex();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], before[1]);
  EXPECT_EQ(after[1], before[2]);
  EXPECT_EQ(lrls.getN(true), 40.0);

  const DoubleLRLS copy(lrls);
  EXPECT_EQ(copy.nRestrict(), 2);
  lrls.resize(4, 4, 0);
  EXPECT_EQ(lrls.nRestrict(), 0);
  EXPECT_EQ(lrls.getN(false), 0.0);
  EXPECT_EQ(lrls.getSumWt(false), 0.0);

  DoubleLRLS other = copy;
  other.erase();
  EXPECT_FALSE(other.isValid());
  EXPECT_EQ(other.nRestrict(), 0);
  EXPECT_EQ(other.getN(false), 0.0);
  EXPECT_EQ(other.fitRank(), -1);  // rank of nothing: the LAPACK-style bad-argument answer
}
