// Pointer-level kernels of the column-pivoted QR and the least-squares solves built on it.
// All arrays are column-major with an explicit leading dimension; pivots are LAPACK's 1-based
// column numbers in decomposed order. The rank test and the rank-revealing solve follow
// LAPACK's DGELSX: ranks come from the incremental condition estimator dlaic1 run down the
// diagonal of R, and the solution of the accepted leading triangle is permuted back to input
// column order by following the pivot cycles.
#pragma once

#include <cstdint>

namespace qrk {

// Column-pivoted Householder QR of the m x n matrix a in place (LAPACK dgeqpf, work 3n + 1).
// jpvt is zeroed and its first nFixed entries set to 1, so those columns are moved to the
// front and not pivoted. Returns the LAPACK status.
int pivotedQR(double* a, long m, long n, long lda, std::int32_t* jpvt, double* tau, long nFixed);

// c (m x nrhs) = Q' c for the k reflectors stored below the diagonal of a (LAPACK dormqr
// "L", "T"). A non-zero status throws.
void applyQt(const double* a, long m, long k, long lda, const double* tau, double* c, long ldc,
             long nrhs);

// Rank of the upper triangle of the leading k x k block of r at tolerance tol (DGELSX): 0 when
// |r[0,0]| = 0, otherwise the number of leading columns kept while the estimated smallest
// singular value stays at least tol times the estimated largest one.
long triangularRank(const double* r, long ldr, long k, double tol);

// Solves the leading rank x rank triangle of r against the first rank rows of b (BLAS dtrsm
// "L", "U", "N", "N"), sets rows rank..n-1 of b to 0.
void rankedTriangularSolve(const double* r, long ldr, long rank, double* b, long ldb, long n,
                           long nrhs);

// Rows of x (n x nrhs) from pivot order to input order: row k moves to row pivot[k] - 1,
// done in place by following the cycles of the permutation with BLAS dswap.
void permuteRowsBack(double* x, long ldx, long n, long nrhs, const std::int32_t* pivot);

// The DGELSX solve after the Q' step: rank of the k x k triangle of r at tol, triangular solve
// of b (n x nrhs, n >= k rows used), zero rows past the rank, rows permuted back. Returns the
// rank.
long solveRankReduced(const double* r, long ldr, long k, long n, double tol,
                      const std::int32_t* pivot, double* b, long ldb, long nrhs);

// Reciprocal condition number of the upper triangle of the leading k x k block of r (LAPACK
// dtrcon "1" when oneNorm, else "I"); -1.0 when LAPACK reports a non-zero status.
double triangularRcond(const double* r, long ldr, long k, bool oneNorm);

// Copies the upper triangle of the leading rows x cols block of a (lda) into out (ldo),
// zeros below the diagonal.
void copyUpperTriangle(const double* a, long lda, long rows, long cols, double* out, long ldo);

// Mirrors the upper triangle of the n x n matrix a into its lower triangle.
void mirrorUpper(double* a, long lda, long n);

}  // namespace qrk
