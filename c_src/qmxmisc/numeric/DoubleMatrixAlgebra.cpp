// DoubleMatrix centring and scaling, Cholesky factor and triangular back-solve.
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/DoubleMatrix.h"

DoubleMatrix DoubleMatrix::scale(const TMatrix<double>& center, const TMatrix<double>& scale,
                                 bool check) const {
  return this->scale(DoubleMatrix(center), DoubleMatrix(scale), check);
}

// (x[i,j] - center[j]) / scale[j] as R's scale(x, center, scale) with explicit vectors,
// except that a scale of exactly 0 leaves its column unscaled.
DoubleMatrix DoubleMatrix::scale(const DoubleMatrix& center, const DoubleMatrix& scale,
                                 bool check) const {
  if (check) validate();
  const long n = getNRow();
  const long p = getNCol();
  if (center.size() != p) {
    QMX_ThrowException("Cannot scale a %d x %d matrix with a center vector of length %d",
                       static_cast<int>(n), static_cast<int>(p), static_cast<int>(center.size()));
  }
  if (scale.size() != p) {
    QMX_ThrowException("Cannot scale a %d x %d matrix with a scale vector of length %d",
                       static_cast<int>(n), static_cast<int>(p), static_cast<int>(scale.size()));
  }
  DoubleMatrix inverseScale(p);
  for (long j = 0; j < p; ++j) {
    const double s = scale.constData()[j];
    inverseScale.data()[j] = 1.0 / (s == 0.0 ? 1.0 : s);
  }
  DoubleMatrix centred;
  sweepInto(centred, center, true);
  DoubleMatrix result;
  centred.multiplyColumnsInto(result, inverseScale, true);
  return result;
}

DoubleMatrix DoubleMatrix::choleski(bool check) const {
  if (check) validate();
  DoubleMatrix result;
  choleskiInto(result);
  return result;
}

DoubleMatrix DoubleMatrix::backsolve(const DoubleMatrix& b, TransOp t, bool check) const {
  if (check) validate();
  DoubleMatrix result;
  backsolveInto(result, b, t);
  return result;
}
