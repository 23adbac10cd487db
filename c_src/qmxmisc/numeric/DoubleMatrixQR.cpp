// Placeholder definitions of the QR-based DoubleMatrix operations. The real definitions
// live with DoubleQR; until it is built into the library these throw.
#include "qmxmisc/framework/QMXException.h"
#include "qmxmisc/numeric/DoubleMatrix.h"

// Stand-in for the decomposition type, so the placeholders can be defined.
class DoubleQR {};

long DoubleMatrix::rank(double, bool) const {
  QMX_ThrowException("DoubleMatrix::rank is not available");
}

DoubleQR DoubleMatrix::qr(long, bool, bool) const {
  QMX_ThrowException("DoubleMatrix::qr is not available");
}

DoubleQR DoubleMatrix::qr(bool) const {
  QMX_ThrowException("DoubleMatrix::qr is not available");
}

DoubleMatrix DoubleMatrix::solve(const DoubleMatrix&, double, bool) const {
  QMX_ThrowException("DoubleMatrix::solve is not available");
}

DoubleMatrix DoubleMatrix::inverse(double, bool) const {
  QMX_ThrowException("DoubleMatrix::inverse is not available");
}

double DoubleMatrix::rcond(bool, bool) const {
  QMX_ThrowException("DoubleMatrix::rcond is not available");
}

double DoubleMatrix::conditionNumber(bool oneNorm) const {
  return 1.0 / rcond(oneNorm, true);
}

std::unique_ptr<aml::AbstractDoubleMatrix> DoubleMatrix::createQR(long, long) const {
  QMX_ThrowException("DoubleMatrix::createQR is not available");
}
