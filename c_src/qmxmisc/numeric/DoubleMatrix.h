// DoubleMatrix: the library's dense double matrix. A TMatrix<double> (shared copy-on-write
// storage, names) that also implements the algorithm interface aml::AbstractDoubleMatrix.
//
// Arithmetic returns new matrices and leaves the operands unchanged. The trailing `check`
// argument of the virtual operations asks for validate() on this matrix first; every
// operator passes true.
#pragma once

#include <memory>
#include <utility>

#include "qmxmisc/numeric/AbstractDoubleMatrix.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/TransOp.h"

class DoubleQR;

class DoubleMatrix : public TMatrix<double>, public aml::AbstractDoubleMatrix {
 public:
  using TMatrix<double>::TMatrix;
  DoubleMatrix() = default;
  DoubleMatrix(const DoubleMatrix& other) = default;
  DoubleMatrix(DoubleMatrix&& other) noexcept = default;
  DoubleMatrix(const TMatrix<double>& other) : TMatrix<double>(other) {}  // NOLINT
  DoubleMatrix& operator=(const DoubleMatrix& other) = default;
  DoubleMatrix& operator=(DoubleMatrix&& other) noexcept = default;
  DoubleMatrix& operator=(const TMatrix<double>& other) {
    TMatrix<double>::operator=(other);
    return *this;
  }
  ~DoubleMatrix() override;

  // The constructors in callable form.
  template <class... Args>
  static DoubleMatrix constructor(Args&&... args) {
    return DoubleMatrix(std::forward<Args>(args)...);
  }

  // Matrix face, in slot order after those of TMatrix<double>.
  virtual void rowBind(const DoubleMatrix& b, bool check);
  virtual void colBind(const DoubleMatrix& b, bool check);
  // this op B element by element ('-' subtracts, anything else adds). Throws "invalid
  // object" for an invalid B and "invalid dimensions for binary operation %c" unless the
  // shapes agree.
  virtual DoubleMatrix binaryOp(const DoubleMatrix& b, char op, bool check) const;
  virtual DoubleMatrix binaryOp(double s, char op, bool check) const;
  virtual DoubleMatrix multiply(const DoubleMatrix& b, TransOp t, bool check) const;
  // this' * B, shape (ncol, B.ncol).
  virtual DoubleMatrix crossprod(const DoubleMatrix& b, bool check) const;
  virtual DoubleMatrix crossprod(bool check) const;
  // (x[i,j] - center[j]) / scale[j], a scale of exactly 0 taken as 1.
  virtual DoubleMatrix scale(const TMatrix<double>& center, const TMatrix<double>& scale,
                             bool check) const;
  virtual DoubleMatrix scale(const DoubleMatrix& center, const DoubleMatrix& scale,
                             bool check) const;
  // QR-based operations (defined with DoubleQR).
  virtual long rank(double tol, bool check) const;
  virtual DoubleQR qr(long nFixed, bool check, bool flag) const;
  virtual DoubleQR qr(bool check) const;
  virtual DoubleMatrix solve(const DoubleMatrix& b, double tol, bool check) const;
  virtual DoubleMatrix inverse(double tol, bool check) const;
  virtual double rcond(bool oneNorm, bool check) const;
  virtual DoubleMatrix choleski(bool check) const;
  virtual DoubleMatrix backsolve(const DoubleMatrix& b, TransOp t, bool check) const;
  // 1 / rcond(oneNorm, true).
  double conditionNumber(bool oneNorm) const;

  // Resizing: TMatrix's virtual resize(unsigned, unsigned) does the work; the interface's
  // resize(long, long) and the integer template forward to it.
  using TMatrix<double>::resize;
  void resize(long nrow, long ncol) override;
  template <std::integral R, std::integral C>
  void resize(R nrow, C ncol) {
    resize(static_cast<long>(nrow), static_cast<long>(ncol));
  }

  // Algorithm interface primitives.
  long getNRow() const override { return TMatrix<double>::getNRow(); }
  long getNCol() const override { return TMatrix<double>::getNCol(); }
  using TMatrix<double>::getPtr;
  double* getPtr(long i, long j) override { return TMatrix<double>::getPtr(i, j); }
  const double* getConstPtr(long i, long j) const override { return TMatrix<double>::getPtr(i, j); }
  std::unique_ptr<aml::AbstractDoubleMatrix> create(long nrow, long ncol) const override;
  std::unique_ptr<aml::AbstractDoubleMatrix> createQR(long nrow, long ncol) const override;
};

DoubleMatrix operator+(const DoubleMatrix& a, const DoubleMatrix& b);
DoubleMatrix operator+(const DoubleMatrix& a, const TMatrix<double>& b);
DoubleMatrix operator-(const DoubleMatrix& a, const DoubleMatrix& b);
DoubleMatrix operator-(const DoubleMatrix& a, const TMatrix<double>& b);
DoubleMatrix operator*(const DoubleMatrix& a, const DoubleMatrix& b);
DoubleMatrix operator*(const DoubleMatrix& a, double s);
DoubleMatrix operator+(const DoubleMatrix& a, double s);
DoubleMatrix operator-(const DoubleMatrix& a, double s);
