// DoubleQR: rank, rank-revealing solve, R inverse and condition (LAPACK DGELSX scheme).
#include <algorithm>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/DoubleQR.h"
#include "qmxmisc/numeric/QRKernels.h"

long DoubleQR::qrRank(double tol) const {
  if (!DoubleMatrix::isValid()) return -1;
  return qrk::triangularRank(constData(), getNRow(), std::min(getNRow(), getNCol()), tol);
}

long DoubleQR::rank(double tol, bool check) const {
  if (check) validate();
  return qrRank(tol);
}

// Q' applied to the right-hand side in place, then the DGELSX solve of the accepted triangle
// and the pivot-cycle back-permutation; the answer is cut (or padded) to ncol rows.
long DoubleQR::qrSolveInto(aml::AbstractDoubleMatrix& result, double tol) const {
  const long m = getNRow(), n = getNCol(), k = std::min(m, n);
  const long nrhs = result.getNCol();
  if (result.getNRow() != m)
    QMX_ThrowException("right hand side has %ld rows, the decomposition %ld", result.getNRow(), m);
  if (nrhs == 0) return qrRank(tol);
  if (n > m) result.resize(n, nrhs);  // room for the zero rows of the wide case
  const long ldb = result.getNRow();
  double* b = aml::mutableDataOf(result);
  qrk::applyQt(constData(), m, k, m, tau_.data(), b, ldb, nrhs);
  const long rank = qrk::solveRankReduced(constData(), m, k, n, tol, pivot_.data(), b, ldb, nrhs);
  if (ldb != n) result.resize(n, nrhs);
  return rank;
}

DoubleMatrix DoubleQR::solve(const DoubleMatrix& b, double tol, bool check) const {
  if (check) validate();
  DoubleMatrix x(b);
  qrSolveInto(x, tol);
  return x;
}

long DoubleQR::qrRinvInto(aml::AbstractDoubleMatrix& result, double tol) const {
  const long m = getNRow(), n = getNCol();
  result.resize(n, n);
  result.identity();
  return qrk::solveRankReduced(constData(), m, std::min(m, n), n, tol, pivot_.data(),
                               aml::mutableDataOf(result), n, n);
}

DoubleMatrix DoubleQR::Rinv(double tol, bool check) const {
  if (check) validate();
  DoubleMatrix result(getNCol(), getNCol());
  qrRinvInto(result, tol);
  return result;
}

double DoubleQR::qrRcond(bool oneNorm) const {
  if (!DoubleMatrix::isValid()) return -1.0;
  return qrk::triangularRcond(constData(), getNRow(), std::min(getNRow(), getNCol()), oneNorm);
}

double DoubleQR::rcond(bool oneNorm, bool check) const {
  if (check) validate();
  return qrRcond(oneNorm);
}

double DoubleQR::conditionNumber(bool oneNorm) const {
  return 1.0 / rcond(oneNorm, true);
}
