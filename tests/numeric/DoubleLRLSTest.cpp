// DoubleLRLS: restricted least squares against R's contr.sum factor fit, anova() and a
// constrained fit (tests/ref/numeric/lls_*.csv, written by lls_reference.R), merge before the
// restrictions, dependent restrictions, the messages, resize and erase.
#include "qmxmisc/numeric/DoubleLRLS.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/LlsTestSupport.h"

// y ~ f + x + g with every level kept: intercept (0), f a..d (1..4), x (5), g u..w (6..8).
// Sum-to-zero restrictions on the levels reproduce R's contr.sum coefficients of every level,
// anova()'s sequential sums of squares and the coefficient variances (1e-10 relative), for
// any chunking and for a fit merged from two parts (chunk -1: rows 0..16 and 17..39).
TEST(DoubleLRLS, SumToZeroMatchesContrSumFit) {
  const DoubleMatrix data = readRef("lls_factor_data.csv");
  const DoubleMatrix anova = readRef("lls_factor_anova.csv");  // f, x, g, residuals
  for (const long chunk : {1L, 2L, 7L, 40L, -1L}) {
    SCOPED_TRACE(chunk);
    DoubleLRLS lrls, rest;
    for (long first = 0; first < 40; first += std::abs(chunk)) {
      const long count = std::min(std::abs(chunk), 40 - first);
      DoubleLRLS& target = chunk < 0 && first >= 17 ? rest : lrls;
      target.rowBind(blockOf(data, first, count, 0, 9), blockOf(data, first, count, 9, 1),
                     DoubleMatrix(), 1);
    }
    lrls.merge(rest);
    EXPECT_EQ(lrls.rank(1e-13, true), 7);
    lrls.beginRestrictions();
    EXPECT_EQ(lrls.addRestriction(dVector{0, 1, 1, 1, 1, 0, 0, 0, 0}, dVector{0.0}), 1);
    EXPECT_EQ(lrls.addRestriction(dVector{0, 0, 0, 0, 0, 0, 1, 1, 1}, dVector{0.0}), 1);
    lrls.endRestrictions();
    EXPECT_EQ(lrls.fitRank() * 10 + lrls.nRestrict(), 72);
    expectNear(lrls.coef(1e-13, true), readRef("lls_factor_coef.csv"), 1e-10, "coef");
    const Index columns = lrls.rIndex();  // each restriction pivoted on one of its columns
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_TRUE(columns[0] >= 1u && columns[0] <= 4u && columns[1] >= 6u && columns[1] <= 8u);
    const TMatrix<double> ss = lrls.getRegSS();
    ASSERT_EQ(ss.getNRow(), 9);
    DoubleMatrix terms(1, 4);
    terms(0, 0) = ss(1, 0) + ss(2, 0) + ss(3, 0) + ss(4, 0), terms(0, 1) = ss(5, 0);
    terms(0, 2) = ss(6, 0) + ss(7, 0) + ss(8, 0);
    terms(0, 3) = lrls.getSCPY(true)(0, 0) - terms(0, 0) - terms(0, 1) - terms(0, 2);
    expectNear(terms, anova, 1e-9, "anova");
    expectNear(lrls.getD(), readRef("lls_factor_d.csv"), 1e-10, "D");
  }
}

// beta2 + beta3 = 0 on a three-column fit: beta2 = -beta3 exactly, coefficients and residual
// sum of squares those of R's constrained fit. A repeated restriction and an all-zero H add
// nothing; short H and G are reported.
TEST(DoubleLRLS, LinearRestrictionGivesConstrainedFit) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv");
  const DoubleMatrix x = blockOf(data, 0, 30, 0, 3), y = blockOf(data, 0, 30, 3, 1);
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
  expectNear(beta,
             blockOf(fit, 0, 1, 0, 3).multiply(DoubleMatrix(1, 1) + 1.0, TransOp::kThis, true),
             1e-10, "coef");
  EXPECT_NEAR((y - x * beta).crossprod(true)(0, 0), fit(0, 3), 1e-10 * fit(0, 3));
  EXPECT_EQ(DoubleLRLS().addRestriction(dVector{1.0}, dVector{1.0}), 0);
  expectMessages("DoubleLRLS", {{"addRestriction", [&](auto& s) {
                                   lrls.addRestriction(dVector(longs(s)[0], 1.0),
                                                       dVector(longs(s)[1], 0.0));
                                 }}});
}

// resize to a smaller p keeps the restriction rows below it, in order; resize with a zero
// argument and erase drop everything, N, SumWt and the fit rank included.
TEST(DoubleLRLS, ResizeAndErase) {
  const DoubleMatrix data = readRef("lls_factor_data.csv");
  DoubleLRLS lrls(blockOf(data, 0, 40, 0, 9), blockOf(data, 0, 40, 9, 1));
  lrls.beginRestrictions();
  const lVector pivot = lrls.getPivot(true);
  for (const long position : {5L, 1L, 3L}) {  // unit restrictions, pivot positions 5, 1, 3
    dVector h(9, 0.0);
    h[pivot[position] - 1] = 1.0;
    EXPECT_EQ(lrls.addRestriction(h, dVector{0.0}), 1);
  }
  lrls.resize(4, 4, 1);
  EXPECT_EQ(lrls.rIndex().toStd(),
            (std::vector<std::uint32_t>{static_cast<std::uint32_t>(pivot[1] - 1),
                                        static_cast<std::uint32_t>(pivot[3] - 1)}));
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
