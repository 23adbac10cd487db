// DoubleQR: the column-pivoted QR decomposition of one matrix (LAPACK's compact form: R in
// the upper triangle, Householder vectors below it, one tau per column, 1-based pivot). It
// answers rank, solve, inverse and condition questions; the tolerance of the rank test
// decides which columns are aliased, and aliased columns get coefficient 0 (never an error).
//
// A DoubleQR is made by DoubleMatrix::qr(nFixed, ...), which copies the source (shared block,
// unshared on the first write) and calls qrDecompose(nFixed).
#pragma once

#include <memory>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class DoubleQR : public DoubleMatrix {
 public:
  DoubleQR() = default;
  // Shares m's block; tau and pivot sized to its column count (zeros).
  explicit DoubleQR(const DoubleMatrix& m);
  DoubleQR(long nrow, long ncol);
  DoubleQR(const double* data, long nrow, long ncol);
  DoubleQR(const DoubleQR& other) = default;
  DoubleQR(DoubleQR&& other) noexcept = default;
  DoubleQR& operator=(const DoubleQR& other) = default;
  DoubleQR& operator=(DoubleQR&& other) noexcept = default;
  ~DoubleQR() override;

  // Matrix face overrides: validity includes tau and pivot of ncol entries; validate()
  // throws "bad DoubleQR"; resize also resizes tau and pivot to ncol (new entries 0).
  bool isValid() const override;
  void validate() const override;
  using DoubleMatrix::resize;
  void resize(unsigned nrow, unsigned ncol) override;
  void resize(long nrow, long ncol) override;
  // Rank by the incremental condition test (DGELSX) at tol.
  long rank(double tol, bool check) const override;
  // Least-squares solution (ncol x B.ncol, rows in input column order) of A X ~ B; B has
  // nrow rows. Rows of aliased columns are 0.
  DoubleMatrix solve(const DoubleMatrix& b, double tol, bool check) const override;
  // dtrcon of R, 1-norm or infinity norm; -1.0 on a LAPACK status.
  double rcond(bool oneNorm, bool check) const override;
  // 1 / rcond(true, oneNorm) (a further slot).
  virtual double conditionNumber(bool oneNorm) const;

  // ncol x ncol upper triangle of the first ncol rows, zeros below.
  DoubleMatrix R(bool check) const;
  // The nrow x nrow orthogonal factor (LAPACK dorgqr).
  DoubleMatrix Q(bool check) const;
  // Q' B (dormqr "L", "T"), cut to the first ncol rows.
  DoubleMatrix qty(const DoubleMatrix& b, bool check) const;
  // Inverse of the rank-reduced R, rows in input column order, zero rows and columns for
  // aliased columns.
  DoubleMatrix Rinv(double tol, bool check) const;

  const dVector& tau() const { return tau_; }
  const lVector& pivot() const { return pivot_; }
  void setTau(const dVector& tau) { tau_ = tau; }
  void setPivot(const lVector& pivot) { pivot_ = pivot; }

  // Algorithm interface.
  std::unique_ptr<aml::AbstractDoubleMatrix> create(long nrow, long ncol) const override;
  bool isQR() const override { return true; }
  double* getTauPtr(long i) override;
  std::int32_t* getPivotPtr(long i) override;
  long qrRank(double tol) const override;
  // On entry result holds the right-hand side B (nrow rows); on return the solution, ncol
  // rows in input column order. Returns the rank used.
  long qrSolveInto(aml::AbstractDoubleMatrix& result, double tol) const override;
  double qrRcond(bool oneNorm) const override;
  // result = Rinv(tol); returns the rank used.
  long qrRinvInto(aml::AbstractDoubleMatrix& result, double tol) const override;
  // dgeqpf in place, the first nFixed columns kept in front; returns the LAPACK status
  // (-1 for an empty matrix).
  long qrDecompose(long nFixed) override;

 private:
  dVector tau_;
  lVector pivot_;
};
