// TMatrix<T>: a dense column-major matrix (instantiated for double and long) with optional
// row and column names and shared, reference-counted, copy-on-write storage.
//
// Element (i, j), both zero-based, is at index i + nrow*j. A matrix is either empty (no
// storage, 0 x 0) or has both dimensions at least 1. Names are either empty or exactly as
// long as their dimension. Copies, assignment and attach share the storage block in O(1);
// every mutable element access first makes the block this matrix's own (copy-on-write);
// read-only (const) access never copies.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/MatrixStorage.h"
#include "qmxmisc/numeric/Vectors.h"

template <class T>
class TMatrix {
 public:
  using Names = std::vector<std::string>;

  TMatrix() = default;
  explicit TMatrix(long n);
  TMatrix(long nrow, long ncol);
  // Any pair of integers (int literals included) selects the shape constructor.
  template <std::integral R, std::integral C>
  TMatrix(R nrow, C ncol) : TMatrix(static_cast<long>(nrow), static_cast<long>(ncol)) {}
  TMatrix(long nrow, long ncol, const strVector& rowNames, const strVector& colNames);
  TMatrix(long nrow, long ncol, const Names& rowNames, const Names& colNames);
  TMatrix(long n, const strVector& rowNames);
  TMatrix(long n, const Names& rowNames);
  // Copies nrow*ncol values (column-major) from data.
  TMatrix(const T* data, long nrow, long ncol);
  TMatrix(const T* data, long n);
  TMatrix(const T* data, long nrow, long ncol, const strVector& rowNames,
          const strVector& colNames);
  TMatrix(const T* data, long nrow, long ncol, const Names& rowNames, const Names& colNames);
  TMatrix(const T* data, long n, const strVector& rowNames);
  TMatrix(const T* data, long n, const Names& rowNames);
  TMatrix(const TMatrix& other);
  TMatrix(TMatrix&& other) noexcept;
  TMatrix& operator=(const TMatrix& other);
  TMatrix& operator=(TMatrix&& other) noexcept;
  virtual ~TMatrix() = default;

  // Virtual operations of the matrix face, in slot order.
  virtual bool isValid() const;
  // Throws "bad DoubleMatrix" (double) / "bad TMatrix" (long) when !isValid().
  virtual void validate() const;
  // Shares other's block; copies names only when they match the dimension.
  virtual void attach(const TMatrix& other);
  // Reshapes keeping the overlap (see resizeStorage).
  virtual void resize(unsigned nrow, unsigned ncol);

  // Discards the content and names and reallocates zeros (0 x 0 gives an empty matrix).
  void init(long nrow, long ncol);
  void init(const TMatrix& other) { attach(other); }

  long getNRow() const { return nrow_; }
  long getNCol() const { return ncol_; }
  long size() const { return static_cast<long>(nrow_) * ncol_; }
  // Shared storage users, 0 for an empty matrix (for tests and diagnostics).
  std::uint32_t useCount() const { return storage_.useCount(); }

  // Mutable access unshares the block; all check bounds.
  T* getPtr(long i, long j);
  const T* getPtr(long i, long j) const;
  T& operator()(long i, long j) { return *getPtr(i, j); }
  const T& operator()(long i, long j) const { return *getPtr(i, j); }
  T& operator()(long k) { return *elementPtr(k); }
  const T& operator()(long k) const { return *elementPtr(k); }
  T& operator[](long k) { return *elementPtr(k); }
  const T& operator[](long k) const { return *elementPtr(k); }
  // Whole-matrix pointers without bounds checks (null when empty); the mutable one unshares.
  T* data();
  const T* data() const { return storage_.get(); }
  const T* constData() const { return storage_.get(); }

  const strVector& getRowNames() const { return rowNames_; }
  const strVector& getColNames() const { return colNames_; }
  // An empty vector clears the names; otherwise the length must match the dimension.
  void setRowNames(const strVector& names);
  void setColNames(const strVector& names);

  // Indexed sub-blocks: element (a, b) of the block is (rows[a], cols[b]) of this matrix.
  TMatrix getSub(const Index& rows, const Index& cols) const;
  void setSub(const Index& rows, const Index& cols, const TMatrix& values);
  // Single index range, for a column vector: element a is this[idx[a]].
  TMatrix getSub(const Index& idx) const;
  void setSub(const Index& idx, const TMatrix& values);

 protected:
  // Checks for the shape constructors: "Number of rows/columns of a matrix cannot be zero".
  static void checkShape(long nrow, long ncol);
  void allocate(long nrow, long ncol);
  void copyFrom(const T* data);
  void checkNames(const strVector& rowNames, const strVector& colNames) const;
  T* elementPtr(long k);
  const T* elementPtr(long k) const;
  void checkSubIndices(const Index& rows, const Index& cols) const;
  void checkColumnVector(const Index& idx) const;

  MatrixStorage<T> storage_;
  std::uint32_t nrow_ = 0;
  std::uint32_t ncol_ = 0;
  strVector colNames_;
  strVector rowNames_;
};

extern template class TMatrix<double>;
extern template class TMatrix<long>;

// Element-wise & of two equally shaped long matrices (term tables).
// "Invalid matrix operation" for an empty operand; "Incompatable matrix dimensions for
// operation, A(%d,%d)&B(%d,%d)" for different shapes.
TMatrix<long> operator&(const TMatrix<long>& a, const TMatrix<long>& b);

// C = A*B for an m x k matrix A and a k x n matrix B, all column-major and contiguous; C is
// m x n. BLAS dgemm for doubles, a plain triple loop for longs.
void matrix_prod(const double* a, const double* b, long m, long k, long n, double* c);
void matrix_prod(const long* a, const long* b, long m, long k, long n, long* c);
