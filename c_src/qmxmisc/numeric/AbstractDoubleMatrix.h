// aml::AbstractDoubleMatrix: the algorithm interface shared by DoubleMatrix, DoubleQR and
// ModelMatrix. The algorithms are written once against element pointers: an implementation
// supplies the shape, element pointers into contiguous column-major storage (leading
// dimension getNRow()), resize and create; everything else has a default here.
//
// "Into" operations write their answer into `result`, resizing it to the answer's shape;
// `result` must not be the same object as an argument of a product (multiplyInto,
// crossprodInto, weightedMeansInto). Operations that reject their arguments throw
// QMXException and leave their operands unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "qmxmisc/numeric/TransOp.h"

namespace aml {

class AbstractDoubleMatrix {
 public:
  AbstractDoubleMatrix() = default;
  AbstractDoubleMatrix(const AbstractDoubleMatrix&) = default;
  AbstractDoubleMatrix& operator=(const AbstractDoubleMatrix&) = default;

  // The slots, in table order ([n] is the slot number).
  // [0]
  virtual ~AbstractDoubleMatrix() = default;
  // [1] Row count.
  virtual long getNRow() const = 0;
  // [2] Column count.
  virtual long getNCol() const = 0;
  // [3] Mutable pointer to element (i, j): unshares and checks bounds.
  virtual double* getPtr(long i, long j) = 0;
  // [4] Reshapes keeping the overlap (TMatrix resize rules).
  virtual void resize(long nrow, long ncol) = 0;
  // [5] A new heap matrix of the same kind of that shape (zeros).
  virtual std::unique_ptr<AbstractDoubleMatrix> create(long nrow, long ncol) const = 0;
  // [6] A new heap DoubleQR of that shape.
  virtual std::unique_ptr<AbstractDoubleMatrix> createQR(long nrow, long ncol) const = 0;
  // [7] True for a DoubleQR.
  virtual bool isQR() const { return false; }
  // [8] Pointer into a DoubleQR's tau; null otherwise.
  virtual double* getTauPtr(long) { return nullptr; }
  // [9] Pointer into a DoubleQR's pivot (1-based columns); null otherwise.
  virtual std::int32_t* getPivotPtr(long) { return nullptr; }
  // [10] False in every class of the library.
  virtual bool hasEigen() const { return false; }
  // [11] Null (no class holds an eigen decomposition).
  virtual double* getEigenValuesPtr(long) { return nullptr; }
  // [12] Null.
  virtual double* getEigenVectorsPtr(long) { return nullptr; }
  // [13] Every element 0 (no effect on an empty matrix).
  virtual void zeros();
  // [14] For a square matrix: zeros, then 1.0 on the diagonal.
  virtual void identity();
  // [15] result = this + B, or this - B when op is '-' (daxpy over all elements).
  virtual void matrixOpInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b,
                            char op) const;
  // [16] '*': s*this; '+': this + s; '-': this - s; any other op: result all zeros.
  virtual void scalarOpInto(AbstractDoubleMatrix& result, double s, char op) const;
  // [17] result = op(this) * op(B) by dgemm, op chosen by the TransOp bits.
  virtual void multiplyInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b,
                            TransOp t) const;
  // [18] result = this' * B by dgemm.
  virtual void crossprodInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b) const;
  // [19] In-place row bind: B's rows below this matrix's (a matrix without rows becomes a copy).
  virtual void appendRows(const AbstractDoubleMatrix& b);
  // [20] In-place column bind: B's columns to the right.
  virtual void appendColumns(const AbstractDoubleMatrix& b);
  // [21] Rank of the column-pivoted QR at tolerance tol (QR slots: see DoubleQR).
  virtual long qrRank(double tol) const;
  // [22] Rank-revealing least-squares solve.
  virtual long qrSolveInto(AbstractDoubleMatrix& result, double tol) const;
  // [23] Reciprocal condition number of R (dtrcon), 1-norm or infinity norm.
  virtual double qrRcond(bool oneNorm) const;
  // [24] 1 / qrRcond(true).
  virtual double qrConditionNumber() const;
  // [25] transpose: result (ncol x 1) = this' * w / sum(w) (column means); otherwise
  // result (nrow x 1) = this * w / sum(w). A w that is not a column vector of the matching
  // length counts as all ones (the divisor is then the count).
  virtual void weightedMeansInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& w,
                                 bool transpose) const;
  // [26] byColumn: subtract center[j] from column j; otherwise subtract center[i] from row i
  // (dger with alpha -1). center's elements are read in storage order, whatever its shape.
  virtual void sweepInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& center,
                         bool byColumn) const;
  // [27] Sum of all elements, 0.0 for an empty matrix.
  virtual double sum() const;
  // [28] byColumn: result column j = column j * v[j]; otherwise column j (element by element) v.
  virtual void multiplyColumnsInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& v,
                                   bool byColumn) const;
  // [29] result = s * this (dscal).
  virtual void scaleInto(AbstractDoubleMatrix& result, double s) const;
  // [30] Means of the k groups of an agglomerative clustering of the rows (linkage code method,
  // 1..7), p = result's column count. Returns k, or g when group g is empty.
  virtual long hclustCenters(AbstractDoubleMatrix& result, long k, int method) const;
  // [31] result.nrow rows drawn by RandomGenerator(seed).nextInt(0, nrow-1), repeats discarded
  // unless withReplacement.
  virtual void sampleRowsInto(AbstractDoubleMatrix& result, bool withReplacement, long seed) const;
  // [32] Inverse of the rank-reduced R, rows in input column order.
  virtual long qrRinvInto(AbstractDoubleMatrix& result, double tol) const;
  // [33] Upper-triangular R with R'R = the leading k x k block, k = min(nrow, ncol) (dpotrf "U").
  virtual void choleskiInto(AbstractDoubleMatrix& result) const;
  // [34] Solves R X = B (or R' X = B) with R the upper triangle of the leading k x k block.
  virtual void backsolveInto(AbstractDoubleMatrix& result, const AbstractDoubleMatrix& b,
                             TransOp t) const;
  // [35] Column-pivoted QR in place (dgeqpf), the first nFixed columns kept in front; returns
  // the LAPACK status.
  virtual long qrDecompose(long nFixed);
  // [36] Eigen decomposition (dgeevx) when hasEigen(); nothing otherwise. Returns 0.
  virtual long eigen();
  // [37] Read-only pointer to element (i, j): checks bounds, never copies. (An addition to the
  // table above: the const algorithms read their operands through it.)
  virtual const double* getConstPtr(long i, long j) const = 0;
};

// Element count and whole-storage pointers (null when empty) of any interface matrix; vector
// arguments are read in storage order through them.
long elementCountOf(const AbstractDoubleMatrix& m);
const double* constDataOf(const AbstractDoubleMatrix& m);
double* mutableDataOf(AbstractDoubleMatrix& m);

// The centre step of hclustCenters: result[g-1, j] = mean of column j of x over the rows whose
// group number (1-based, one per row) is g, for g = 1..k and j < result.ncol (result is
// k x p). Stops at the first empty group g and returns g; returns k when none is empty.
long groupMeansInto(const AbstractDoubleMatrix& x, AbstractDoubleMatrix& result,
                    const std::vector<int>& groups, long k);

}  // namespace aml
