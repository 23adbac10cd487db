// DoubleLRLS: restricted least squares against R's contr.sum factor fit, anova() and a
// constrained fit (tests/ref/numeric/lls_*.csv, written by lls_reference.R), merge before the
// restrictions, dependent restrictions, the messages, resize and erase.
#include "qmxmisc/numeric/DoubleLRLS.h"

#include <gtest/gtest.h>

#include "numeric/LlsTestSupport.h"

// y ~ f + x + g with every level kept: intercept (0), f a..d (1..4), x (5), g u..w (6..8).
// Sum-to-zero restrictions on the levels reproduce R's contr.sum coefficients of every level,
// anova()'s sequential sums of squares (the regression sums of squares of each term's
// columns; the residual is what remains of SCPY) and the coefficient variances (1e-10
// relative; 1e-9 for the residual), for any chunking and for a fit merged from two parts
// (chunk -1: rows 0..16 and 17..39).
TEST(DoubleLRLS, SumToZeroMatchesContrSumFit) {
  const DoubleMatrix data = readRef("lls_factor_data.csv"), anova = readRef("lls_factor_anova.csv");
  const DoubleMatrix terms =
      parseMatrix("0 0 0 ; 1 0 0 ; 1 0 0 ; 1 0 0 ; 1 0 0 ; 0 1 0 ; 0 0 1 ; 0 0 1 ; 0 0 1");
  for (const long chunk : {1L, 2L, 7L, 40L, -1L}) {
    SCOPED_TRACE(chunk);
    DoubleLRLS lrls, rest;
    for (long first = 0; first < 40; first += std::abs(chunk)) {
      const long count = std::min(std::abs(chunk), 40 - first);
      (chunk < 0 && first >= 17 ? rest : lrls)
          .rowBind(blockOf(data, first, count, 0, 9), blockOf(data, first, count, 9, 1),
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
    EXPECT_TRUE(columns[0] >= 1u && columns[0] <= 4u && columns[1] >= 6u && columns[1] <= 8u);
    const DoubleMatrix ss = DoubleMatrix(lrls.getRegSS()).multiply(terms, TransOp::kThis, true);
    expectNear(ss, blockOf(anova, 0, 1, 0, 3), 1e-10, "anova");
    EXPECT_NEAR(lrls.getSCPY(true)(0, 0) - ss.sum(), anova(0, 3), 1e-9 * anova(0, 3));
    expectNear(lrls.getD(), readRef("lls_factor_d.csv"), 1e-10, "D");
  }
}

// beta2 + beta3 = 0 on a three-column fit: beta2 = -beta3 exactly, coefficients and residual
// sum of squares those of R's constrained fit. A repeated restriction and an all-zero H add
// nothing; short H and G are reported.
TEST(DoubleLRLS, LinearRestrictionGivesConstrainedFit) {
  const DoubleMatrix data = readRef("lls_restrict_data.csv"), fit = readRef("lls_restrict_fit.csv");
  const DoubleMatrix x = blockOf(data, 0, 30, 0, 3), y = blockOf(data, 0, 30, 3, 1);
  DoubleLRLS lrls(x, y);
  lrls.beginRestrictions();
  for (const auto& [h, added] :
       {std::pair{dVector{0, 1, 1}, 1}, {dVector{0, 1, 1}, 0}, {dVector{0, 0, 0}, 0}})
    EXPECT_EQ(lrls.addRestriction(h, dVector{0.0}), added);
  EXPECT_EQ(lrls.nRestrict(), 1);
  lrls.endRestrictions();
  const DoubleMatrix beta = lrls.coef(1e-13, true);
  EXPECT_EQ(beta(1, 0), -beta(2, 0));
  for (long k = 0; k < 3; ++k)  // fit: b1, b2, b3, rss
    EXPECT_NEAR(beta(k, 0), fit(0, k), 1e-10 * std::fabs(fit(0, k)));
  EXPECT_NEAR((y - x * beta).crossprod(true)(0, 0), fit(0, 3), 1e-10 * fit(0, 3));
  EXPECT_EQ(DoubleLRLS().addRestriction(dVector{1.0}, dVector{1.0}), 0);
  expectMessages("DoubleLRLS", {{"addRestriction", [&](auto& s) {
                                   lrls.addRestriction(dVector(longs(s)[0], 1.0),
                                                       dVector(longs(s)[1], 0.0));
                                 }}});
}

// resize to a smaller p keeps the restriction rows below it, in order; resize with a zero
// argument and erase drop everything, N, SumWt and the fit rank included (-1 for nothing:
// the LAPACK-style bad-argument answer).
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
            (std::vector<std::uint32_t>{std::uint32_t(pivot[1] - 1), std::uint32_t(pivot[3] - 1)}));
  EXPECT_EQ(lrls.getN(true), 40.0);
  DoubleLRLS other = lrls;
  lrls.resize(4, 4, 0);
  EXPECT_EQ(lrls.nRestrict() + lrls.getN(false) + lrls.getSumWt(false), 0.0);
  EXPECT_EQ(other.nRestrict(), 2);
  other.erase();
  EXPECT_EQ(other.isValid() + other.nRestrict() + other.getN(false) + other.fitRank(), -1.0);
}
