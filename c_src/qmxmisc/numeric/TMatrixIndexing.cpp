// Indexed sub-block reads and writes of TMatrix<T>.
#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/TMatrix.h"

template <class T>
void TMatrix<T>::checkSubIndices(const Index& rows, const Index& cols) const {
  for (std::uint32_t row : rows) {
    if (row >= nrow_) {
      QMX_ThrowException("Bad row index %d, matrix has %d rows", static_cast<int>(row),
                         static_cast<int>(nrow_));
    }
  }
  for (std::uint32_t col : cols) {
    if (col >= ncol_) {
      QMX_ThrowException("Bad column index %d, matrix has %d columns", static_cast<int>(col),
                         static_cast<int>(ncol_));
    }
  }
}

template <class T>
void TMatrix<T>::checkColumnVector(const Index& idx) const {
  if (ncol_ > 1) QMX_ThrowException("Matrix is not a column vector");
  checkSubIndices(idx, Index());
}

template <class T>
TMatrix<T> TMatrix<T>::getSub(const Index& rows, const Index& cols) const {
  checkSubIndices(rows, cols);
  TMatrix<T> block(static_cast<long>(rows.size()), static_cast<long>(cols.size()));
  if (!block.isValid()) return block;
  T* out = block.data();
  for (std::size_t colIdx = 0; colIdx < cols.size(); ++colIdx) {
    const T* column = constData() + static_cast<std::size_t>(cols[colIdx]) * nrow_;
    for (std::size_t rowIdx = 0; rowIdx < rows.size(); ++rowIdx) {
      out[rowIdx + colIdx * rows.size()] = column[rows[rowIdx]];
    }
  }
  return block;
}

template <class T>
void TMatrix<T>::setSub(const Index& rows, const Index& cols, const TMatrix& values) {
  checkSubIndices(rows, cols);
  QMX_ASSERT(values.getNRow() == static_cast<long>(rows.size()) &&
                 values.getNCol() == static_cast<long>(cols.size()),
             "sub-block values must match the index lengths");
  if (rows.empty() || cols.empty()) return;
  T* out = data();
  for (std::size_t colIdx = 0; colIdx < cols.size(); ++colIdx) {
    T* column = out + static_cast<std::size_t>(cols[colIdx]) * nrow_;
    for (std::size_t rowIdx = 0; rowIdx < rows.size(); ++rowIdx) {
      column[rows[rowIdx]] = values.constData()[rowIdx + colIdx * rows.size()];
    }
  }
}

template <class T>
TMatrix<T> TMatrix<T>::getSub(const Index& idx) const {
  checkColumnVector(idx);
  TMatrix<T> block(static_cast<long>(idx.size()));
  for (std::size_t a = 0; a < idx.size(); ++a)
    block.data()[a] = constData()[idx[a]];
  return block;
}

template <class T>
void TMatrix<T>::setSub(const Index& idx, const TMatrix& values) {
  checkColumnVector(idx);
  QMX_ASSERT(values.size() == static_cast<long>(idx.size()),
             "sub-range values must match the index length");
  if (idx.empty()) return;
  T* out = data();
  for (std::size_t a = 0; a < idx.size(); ++a)
    out[idx[a]] = values.constData()[a];
}

// The members above are defined outside TMatrix.cpp, so they are instantiated here.
#define QMX_INSTANTIATE_INDEXING(T)                                                \
  template void TMatrix<T>::checkSubIndices(const Index&, const Index&) const;     \
  template void TMatrix<T>::checkColumnVector(const Index&) const;                 \
  template TMatrix<T> TMatrix<T>::getSub(const Index&, const Index&) const;        \
  template void TMatrix<T>::setSub(const Index&, const Index&, const TMatrix<T>&); \
  template TMatrix<T> TMatrix<T>::getSub(const Index&) const;                      \
  template void TMatrix<T>::setSub(const Index&, const TMatrix<T>&);
QMX_INSTANTIATE_INDEXING(double)
QMX_INSTANTIATE_INDEXING(long)
#undef QMX_INSTANTIATE_INDEXING
