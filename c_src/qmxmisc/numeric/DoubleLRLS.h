// DoubleLRLS: restricted least squares on top of DoubleLLS. After the data are folded in,
// each exact linear restriction h'beta = g (one g per response) is rotated into the
// triangular factor as a row of infinite weight: the restriction takes over the row of its
// first non-zero pivot position and the displaced data row is folded back into the rows
// below with Givens rotations (BLAS drotg/drot/daxpy/dswap). The ordinary back-solve then
// returns the restricted least-squares solution.
//
// Use: rowBind (update) every chunk and merge the fits of other row sets, beginRestrictions,
// addRestriction per condition, endRestrictions, then coef / getRegSS / getD / fitRank.
#pragma once

#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/TMatrix.h"

class DoubleLRLS : public DoubleLLS {
 public:
  DoubleLRLS() = default;
  // DoubleLLS(X, Y, 0), no restrictions.
  DoubleLRLS(const DoubleMatrix& x, const DoubleMatrix& y);
  DoubleLRLS(const DoubleLRLS& other) = default;
  DoubleLRLS& operator=(const DoubleLRLS& other) = default;
  DoubleLRLS(DoubleLRLS&& other) noexcept = default;
  DoubleLRLS& operator=(DoubleLRLS&& other) noexcept = default;
  ~DoubleLRLS() override;

  // Any argument 0: restriction rows emptied, fit rank, N and SumWt zeroed; otherwise only
  // restriction rows below the new p are kept. Then DoubleLLS::resize.
  void resize(long p, long pR, long q) override;
  // Restriction rows emptied, DoubleLLS::resize(0, 0, 0), N, SumWt and fit rank zeroed.
  void erase() override;

  // DoubleLLS::merge of the data of two fits; only before beginRestrictions.
  void merge(const DoubleLRLS& other);

  long nCoef() const { return R_.getNCol(); }
  long nResp() const { return QTY_.getNCol(); }
  long nRestrict() const { return static_cast<long>(restrictRows_.size()); }

  // Stores the rank of the current fit (tolerance 1e-13) and empties the restriction rows.
  void beginRestrictions();
  // Adds h'beta = g: H has at least p entries in input column order, G at least q (one per
  // response). Returns 1 when a restriction row was added, 0 when the restriction reduced to
  // nothing (all-zero H, or dependent on restrictions already present). Throws "length of H is
  // %d. It must be at least %d" / "length of G is %d. It must be at least %d".
  long addRestriction(const dVector& H, const dVector& G);
  // Clears each restriction's column in the data rows above it; call once after the last
  // addRestriction and before any solve.
  void endRestrictions();
  // The rank stored by beginRestrictions or setFitRank, computed (tolerance 1e-13) when
  // below 1.
  long fitRank();
  // Stores the rank of a solve made outside (R's parametrisation of a model).
  void setFitRank(long rank) { fitRank_ = static_cast<std::int32_t>(rank); }
  // For each restriction row in order, the zero-based input column it was pivoted on.
  Index rIndex() const;
  // p x q sequential regression sums of squares in input column order: (i, k) is the sum of
  // squares of response k explained by input column i after the columns before it.
  TMatrix<double> getRegSS() const;
  // p x 1 unscaled variances of the restricted coefficients, input column order.
  TMatrix<double> getD() const;

 private:
  // True when row is one of the first `count` restriction rows.
  bool isRestrictionRow(long row, std::size_t count) const;
  // h[j..] and g lose their component along restriction row j (step a).
  void clearWithRestriction(long j, double* h, double* g);

  Index restrictRows_;
  std::int32_t fitRank_ = 0;
};
