// LimitedQR: the Householder QR with limited column pivoting of LINPACK's dqrdc2, the
// decomposition behind R's lm.fit. Columns keep their input order except that a column whose
// norm, after the columns before it are projected out, falls below tol times its original
// norm is moved to the end; the rank k is the number of columns left in front. Of a set of
// dependent columns the earlier ones are kept, so the aliased columns are the ones R reports
// NA.
//
// Orthogonal transformations keep column norms and the norms of projections, so decomposing
// the triangular factor R of a stacked QR (X = Q R) takes the same decisions as decomposing
// X itself: the chunked fits solve through this class on their p x p factor.
#pragma once

#include <vector>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class LimitedQR {
 public:
  LimitedQR() = default;
  // Decomposes the m x n matrix a at tolerance tol (R's lm: 1e-7).
  LimitedQR(const DoubleMatrix& a, double tol);

  long rank() const { return rank_; }
  long nCol() const { return qr_.getNCol(); }
  // Input column (0-based) at each position of the decomposition.
  const std::vector<long>& pivot() const { return pivot_; }
  // True for each input column past the rank.
  std::vector<bool> aliased() const;
  // The effects Q'b (m x q) by the first rank reflectors, as R's qr.qty of an lm fit: rows
  // 0 .. rank-1 belong to the kept columns in position order, the rest to the residual.
  DoubleMatrix qty(const DoubleMatrix& b) const;
  // n x q coefficients in input column order from the effects: the kept block solved, 0 for
  // the aliased columns.
  DoubleMatrix solveEffects(const DoubleMatrix& effects) const;
  // n x n inverse of the kept triangle, rows and columns in input order, zeros for aliased
  // columns: Rinv Rinv' is the unscaled covariance of the coefficients.
  DoubleMatrix rinv() const;

 private:
  DoubleMatrix qr_;  // R above the diagonal, the reflectors below (LINPACK's compact form)
  std::vector<double> qraux_;
  std::vector<long> pivot_;
  long rank_ = 0;
};
