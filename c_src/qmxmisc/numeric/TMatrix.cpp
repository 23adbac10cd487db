#include "qmxmisc/numeric/TMatrix.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>
#include <utility>

#include "qmxmisc/base/QMXException.h"

namespace {

strVector toNames(const std::vector<std::string>& names) {
  return strVector(names);
}

// Names after a resize: non-empty names truncated or padded with empty strings.
void fitNames(strVector& names, std::uint32_t length) {
  if (!names.empty()) names.resize(length);
}

}  // namespace

template <class T>
void TMatrix<T>::checkShape(long nrow, long ncol) {
  if (nrow < 0 || ncol < 0 || ((nrow == 0) != (ncol == 0))) {
    QMX_ThrowException("Number of rows/columns of a matrix cannot be zero");
  }
}

template <class T>
void TMatrix<T>::allocate(long nrow, long ncol) {
  checkShape(nrow, ncol);
  if (nrow == 0) return;
  if (nrow > UINT32_MAX || ncol > UINT32_MAX) {
    // Neither dimension fits the 32-bit counts: report the bytes such a block would take.
    throw QMXMemoryException(static_cast<long>(
        std::min<double>(static_cast<double>(nrow) * static_cast<double>(ncol) * sizeof(T),
                         static_cast<double>(LONG_MAX))));
  }
  storage_ = MatrixStorage<T>(
      _TByteCount(static_cast<std::size_t>(nrow), static_cast<std::size_t>(ncol) * sizeof(T)) /
      sizeof(T));
  nrow_ = static_cast<std::uint32_t>(nrow);
  ncol_ = static_cast<std::uint32_t>(ncol);
}

template <class T>
void TMatrix<T>::copyFrom(const T* data) {
  if (data == nullptr && nrow_ > 0) QMX_ThrowException("Invalid data.");
  if (nrow_ > 0) std::memcpy(storage_.get(), data, static_cast<std::size_t>(size()) * sizeof(T));
}

template <class T>
void TMatrix<T>::checkNames(const strVector& rowNames, const strVector& colNames) const {
  if (!rowNames.empty() && rowNames.size() != nrow_) {
    QMX_ThrowException("Length of row names %d does not match the number of rows",
                       static_cast<int>(rowNames.size()));
  }
  if (!colNames.empty() && colNames.size() != ncol_) {
    QMX_ThrowException("Length of column names %d does not match the number of columns",
                       static_cast<int>(colNames.size()));
  }
}

template <class T>
TMatrix<T>::TMatrix(long n) : TMatrix(n, n == 0 ? 0L : 1L) {}

template <class T>
TMatrix<T>::TMatrix(long nrow, long ncol) {
  allocate(nrow, ncol);
}

template <class T>
TMatrix<T>::TMatrix(long nrow, long ncol, const strVector& rowNames, const strVector& colNames)
    : TMatrix(nrow, ncol) {
  checkNames(rowNames, colNames);
  rowNames_ = rowNames;
  colNames_ = colNames;
}

template <class T>
TMatrix<T>::TMatrix(long nrow, long ncol, const Names& rowNames, const Names& colNames)
    : TMatrix(nrow, ncol, toNames(rowNames), toNames(colNames)) {}

template <class T>
TMatrix<T>::TMatrix(long n, const strVector& rowNames)
    : TMatrix(n, n == 0 ? 0L : 1L, rowNames, strVector()) {}

template <class T>
TMatrix<T>::TMatrix(long n, const Names& rowNames) : TMatrix(n, toNames(rowNames)) {}

template <class T>
TMatrix<T>::TMatrix(const T* data, long nrow, long ncol) {
  checkShape(nrow, ncol);
  if (data == nullptr && nrow > 0) QMX_ThrowException("Invalid data.");
  allocate(nrow, ncol);
  copyFrom(data);
}

template <class T>
TMatrix<T>::TMatrix(const T* data, long n) : TMatrix(data, n, n == 0 ? 0L : 1L) {}

template <class T>
TMatrix<T>::TMatrix(const T* data, long nrow, long ncol, const strVector& rowNames,
                    const strVector& colNames)
    : TMatrix(data, nrow, ncol) {
  checkNames(rowNames, colNames);
  rowNames_ = rowNames;
  colNames_ = colNames;
}

template <class T>
TMatrix<T>::TMatrix(const T* data, long nrow, long ncol, const Names& rowNames,
                    const Names& colNames)
    : TMatrix(data, nrow, ncol, toNames(rowNames), toNames(colNames)) {}

template <class T>
TMatrix<T>::TMatrix(const T* data, long n, const strVector& rowNames)
    : TMatrix(data, n, n == 0 ? 0L : 1L, rowNames, strVector()) {}

template <class T>
TMatrix<T>::TMatrix(const T* data, long n, const Names& rowNames)
    : TMatrix(data, n, toNames(rowNames)) {}

template <class T>
TMatrix<T>::TMatrix(const TMatrix& other) {
  TMatrix::attach(other);
}

template <class T>
TMatrix<T>::TMatrix(TMatrix&& other) noexcept
    : storage_(std::move(other.storage_)),
      nrow_(std::exchange(other.nrow_, 0)),
      ncol_(std::exchange(other.ncol_, 0)),
      colNames_(std::move(other.colNames_)),
      rowNames_(std::move(other.rowNames_)) {
  other.colNames_.clear();
  other.rowNames_.clear();
}

