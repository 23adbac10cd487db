// DoubleLLS: coefficients, R inverse, (X'X)^-1, residual cross-products, rank and condition.
// Every solve decomposes R (columns in input order) by R's limited pivoting rule (LimitedQR):
// the kept columns are solved, aliased columns get coefficient 0 and zero rows in the
// inverse, and the effects past the rank add to the residual cross-products.
#include <algorithm>

#include "qmxmisc/base/QMXAccumulator.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/DoubleQR.h"
#include "qmxmisc/numeric/Lapack.h"
#include "qmxmisc/numeric/QRKernels.h"

namespace {
// The library's rank tolerance where none is passed: R's lm.fit tolerance.
constexpr double kDefaultRankTol = 1e-7;
}  // namespace

static_assert(QMXAccumulator<DoubleLLS>);

DoubleMatrix DoubleLLS::inputOrderR() const {
  const long rows = R_.getNRow(), p = R_.getNCol();
  DoubleMatrix r(rows, p);
  for (long k = 0; k < p; ++k) {
    const long column = pivot_[k] >= 1 && pivot_[k] <= p ? pivot_[k] - 1 : k;
    std::copy_n(R_.constData() + k * rows, rows, r.data() + column * rows);
  }
  return r;
}

DoubleMatrix DoubleLLS::coef(double tol, bool check) const {
  if (check) validate();
  QMX_ASSERT(R_.getNRow() == R_.getNCol() && R_.getNRow() == QTY_.getNRow(),
             "coef needs a square R and p rows of Q'Y");
  const LimitedQR qr = limitedQR(tol);
  return qr.solveEffects(qr.qty(QTY_));
}

DoubleMatrix DoubleLLS::Rinv(double tol, bool check) const {
  if (check) validate();
  QMX_ASSERT(R_.getNRow() == R_.getNCol(), "Rinv needs a square R");
  return limitedQR(tol).rinv();
}

DoubleMatrix DoubleLLS::XtXinv(double tol, bool check) const {
  const DoubleMatrix inverse = Rinv(tol, check);
  const long n = inverse.getNRow();
  DoubleMatrix cov(n, n);
  const int ni = blasInt(n);
  const double one = 1.0, zero = 0.0;
  dsyrk_("U", "N", &ni, &ni, &one, inverse.constData(), &ni, &zero, cov.data(), &ni);
  qrk::mirrorUpper(cov.data(), n, n);
  return cov;
}

DoubleMatrix DoubleLLS::SCPE(bool check) const {
  if (check) validate();
  const long q = QTY_.getNCol(), p = QTY_.getNRow();
  DoubleMatrix scpe(q, q);
  if (q == 0) return scpe;
  std::copy_n(SSE_.constData(), std::min(SSE_.size(), q * q), scpe.data());
  const LimitedQR qr = limitedQR(kDefaultRankTol);
  const DoubleMatrix effects = qr.qty(QTY_);
  const long rank = qr.rank();
  const int qi = blasInt(q), ri = blasInt(p - rank), ldp = blasInt(p);
  const double plusOne = 1.0;
  if (p > rank)
    dsyrk_("U", "T", &qi, &ri, &plusOne, effects.constData() + rank, &ldp, &plusOne, scpe.data(),
           &qi);
  qrk::mirrorUpper(scpe.data(), q, q);
  return scpe;
}

LLSResult DoubleLLS::finalize() const {
  LLSResult result;
  if (!isValid() || N_ <= 0.0) return result;
  result.coef = coef(kDefaultRankTol, false);
  result.xtxInv = XtXinv(kDefaultRankTol, false);
  result.scpe = SCPE(false);
  result.rank = rank(kDefaultRankTol, false);
  result.n = N_;
  result.sumWt = SumWt_;
  return result;
}

long DoubleLLS::rank(double tol, bool check) const {
  if (check) validate();
  if (R_.size() == 0) return -1;  // LAPACK's answer for no matrix
  return limitedQR(tol).rank();
}

double DoubleLLS::rcond(bool oneNorm, bool check) const {
  if (check) validate();
  if (!R_.isValid()) return -1.0;
  return qrk::triangularRcond(R_.constData(), R_.getNRow(), std::min(R_.getNRow(), R_.getNCol()),
                              oneNorm);
}

double DoubleLLS::conditionNumber(bool oneNorm) const {
  return 1.0 / rcond(oneNorm, true);
}
