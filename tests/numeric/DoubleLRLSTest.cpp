// DoubleLRLS: restricted least squares against R's contr.sum factor fit, anova() and a
// constrained fit (tests/ref/numeric/lls_*.csv, written by lls_reference.R), merge before the
// restrictions, dependent restrictions, the messages, resize and erase.
#include "qmxmisc/numeric/DoubleLRLS.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/LlsTestSupport.h"

namespace {

// y ~ f + x + g with every level kept: intercept (0), f a..d (1..4), x (5), g u..w (6..8).
DoubleMatrix factorData() {
  return readRef("lls_factor_data.csv");
}

void sumToZero(DoubleLRLS& lrls) {
  lrls.beginRestrictions();
  EXPECT_EQ(lrls.addRestriction(dVector{0, 1, 1, 1, 1, 0, 0, 0, 0}, dVector{0.0}), 1);
  EXPECT_EQ(lrls.addRestriction(dVector{0, 0, 0, 0, 0, 0, 1, 1, 1}, dVector{0.0}), 1);
  lrls.endRestrictions();
}

}  // namespace

// Sum-to-zero restrictions on the factor levels reproduce R's contr.sum fit (every level
// coefficient, the last being minus the sum of the others), anova()'s sequential sums of
// squares and the coefficient variances, to 1e-10 relative, for any chunking and for a fit
// merged from two parts.
TEST(DoubleLRLS, SumToZeroMatchesContrSumFit) {
  const DoubleMatrix data = factorData();
  const long n = data.getNRow();
  const DoubleMatrix anova = readRef("lls_factor_anova.csv");  // f, x, g, residuals
  for (const long chunk : {1L, 2L, 7L, n, -1L}) {
    SCOPED_TRACE(chunk);
    DoubleLRLS lrls, rest;
    for (long first = 0; first < n; first += std::abs(chunk)) {
      const long count = std::min(std::abs(chunk), n - first);
      DoubleLRLS& target = chunk < 0 && first >= 17 ? rest : lrls;  // -1: merge at row 17
      target.rowBind(blockOf(data, first, count, 0, 9), blockOf(data, first, count, 9, 1),
                     DoubleMatrix(), 1);
    }
    lrls.merge(rest);
    EXPECT_EQ(lrls.rank(1e-13, true), 7);
    sumToZero(lrls);
    EXPECT_EQ(lrls.fitRank(), 7);
    EXPECT_EQ(lrls.nRestrict(), 2);
    const DoubleMatrix beta = lrls.coef(1e-13, true);
    expectNear(beta, readRef("lls_factor_coef.csv"), 1e-10, "coef");
    EXPECT_NEAR(beta(1, 0) + beta(2, 0) + beta(3, 0) + beta(4, 0), 0.0, 1e-12);
    // Each restriction was pivoted on one of its own columns.
    const Index columns = lrls.rIndex();
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_TRUE(columns[0] >= 1u && columns[0] <= 4u && columns[1] >= 6u && columns[1] <= 8u);
    const TMatrix<double> ss = lrls.getRegSS();
    ASSERT_EQ(ss.getNRow(), 9);
    const double terms[] = {ss(1, 0) + ss(2, 0) + ss(3, 0) + ss(4, 0), ss(5, 0),
                            ss(6, 0) + ss(7, 0) + ss(8, 0)};
    double regression = 0.0;
    for (long k = 0; k < 3; ++k) {
      EXPECT_NEAR(terms[k], anova(0, k), 1e-10 * anova(0, k));
      regression += terms[k];
    }
    const double residual = lrls.getSCPY(true)(0, 0) - regression;
    EXPECT_NEAR(residual, anova(0, 3), 1e-9 * anova(0, 3));
    expectNear(lrls.getD(), readRef("lls_factor_d.csv"), 1e-10, "D");
  }
}

// beta2 + beta3 = 0 on a three-column fit: beta2 = -beta3 exactly, coefficients and residual
// sum of squares those of R's constrained fit. A repeated restriction and an all-zero H add
// nothing; short H and G are reported.
TEST(DoubleLRLS, LinearRestrictionGivesConstrainedFit) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  const long n = data.getNRow();
  const DoubleMatrix x = blockOf(data, 0, n, 0, 3), y = blockOf(data, 0, n, 3, 1);
  const DoubleMatrix fit = readRef("lls_restrict_fit.csv");  // b1, b2, b3, rss
  DoubleLRLS lrls(x, y);
  lrls.beginRestrictions();
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 1.0, 1.0}, dVector{0.0}), 1);
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 1.0, 1.0}, dVector{0.0}), 0);
  EXPECT_EQ(lrls.addRestriction(dVector{0.0, 0.0, 0.0}, dVector{0.0}), 0);
  EXPECT_EQ(lrls.nRestrict(), 1);
  lrls.endRestrictions();
  const DoubleMatrix beta = lrls.coef(1e-13, true);
  EXPECT_EQ(beta(1, 0), -beta(2, 0));
  for (long k = 0; k < 3; ++k)
    EXPECT_NEAR(beta(k, 0), fit(0, k), 1e-10 * std::fabs(fit(0, k)));
  const DoubleMatrix residual = y - x * beta;
  EXPECT_NEAR(residual.crossprod(true)(0, 0), fit(0, 3), 1e-10 * fit(0, 3));
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
  const DoubleMatrix data = factorData();
  const long n = data.getNRow();
  DoubleLRLS lrls(blockOf(data, 0, n, 0, 9), blockOf(data, 0, n, 9, 1));
  lrls.beginRestrictions();
  const lVector pivot = lrls.getPivot(true);
  // Unit restrictions on the columns at pivot positions 5, 1 and 3, in that order.
  for (const long position : {5L, 1L, 3L}) {
    dVector h(9, 0.0);
    h[pivot[position] - 1] = 1.0;
    EXPECT_EQ(lrls.addRestriction(h, dVector{0.0}), 1);
  }
  lrls.resize(4, 4, 1);
  const Index after = lrls.rIndex();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], static_cast<std::uint32_t>(pivot[1] - 1));
  EXPECT_EQ(after[1], static_cast<std::uint32_t>(pivot[3] - 1));
  EXPECT_EQ(lrls.getN(true), 40.0);
  DoubleLRLS other = lrls;
  lrls.resize(4, 4, 0);
  EXPECT_EQ(lrls.nRestrict() + lrls.getN(false) + lrls.getSumWt(false), 0.0);
  EXPECT_EQ(other.nRestrict(), 2);
  other.erase();
  EXPECT_FALSE(other.isValid());
  EXPECT_EQ(other.nRestrict() + other.getN(false), 0.0);
  EXPECT_EQ(other.fitRank(), -1);  // rank of nothing: the LAPACK-style bad-argument answer
}
