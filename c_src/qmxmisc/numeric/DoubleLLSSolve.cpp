// DoubleLLS: coefficients, R inverse, (X'X)^-1, residual cross-products, rank and condition.
// The solves follow LAPACK's DGELSX after its Q' step: rank of R by incremental condition
// estimation, triangular solve of the accepted block, zeros for aliased columns, rows
// permuted back to input column order.
#include <algorithm>

#include "qmxmisc/base/QMXAccumulator.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/DoubleQR.h"
#include "qmxmisc/numeric/Lapack.h"
#include "qmxmisc/numeric/QRKernels.h"

namespace {
// The library's rank tolerance where none is passed.
constexpr double kDefaultRankTol = 1e-13;
}  // namespace

static_assert(QMXAccumulator<DoubleLLS>);

DoubleMatrix DoubleLLS::coef(double tol, bool check) const {
  if (check) validate();
  DoubleMatrix beta(QTY_);
  const long p = R_.getNRow(), n = R_.getNCol();
  QMX_ASSERT(p == n && p == beta.getNRow(), "coef needs a square R and p rows of Q'Y");
  qrk::solveRankReduced(R_.constData(), p, std::min(p, n), n, tol, pivot_.data(), beta.data(), p,
                        beta.getNCol());
  return beta;
}

DoubleMatrix DoubleLLS::Rinv(double tol, bool check) const {
  if (check) validate();
  const long p = R_.getNRow(), n = R_.getNCol();
  QMX_ASSERT(p == n, "Rinv needs a square R");
  DoubleMatrix inverse(n, n);
  inverse.identity();
  qrk::solveRankReduced(R_.constData(), p, std::min(p, n), n, tol, pivot_.data(), inverse.data(), n,
                        n);
  return inverse;
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

// SCPY + SumWt Ybar Ybar' is the weighted raw cross-product Y'WY and the rows of Q'Y that
// belong to accepted columns of R carry its explained part, so the difference is the residual
// cross-product matrix. Rows of aliased columns (past the rank at the library's default
// tolerance 1e-13) hold the residual's component along an arbitrary reflector and are left
// out, so an aliased design gives the residual sums of squares of R's lm.fit.
DoubleMatrix DoubleLLS::SCPE(bool check) const {
  if (check) validate();
  const long q = SCPY_.getNRow(), p = QTY_.getNRow();
  DoubleMatrix scpe(SCPY_);
  if (q == 0) return scpe;
  const long rank = qrk::triangularRank(R_.constData(), R_.getNRow(),
                                        std::min(R_.getNRow(), R_.getNCol()), kDefaultRankTol);
  const int qi = blasInt(q), ri = blasInt(rank), ldp = blasInt(p), one = 1;
  const double minusOne = -1.0, plusOne = 1.0;
  dger_(&qi, &qi, &SumWt_, Ybar_.data(), &one, Ybar_.data(), &one, scpe.data(), &qi);
  if (rank > 0)
    dsyrk_("U", "T", &qi, &ri, &minusOne, QTY_.constData(), &ldp, &plusOne, scpe.data(), &qi);
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
  return R_.rank(tol, false);
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
