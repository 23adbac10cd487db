// DoubleLRLS: sequential regression sums of squares and coefficient variances.
#include <algorithm>
#include <vector>

#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/DoubleLRLS.h"
#include "qmxmisc/numeric/Lapack.h"

namespace {
constexpr double kVarianceRankTol = 1e-13;
}  // namespace

// The columns of R are put back into input column order and the copy is re-triangularised by
// Givens rotations, the same rotations applied to Q'Y; the squared rotated Q'Y holds the
// sums of squares of each column after those before it (the effects of R's anova.lm).
TMatrix<double> DoubleLRLS::getRegSS() const {
  const long p = R_.getNRow(), q = QTY_.getNCol();
  if (p == 0 || q == 0) return TMatrix<double>();
  Index position(static_cast<std::size_t>(p));
  for (long k = 0; k < p; ++k)
    position[k] = static_cast<std::uint32_t>(pivot_[k] - 1);
  position.order();  // input column -> position in pivot order
  std::vector<double> r(static_cast<std::size_t>(p * p));
  for (long colIdx = 0; colIdx < p; ++colIdx)
    std::copy_n(R_.constData() + position[colIdx] * p, p, r.data() + colIdx * p);
  TMatrix<double> effects(QTY_);
  double* qty = effects.data();
  const int qi = blasInt(q), ldp = blasInt(p);
  for (long colIdx = 0; colIdx < p; ++colIdx) {
    for (long rowIdx = colIdx + 1; rowIdx < p; ++rowIdx) {
      if (r[rowIdx + colIdx * p] == 0.0) continue;
      double a = r[colIdx + colIdx * p], b = r[rowIdx + colIdx * p], c = 0.0, s = 0.0;
      drotg_(&a, &b, &c, &s);
      r[colIdx + colIdx * p] = a;
      r[rowIdx + colIdx * p] = 0.0;
      const int rest = blasInt(p - colIdx - 1);
      drot_(&rest, r.data() + colIdx + (colIdx + 1) * p, &ldp, r.data() + rowIdx + (colIdx + 1) * p,
            &ldp, &c, &s);
      drot_(&qi, qty + colIdx, &ldp, qty + rowIdx, &ldp, &c, &s);
    }
  }
  for (long k = 0; k < p * q; ++k)
    qty[k] *= qty[k];
  return effects;
}

// d = diag((X'X)^-1) of the reduced system; a coefficient that a restriction row determines
// from the others, beta_r = (g - h'beta) / a, gets h' V h / a^2.
TMatrix<double> DoubleLRLS::getD() const {
  const long p = R_.getNRow();
  if (p == 0) return TMatrix<double>();
  const DoubleMatrix cov = XtXinv(kVarianceRankTol, false);
  TMatrix<double> d(p, 1);
  for (long k = 0; k < p; ++k)
    d(k, 0) = cov(k, k);
  for (const std::uint32_t row : restrictRows_) {
    const double a = R_(row, row);
    DoubleMatrix h(p, 1);
    for (long k = 0; k < p; ++k)
      h(pivot_[k] - 1, 0) = k == static_cast<long>(row) ? 0.0 : R_(row, k);
    const DoubleMatrix covH = cov.multiply(h, TransOp::kNone, false);
    double s = h.multiply(covH, TransOp::kThis, false)(0, 0);
    if (a != 1.0 && a != 0.0) s /= a * a;
    d(pivot_[row] - 1, 0) = s;
  }
  return d;
}
