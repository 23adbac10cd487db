// aml::AbstractDoubleMatrix operations served by BLAS and LAPACK kernels: sums and
// differences (daxpy), products (dgemm), Cholesky factor (dpotrf), back-solve (dtrsm).
#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/AbstractDoubleMatrix.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"

namespace aml {

void AbstractDoubleMatrix::matrixOpInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b,
                                        char op) const {
  QMX_ASSERT(b.getNRow() == getNRow() && b.getNCol() == getNCol(),
             "matrixOpInto operands must have the same shape");
  const std::vector<double> other(constDataOf(b), constDataOf(b) + elementCountOf(b));
  result.resize(getNRow(), getNCol());
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const double* in = constDataOf(*this);
  if (in != out) std::copy_n(in, elementCountOf(*this), out);
  const int n = blasInt(elementCountOf(*this));
  const double alpha = op == '-' ? -1.0 : 1.0;
  const int inc = 1;
  daxpy_(&n, &alpha, other.data(), &inc, out, &inc);
}

void AbstractDoubleMatrix::scalarOpInto(AbstractDoubleMatrix& result, double s, char op) const {
  result.resize(getNRow(), getNCol());
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const long count = elementCountOf(*this);
  const double* in = constDataOf(*this);
  if (op == '*') {
    // out = 0 + s * this
    const std::vector<double> source(in, in + count);
    std::fill_n(out, count, 0.0);
    const int n = blasInt(count);
    const int inc = 1;
    daxpy_(&n, &s, source.data(), &inc, out, &inc);
  } else if (op == '+' || op == '-') {
    const double shift = op == '+' ? s : -s;
    for (long k = 0; k < count; ++k)
      out[k] = in[k] + shift;
  } else {
    std::fill_n(out, count, 0.0);
  }
}

void AbstractDoubleMatrix::multiplyInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b,
                                        TransOp t) const {
  QMX_ASSERT(&result != this && &result != &b, "multiplyInto result must not alias");
  const bool transA = transposesThis(t);
  const bool transB = transposesArg(t);
  const long m = transA ? getNCol() : getNRow();
  const long n = transB ? b.getNRow() : b.getNCol();
  const long inner = transA ? getNRow() : getNCol();
  QMX_ASSERT(inner == (transB ? b.getNCol() : b.getNRow()), "inner dimensions must agree");
  result.resize(m, n);
  double* out = mutableDataOf(result);
  if (out == nullptr || inner == 0) return;
  const char ta = transA ? 'T' : 'N';
  const char tb = transB ? 'T' : 'N';
  const int bm = blasInt(m);
  const int bn = blasInt(n);
  const int bk = blasInt(inner);
  const int lda = blasInt(getNRow());
  const int ldb = blasInt(b.getNRow());
  const double alpha = 1.0;
  const double beta = 0.0;
  dgemm_(&ta, &tb, &bm, &bn, &bk, &alpha, constDataOf(*this), &lda, constDataOf(b), &ldb, &beta,
         out, &bm);
}

void AbstractDoubleMatrix::crossprodInto(AbstractDoubleMatrix& result,
                                         const AbstractDoubleMatrix& b) const {
  multiplyInto(result, b, TransOp::kThis);
}

// The upper-triangular Cholesky factor R (R'R = A) of the leading k x k block, as R's
// chol() for a positive definite matrix.
void AbstractDoubleMatrix::choleskiInto(AbstractDoubleMatrix& result) const {
  QMX_ASSERT(&result != this, "choleskiInto result must not alias");
  const long k = std::min(getNRow(), getNCol());
  result.resize(k, k);
  if (k == 0) return;
  result.zeros();
  for (long colIdx = 0; colIdx < k; ++colIdx) {
    std::copy_n(getConstPtr(0, colIdx), colIdx + 1, result.getPtr(0, colIdx));
  }
  const char uplo = 'U';
  const int n = blasInt(k);
  int info = 0;
  dpotrf_(&uplo, &n, mutableDataOf(result), &n, &info);
  if (info != 0) {
    QMX_ThrowException("choleski factorization failed: the matrix is not positive definite");
  }
}

// Solves R X = B or R' X = B for the upper-triangular R in the leading k x k block, as R's
// backsolve(r, x, transpose = ...), after checking that R is a usable Cholesky factor.
void AbstractDoubleMatrix::backsolveInto(AbstractDoubleMatrix& result,
                                         const AbstractDoubleMatrix& b, TransOp t) const {
  QMX_ASSERT(&result != this && &result != &b, "backsolveInto result must not alias");
  const long k = std::min(getNRow(), getNCol());
  const bool rhsTransposed = transposesArg(t);
  const long rhsRows = rhsTransposed ? b.getNCol() : b.getNRow();
  const long rhsCols = rhsTransposed ? b.getNRow() : b.getNCol();
  if (rhsRows < k) QMX_ThrowException("Invalid right hand size for computing back solve");
  double product = 1.0;
  for (long i = 0; i < k; ++i) {
    const double diagonal = *getConstPtr(i, i);
    if (!(diagonal > 0.0)) product = 0.0;
    product *= diagonal;
  }
  if (!(product >= 1e-13)) {
    QMX_ThrowException("backsolve failed: invalid choleski matrix or right hand size");
  }
  result.resize(k, rhsCols);
  double* out = mutableDataOf(result);
  if (out == nullptr) return;
  const double* rhs = constDataOf(b);
  const long ldRhs = b.getNRow();
  for (long colIdx = 0; colIdx < rhsCols; ++colIdx) {
    for (long rowIdx = 0; rowIdx < k; ++rowIdx) {
      out[rowIdx + colIdx * k] =
          rhsTransposed ? rhs[colIdx + rowIdx * ldRhs] : rhs[rowIdx + colIdx * ldRhs];
    }
  }
  const char side = 'L';
  const char uplo = 'U';
  const char trans = transposesThis(t) ? 'T' : 'N';
  const char diag = 'N';
  const int m = blasInt(k);
  const int n = blasInt(rhsCols);
  const int lda = blasInt(getNRow());
  const double alpha = 1.0;
  dtrsm_(&side, &uplo, &trans, &diag, &m, &n, &alpha, constDataOf(*this), &lda, out, &m);
}

}  // namespace aml
