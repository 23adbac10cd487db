// Operations of the long matrices (term tables, counts) and the plain array product.
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"
#include "qmxmisc/numeric/TMatrix.h"

TMatrix<long> operator&(const TMatrix<long>& a, const TMatrix<long>& b) {
  if (!a.isValid() || !b.isValid()) QMX_ThrowException("Invalid matrix operation");
  if (a.getNRow() != b.getNRow() || a.getNCol() != b.getNCol()) {
    QMX_ThrowException("Incompatable matrix dimensions for operation, A(%d,%d)&B(%d,%d)",
                       static_cast<int>(a.getNRow()), static_cast<int>(a.getNCol()),
                       static_cast<int>(b.getNRow()), static_cast<int>(b.getNCol()));
  }
  TMatrix<long> result(a.getNRow(), a.getNCol());
  long* out = result.data();
  for (long k = 0; k < a.size(); ++k)
    out[k] = a.constData()[k] & b.constData()[k];
  return result;
}

void matrix_prod(const double* a, const double* b, long m, long k, long n, double* c) {
  if (m == 0 || n == 0) return;
  const char trans = 'N';
  const int bm = blasInt(m);
  const int bn = blasInt(n);
  const int bk = blasInt(k);
  const int lda = bm;
  const int ldb = bk > 0 ? bk : 1;
  const double alpha = 1.0;
  const double beta = 0.0;
  dgemm_(&trans, &trans, &bm, &bn, &bk, &alpha, a, &lda, b, &ldb, &beta, c, &bm);
}

void matrix_prod(const long* a, const long* b, long m, long k, long n, long* c) {
  for (long colIdx = 0; colIdx < n; ++colIdx) {
    for (long rowIdx = 0; rowIdx < m; ++rowIdx) {
      long total = 0;
      for (long inner = 0; inner < k; ++inner)
        total += a[rowIdx + inner * m] * b[inner + colIdx * k];
      c[rowIdx + colIdx * m] = total;
    }
  }
}
