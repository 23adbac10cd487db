// aml::AbstractDoubleMatrix: element-wise algorithms, means, sweeps and in-place binds.
#include "qmxmisc/numeric/AbstractDoubleMatrix.h"

#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"

namespace aml {

long elementCountOf(const AbstractDoubleMatrix& m) {
  return m.getNRow() * m.getNCol();
}

const double* constDataOf(const AbstractDoubleMatrix& m) {
  return elementCountOf(m) > 0 ? m.getConstPtr(0, 0) : nullptr;
}

double* mutableDataOf(AbstractDoubleMatrix& m) {
  return elementCountOf(m) > 0 ? m.getPtr(0, 0) : nullptr;
}

void AbstractDoubleMatrix::zeros() {
  if (double* out = mutableDataOf(*this)) std::fill_n(out, elementCountOf(*this), 0.0);
}

void AbstractDoubleMatrix::identity() {
  if (getNRow() != getNCol()) return;
  zeros();
  for (long i = 0; i < getNRow(); ++i)
    *getPtr(i, i) = 1.0;
}

double AbstractDoubleMatrix::sum() const {
  const double* in = constDataOf(*this);
  double total = 0.0;
  for (long k = 0; k < elementCountOf(*this); ++k)
    total += in[k];
  return total;
}

// Weighted row or column means by one dgemv (R's colMeans/rowMeans when w is absent).
void AbstractDoubleMatrix::weightedMeansInto(AbstractDoubleMatrix& result,
                                             const AbstractDoubleMatrix& w, bool transpose) const {
  QMX_ASSERT(&result != this && &result != &w, "weightedMeansInto result must not alias");
  const long nrow = getNRow();
  const long ncol = getNCol();
  const long length = transpose ? nrow : ncol;
  const bool weighted = w.getNCol() == 1 && w.getNRow() == length;
  std::vector<double> ones;
  const double* weights = nullptr;
  double total = 0.0;
  if (weighted) {
    weights = constDataOf(w);
    for (long i = 0; i < length; ++i)
      total += weights[i];
  } else {
    ones.assign(static_cast<std::size_t>(length), 1.0);
    weights = ones.data();
    total = static_cast<double>(length);
  }
  result.resize(transpose ? ncol : nrow, 1);
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const char trans = transpose ? 'T' : 'N';
  const int m = blasInt(nrow);
  const int n = blasInt(ncol);
  const double alpha = 1.0 / total;
  const double beta = 0.0;
  const int one = 1;
  dgemv_(&trans, &m, &n, &alpha, constDataOf(*this), &m, weights, &one, &beta, out, &one);
}

// this - 1 center' (byColumn) or this - center 1' by a rank-one dger update of a copy.
void AbstractDoubleMatrix::sweepInto(AbstractDoubleMatrix& result,
                                     const AbstractDoubleMatrix& center, bool byColumn) const {
  const long nrow = getNRow();
  const long ncol = getNCol();
  QMX_ASSERT(elementCountOf(center) == (byColumn ? ncol : nrow),
             "sweepInto center must have one entry per swept column (row)");
  const std::vector<double> centerCopy(constDataOf(center),
                                       constDataOf(center) + elementCountOf(center));
  result.resize(nrow, ncol);
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const double* in = constDataOf(*this);
  if (in != out) std::copy_n(in, nrow * ncol, out);
  const std::vector<double> ones(static_cast<std::size_t>(byColumn ? nrow : ncol), 1.0);
  const double* x = byColumn ? ones.data() : centerCopy.data();
  const double* y = byColumn ? centerCopy.data() : ones.data();
  const int m = blasInt(nrow);
  const int n = blasInt(ncol);
  const double alpha = -1.0;
  const int inc = 1;
  dger_(&m, &n, &alpha, x, &inc, y, &inc, out, &m);
}

void AbstractDoubleMatrix::multiplyColumnsInto(AbstractDoubleMatrix& result,
                                               const AbstractDoubleMatrix& v, bool byColumn) const {
  const long nrow = getNRow();
  const long ncol = getNCol();
  QMX_ASSERT(elementCountOf(v) == (byColumn ? ncol : nrow),
             "multiplyColumnsInto vector must have one entry per column (row)");
  const std::vector<double> factors(constDataOf(v), constDataOf(v) + elementCountOf(v));
  result.resize(nrow, ncol);
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const double* in = constDataOf(*this);
  for (long colIdx = 0; colIdx < ncol; ++colIdx) {
    for (long rowIdx = 0; rowIdx < nrow; ++rowIdx) {
      const double factor = byColumn ? factors[colIdx] : factors[rowIdx];
      out[rowIdx + colIdx * nrow] = in[rowIdx + colIdx * nrow] * factor;
    }
  }
}

void AbstractDoubleMatrix::scaleInto(AbstractDoubleMatrix& result, double s) const {
  result.resize(getNRow(), getNCol());
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const double* in = constDataOf(*this);
  if (in != out) std::copy_n(in, elementCountOf(*this), out);
  const int n = blasInt(elementCountOf(*this));
  const int inc = 1;
  dscal_(&n, &s, out, &inc);
}

namespace {

// Copies b into the block of `target` whose top-left corner is (row0, col0).
void copyBlock(AbstractDoubleMatrix& target, const AbstractDoubleMatrix& b, long row0, long col0) {
  for (long colIdx = 0; colIdx < b.getNCol(); ++colIdx) {
    const double* from = b.getConstPtr(0, colIdx);
    std::copy_n(from, b.getNRow(), target.getPtr(row0, col0 + colIdx));
  }
}

}  // namespace

void AbstractDoubleMatrix::appendRows(const AbstractDoubleMatrix& b) {
  QMX_ASSERT(&b != this, "appendRows of a matrix onto itself");
  if (getNRow() == 0 || getNCol() == 0) {
    resize(b.getNRow(), b.getNCol());
    copyBlock(*this, b, 0, 0);
    return;
  }
  const long oldRows = getNRow();
  resize(oldRows + b.getNRow(), std::max(getNCol(), b.getNCol()));
  copyBlock(*this, b, oldRows, 0);
}

void AbstractDoubleMatrix::appendColumns(const AbstractDoubleMatrix& b) {
  QMX_ASSERT(&b != this, "appendColumns of a matrix onto itself");
  if (getNRow() == 0 || getNCol() == 0) {
    resize(b.getNRow(), b.getNCol());
    copyBlock(*this, b, 0, 0);
    return;
  }
  const long oldCols = getNCol();
  resize(std::max(getNRow(), b.getNRow()), oldCols + b.getNCol());
  copyBlock(*this, b, 0, oldCols);
}

long AbstractDoubleMatrix::eigen() {
  // No matrix class of this library carries an eigen decomposition (hasEigen() is false).
  return 0;
}

}  // namespace aml