template <class T>
TMatrix<T>& TMatrix<T>::operator=(const TMatrix& other) {
  if (this != &other) attach(other);
  return *this;
}

template <class T>
TMatrix<T>& TMatrix<T>::operator=(TMatrix&& other) noexcept {
  if (this != &other) {
    storage_ = std::move(other.storage_);
    nrow_ = std::exchange(other.nrow_, 0);
    ncol_ = std::exchange(other.ncol_, 0);
    colNames_ = std::move(other.colNames_);
    rowNames_ = std::move(other.rowNames_);
    other.colNames_.clear();
    other.rowNames_.clear();
  }
  return *this;
}

template <class T>
bool TMatrix<T>::isValid() const {
  return storage_ && nrow_ > 0 && ncol_ > 0;
}

template <class T>
void TMatrix<T>::validate() const {
  if (isValid()) return;
  if constexpr (std::is_same_v<T, double>) {
    QMX_ThrowException("bad DoubleMatrix");
  } else {
    QMX_ThrowException("bad TMatrix");
  }
}

template <class T>
void TMatrix<T>::attach(const TMatrix& other) {
  if (this == &other) return;
  storage_ = other.storage_;
  nrow_ = other.nrow_;
  ncol_ = other.ncol_;
  if (other.colNames_.size() == ncol_) {
    colNames_ = other.colNames_;
  } else {
    colNames_.clear();
  }
  if (other.rowNames_.size() == nrow_) {
    rowNames_ = other.rowNames_;
  } else {
    rowNames_.clear();
  }
  if (!storage_) {
    nrow_ = ncol_ = 0;
    colNames_.clear();
    rowNames_.clear();
  }
}

template <class T>
void TMatrix<T>::resize(unsigned nrow, unsigned ncol) {
  if (nrow == nrow_ && ncol == ncol_) return;
  if (nrow == 0 || ncol == 0) {
    storage_.release();
    nrow_ = ncol_ = 0;
    colNames_.clear();
    rowNames_.clear();
    return;
  }
  MatrixStorage<T> fresh(_TByteCount(nrow, static_cast<std::size_t>(ncol) * sizeof(T)) / sizeof(T));
  if (const T* old = storage_.get()) {
    if (std::min(ncol_, ncol) == 1) {
      // A column vector (or a reshape into one) keeps its values in storage order.
      const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(nrow_) * ncol_,
                                                      static_cast<std::size_t>(nrow) * ncol);
      std::memcpy(fresh.get(), old, count * sizeof(T));
    } else {
      const std::uint32_t rows = std::min(nrow_, nrow);
      for (std::uint32_t colIdx = 0; colIdx < std::min(ncol_, ncol); ++colIdx) {
        std::memcpy(fresh.get() + static_cast<std::size_t>(colIdx) * nrow,
                    old + static_cast<std::size_t>(colIdx) * nrow_, rows * sizeof(T));
      }
    }
    fitNames(colNames_, ncol);
    fitNames(rowNames_, nrow);
  } else {
    colNames_.clear();
    rowNames_.clear();
  }
  storage_ = std::move(fresh);
  nrow_ = nrow;
  ncol_ = ncol;
}

template <class T>
void TMatrix<T>::init(long nrow, long ncol) {
  checkShape(nrow, ncol);
  storage_.release();
  nrow_ = ncol_ = 0;
  colNames_.clear();
  rowNames_.clear();
  allocate(nrow, ncol);
}

template <class T>
T* TMatrix<T>::data() {
  storage_.unshare(static_cast<std::size_t>(size()));
  return storage_.get();
}

template <class T>
const T* TMatrix<T>::getPtr(long i, long j) const {
  if (i < 0 || i >= static_cast<long>(nrow_)) {
    QMX_ThrowException("Zero based row index %d exceeds the number of rows %d", static_cast<int>(i),
                       static_cast<int>(nrow_));
  }
  if (j < 0 || j >= static_cast<long>(ncol_)) {
    QMX_ThrowException("Zero based column index %d exceeds the number of columns %d",
                       static_cast<int>(j), static_cast<int>(ncol_));
  }
  return storage_.get() + i + static_cast<long>(nrow_) * j;
}

template <class T>
T* TMatrix<T>::getPtr(long i, long j) {
  std::as_const(*this).getPtr(i, j);  // bounds check before any copy
  return data() + i + static_cast<long>(nrow_) * j;
}

template <class T>
const T* TMatrix<T>::elementPtr(long k) const {
  if (k < 0 || k >= size()) {
    QMX_ThrowException("Zero based index %d exceeds the number of elements %d", static_cast<int>(k),
                       static_cast<int>(size()));
  }
  return storage_.get() + k;
}

template <class T>
T* TMatrix<T>::elementPtr(long k) {
  std::as_const(*this).elementPtr(k);
  return data() + k;
}

template <class T>
void TMatrix<T>::setRowNames(const strVector& names) {
  if (!names.empty() && names.size() != nrow_) {
    QMX_ThrowException("Length of row names %d does not match the matrix dimension %d",
                       static_cast<int>(names.size()), static_cast<int>(nrow_));
  }
  rowNames_ = names;
}

template <class T>
void TMatrix<T>::setColNames(const strVector& names) {
  if (!names.empty() && names.size() != ncol_) {
    QMX_ThrowException("Length of column names %d does not match the matrix dimension %d",
                       static_cast<int>(names.size()), static_cast<int>(ncol_));
  }
  colNames_ = names;
}

template class TMatrix<double>;
template class TMatrix<long>;
