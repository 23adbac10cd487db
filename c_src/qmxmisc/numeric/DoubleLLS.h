// DoubleLLS: chunked linear least squares. Keeps only the triangular factor R (p x p), the
// first p rows of Q'Y, the pivot (identity after a fold), the residual cross-products of the
// folds and the weighted centred cross-products and means of the responses; each chunk of rows
// is folded in by an unpivoted Householder QR of the stacked matrix [R QTY; X Y] (TSQR), so
// memory is O(p^2 + q^2 + pq) whatever the row count, and R is the same (up to the signs of
// its rows) whatever the chunking. The rows of the rotated [QTY; Y] below p are residual
// components; their cross-products are accumulated fold by fold (never a difference of large
// totals). Solves apply R's limited pivoting rule (LimitedQR) to R itself, so the aliased
// columns are the ones R's lm.fit reports NA.
//
// It is a QMXAccumulator: update folds a chunk, merge folds in another fit's factor (its R
// un-pivoted as p extra rows with their Q'Y, re-triangularised; the residual and response
// statistics pooled), finalize solves at R's lm tolerance 1e-7.
#pragma once

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/DoubleQRLimited.h"
#include "qmxmisc/numeric/Vectors.h"

// One chunk: X n x p, Y n x q, W an n x 1 column of case weights or any other shape for none;
// nFixed is not used (folds do not pivot).
struct LLSChunk {
  const DoubleMatrix& x;
  const DoubleMatrix& y;
  const DoubleMatrix& w;
  long nFixed = 0;
};

// The fit of the rows seen: coef(1e-7), XtXinv(1e-7), SCPE, rank(1e-7), N and SumWt.
struct LLSResult {
  DoubleMatrix coef;
  DoubleMatrix xtxInv;
  DoubleMatrix scpe;
  long rank = 0;
  double n = 0.0;
  double sumWt = 0.0;
};

class DoubleLLS {
 public:
  using Chunk = LLSChunk;
  using Result = LLSResult;

  DoubleLLS() = default;
  // Empty, then rowBind(X, Y, no weights, nFixed).
  DoubleLLS(const DoubleMatrix& x, const DoubleMatrix& y, long nFixed);
  DoubleLLS(const DoubleLLS& other) = default;
  DoubleLLS& operator=(const DoubleLLS& other) = default;
  DoubleLLS(DoubleLLS&& other) noexcept = default;
  DoubleLLS& operator=(DoubleLLS&& other) noexcept = default;

  // Virtual operations, in slot order.
  virtual ~DoubleLLS();
  // R to p x pR, QTY to p x q, pivot to pR entries, SCPY and SSE to q x q, Ybar to q (new
  // cells 0).
  virtual void resize(long p, long pR, long q);
  virtual long getNRow() const;
  virtual long getNRCol() const;
  virtual long getNQTYCol() const;
  virtual double* getRPtr(long i, long j);
  virtual double* getQTYPtr(long i, long j);
  virtual std::int32_t* getPivotPtr(long i);
  virtual double* getSCPYPtr(long i, long j);
  virtual double* getYbarPtr(long i);
  virtual double& getNRef();
  virtual double& getSumWtRef();
  // R and QTY valid.
  virtual bool isValid() const;
  // Throws the plain text exception "bad object" when !isValid().
  virtual void validate() const;
  // resize(0, 0, 0).
  virtual void erase();
  // dtrcon of R ("1" or "I").
  virtual double rcond(bool oneNorm, bool check) const;
  // 1 / rcond(oneNorm, true).
  virtual double conditionNumber(bool oneNorm) const;
  // Rank of R under the limited pivoting rule at tol.
  virtual long rank(double tol, bool check) const;

  // Folds a chunk in: X n x p, Y n x q, W an n x 1 column of case weights (any other shape:
  // no weights; a weight <= 0 counts as 0). nFixed is not used. Throws "wrong number of rows"
  // when X and Y differ in rows.
  void rowBind(const DoubleMatrix& x, const DoubleMatrix& y, const DoubleMatrix& w, long nFixed);
  void update(const LLSChunk& chunk) { rowBind(chunk.x, chunk.y, chunk.w, chunk.nFixed); }
  // Folds in the rows `other` has seen (same columns, same responses); exact up to rounding
  // and the signs of R's rows. Not for a factor holding restrictions.
  void merge(const DoubleLLS& other);
  // Empty (invalid) before any row.
  LLSResult finalize() const;

  // p x q coefficients in input column order, aliased rows 0.
  DoubleMatrix coef(double tol, bool check) const;
  // p x p inverse of the rank-reduced R, rows in input column order.
  DoubleMatrix Rinv(double tol, bool check) const;
  // Rinv Rinv': the unscaled covariance of the coefficients (dsyrk), input column order.
  DoubleMatrix XtXinv(double tol, bool check) const;
  // q x q residual sums of squares and cross-products, sum w (y - yhat)(y - yhat)': the
  // residual cross-products of the folds plus those of the effects past the rank (tol 1e-7).
  DoubleMatrix SCPE(bool check) const;
  // R with its columns in input order (p x p; upper triangular after a fold).
  DoubleMatrix inputOrderR() const;
  // The limited-pivoting decomposition of inputOrderR() at tol.
  LimitedQR limitedQR(double tol) const { return LimitedQR(inputOrderR(), tol); }
  // q x q cross-products of the residual rows of all folds (the part of SCPE that no column
  // of R can explain).
  const DoubleMatrix& foldResidual() const { return SSE_; }
  // Rows with a positive weight (all rows when unweighted): R's n for residual degrees of
  // freedom.
  double getNPositive() const { return NPos_; }
  // Adds columns without refitting: for each new 1-based column c in turn, pivot entries >= c
  // move up by one and c is appended; R and QTY grow by zero rows/columns.
  void extendR(const lVector& newColumns);

  void setR(const DoubleMatrix& r, bool check);
  void setQTY(const DoubleMatrix& qty, bool check);
  void setPivot(const lVector& pivot, bool check);
  DoubleMatrix getR(bool check) const;
  DoubleMatrix getQTY(bool check) const;
  lVector getPivot(bool check) const;
  DoubleMatrix getSCPY(bool check) const;
  dVector getYbar(bool check) const;
  double getN(bool check) const;
  double getSumWt(bool check) const;

 protected:
  DoubleMatrix R_;
  DoubleMatrix QTY_;
  lVector pivot_;
  DoubleMatrix SCPY_;
  dVector Ybar_;
  double N_ = 0.0;
  double SumWt_ = 0.0;
  DoubleMatrix SSE_;
  double NPos_ = 0.0;

 private:
  long q() const { return SCPY_.getNRow(); }
  // Steps 3-6 of the fold: the rows of x and y (scaled by scale[i] when given) stacked under
  // the factor and the whole re-triangularised; the residual rows go to SSE.
  void foldRows(const DoubleMatrix& x, const DoubleMatrix& y, const double* scale);
  // Steps 7-8 of the fold: the pooled weighted mean and centred cross-products.
  void updateResponseStats(const DoubleMatrix& y, const double* w, long q);
  void poolMeans(const double* m, double weight, long qY);
};
