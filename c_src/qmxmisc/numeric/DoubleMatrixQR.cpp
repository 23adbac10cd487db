// The QR-based operations of DoubleMatrix: each decomposes a copy into a DoubleQR.
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/DoubleQR.h"

namespace {
// Tolerance of the singularity test of inverse().
constexpr double kInverseRankTol = 1e-13;
}  // namespace

DoubleQR DoubleMatrix::qr(long nFixed, bool check, bool /*flag: no effect*/) const {
  if (check) validate();
  DoubleQR result(*this);
  result.qrDecompose(nFixed);
  return result;
}

DoubleQR DoubleMatrix::qr(bool check) const {
  return qr(0, check, false);
}

long DoubleMatrix::rank(double tol, bool check) const {
  return qr(check).rank(tol, false);
}

DoubleMatrix DoubleMatrix::solve(const DoubleMatrix& b, double tol, bool check) const {
  if (check) validate();
  return qr(true).solve(b, tol, true);
}

DoubleMatrix DoubleMatrix::inverse(double tol, bool check) const {
  if (check) validate();
  const long n = getNRow();
  if (n != getNCol())
    QMX_ThrowException("the matrix is not square: dim=(%d,%d)", static_cast<int>(n),
                       static_cast<int>(getNCol()));
  const DoubleQR decomposition = qr(true);
  const long rank = decomposition.rank(kInverseRankTol, false);
  if (rank < n)
    QMX_ThrowException("the matrix is apperantly singular: rank = %d", static_cast<int>(rank));
  DoubleMatrix identity(n, n);
  identity.identity();
  return decomposition.solve(identity, tol, true);
}

double DoubleMatrix::rcond(bool oneNorm, bool check) const {
  return qr(check).rcond(oneNorm, false);
}

double DoubleMatrix::conditionNumber(bool oneNorm) const {
  return 1.0 / rcond(oneNorm, true);
}

std::unique_ptr<aml::AbstractDoubleMatrix> DoubleMatrix::createQR(long nrow, long ncol) const {
  return std::make_unique<DoubleQR>(nrow, ncol);
}
