// DoubleMatrix arithmetic: element-wise operations, products and the operators.
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/DoubleMatrix.h"

namespace {

void checkOperand(const DoubleMatrix& b) {
  if (!b.isValid()) QMX_ThrowException("invalid object");
}

}  // namespace

DoubleMatrix DoubleMatrix::binaryOp(const DoubleMatrix& b, char op, bool check) const {
  if (check) validate();
  checkOperand(b);
  if (b.getNRow() != getNRow() || b.getNCol() != getNCol()) {
    QMX_ThrowException("invalid dimensions for binary operation %c", op);
  }
  DoubleMatrix result;
  matrixOpInto(result, b, op);
  return result;
}

DoubleMatrix DoubleMatrix::binaryOp(double s, char op, bool check) const {
  if (check) validate();
  DoubleMatrix result;
  scalarOpInto(result, s, op);
  return result;
}

DoubleMatrix DoubleMatrix::multiply(const DoubleMatrix& b, TransOp t, bool check) const {
  if (check) validate();
  checkOperand(b);
  DoubleMatrix result;
  multiplyInto(result, b, t);
  return result;
}

DoubleMatrix DoubleMatrix::crossprod(const DoubleMatrix& b, bool check) const {
  if (check) validate();
  checkOperand(b);
  DoubleMatrix result;
  crossprodInto(result, b);
  return result;
}

DoubleMatrix DoubleMatrix::crossprod(bool check) const {
  return crossprod(*this, check);
}

DoubleMatrix operator+(const DoubleMatrix& a, const DoubleMatrix& b) {
  return a.binaryOp(b, '+', true);
}
DoubleMatrix operator+(const DoubleMatrix& a, const TMatrix<double>& b) {
  return a.binaryOp(DoubleMatrix(b), '+', true);
}
DoubleMatrix operator-(const DoubleMatrix& a, const DoubleMatrix& b) {
  return a.binaryOp(b, '-', true);
}
DoubleMatrix operator-(const DoubleMatrix& a, const TMatrix<double>& b) {
  return a.binaryOp(DoubleMatrix(b), '-', true);
}
DoubleMatrix operator*(const DoubleMatrix& a, const DoubleMatrix& b) {
  return a.multiply(b, TransOp::kNone, true);
}
DoubleMatrix operator*(const DoubleMatrix& a, double s) {
  return a.binaryOp(s, '*', true);
}
DoubleMatrix operator+(const DoubleMatrix& a, double s) {
  return a.binaryOp(s, '+', true);
}
DoubleMatrix operator-(const DoubleMatrix& a, double s) {
  return a.binaryOp(s, '-', true);
}
