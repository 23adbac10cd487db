// Placeholder definitions of the QR slots of the algorithm interface. The real definitions
// live with DoubleQR; until it is built into the library these throw.
#include "qmxmisc/framework/QMXException.h"
#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

namespace aml {

long AbstractDoubleMatrix::qrRank(double) const {
  QMX_ThrowException("AbstractDoubleMatrix::qrRank is not available");
}

long AbstractDoubleMatrix::qrSolveInto(AbstractDoubleMatrix&, double) const {
  QMX_ThrowException("AbstractDoubleMatrix::qrSolveInto is not available");
}

double AbstractDoubleMatrix::qrRcond(bool) const {
  QMX_ThrowException("AbstractDoubleMatrix::qrRcond is not available");
}

double AbstractDoubleMatrix::qrConditionNumber() const {
  return 1.0 / qrRcond(true);
}

long AbstractDoubleMatrix::qrRinvInto(AbstractDoubleMatrix&, double) const {
  QMX_ThrowException("AbstractDoubleMatrix::qrRinvInto is not available");
}

long AbstractDoubleMatrix::qrDecompose(long) {
  QMX_ThrowException("AbstractDoubleMatrix::qrDecompose is not available");
}

}  // namespace aml
