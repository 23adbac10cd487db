// The QR slots of the algorithm interface for a matrix that is not a decomposition: each
// decomposes a copy (a DoubleQR from createQR) and asks the copy. DoubleQR overrides them
// with the work itself (DoubleQRSolve.cpp).
#include <algorithm>
#include <memory>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

namespace aml {

namespace {
// Tolerance of the rank of a matrix that is not a decomposition.
constexpr double kCopyRankTol = 1e-13;

std::unique_ptr<AbstractDoubleMatrix> decomposedCopy(const AbstractDoubleMatrix& m) {
  std::unique_ptr<AbstractDoubleMatrix> copy = m.createQR(m.getNRow(), m.getNCol());
  if (const double* in = constDataOf(m)) std::copy_n(in, elementCountOf(m), mutableDataOf(*copy));
  copy->qrDecompose(0);
  return copy;
}
}  // namespace

long AbstractDoubleMatrix::qrRank(double) const {
  if (elementCountOf(*this) == 0) return -1;
  return decomposedCopy(*this)->qrRank(kCopyRankTol);
}

long AbstractDoubleMatrix::qrSolveInto(AbstractDoubleMatrix& result, double tol) const {
  return decomposedCopy(*this)->qrSolveInto(result, tol);
}

double AbstractDoubleMatrix::qrRcond(bool oneNorm) const {
  if (elementCountOf(*this) == 0) return -1.0;
  return decomposedCopy(*this)->qrRcond(oneNorm);
}

double AbstractDoubleMatrix::qrConditionNumber() const {
  return 1.0 / qrRcond(true);
}

long AbstractDoubleMatrix::qrRinvInto(AbstractDoubleMatrix& result, double tol) const {
  return decomposedCopy(*this)->qrRinvInto(result, tol);
}

// Only a decomposition has room for tau and the pivot.
long AbstractDoubleMatrix::qrDecompose(long) {
  QMX_ThrowException("qrDecompose needs a DoubleQR (isQR() is false)");
}

}  // namespace aml
