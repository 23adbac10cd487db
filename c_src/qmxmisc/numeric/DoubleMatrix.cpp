// DoubleMatrix: lifetime, shape and the interface primitives.
#include "qmxmisc/numeric/DoubleMatrix.h"

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"

DoubleMatrix::~DoubleMatrix() = default;

void DoubleMatrix::resize(long nrow, long ncol) {
  QMX_ASSERT(nrow >= 0 && ncol >= 0 && nrow <= UINT32_MAX && ncol <= UINT32_MAX,
             "matrix dimensions are 32-bit counts");
  resize(static_cast<unsigned>(nrow), static_cast<unsigned>(ncol));
}

std::unique_ptr<aml::AbstractDoubleMatrix> DoubleMatrix::create(long nrow, long ncol) const {
  return std::make_unique<DoubleMatrix>(nrow, ncol);
}

void DoubleMatrix::rowBind(const DoubleMatrix& b, bool check) {
  if (!check && !isValid()) {
    attach(b);
    return;
  }
  if (check) {
    validate();
    b.validate();
  }
  appendRows(b);
}

void DoubleMatrix::colBind(const DoubleMatrix& b, bool check) {
  if (!check && !isValid()) {
    attach(b);
    return;
  }
  if (check) {
    validate();
    b.validate();
  }
  appendColumns(b);
}
