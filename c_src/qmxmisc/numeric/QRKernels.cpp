// Kernels of the column-pivoted QR: LAPACK dgeqpf/dormqr/dtrcon wrappers, the DGELSX rank
// test with dlaic1, the rank-reduced triangular solve and the pivot-cycle back-permutation.
#include "qmxmisc/numeric/QRKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"

namespace qrk {

int pivotedQR(double* a, long m, long n, long lda, std::int32_t* jpvt, double* tau, long nFixed) {
  std::fill_n(jpvt, n, 0);
  std::fill_n(jpvt, std::min(nFixed, n), 1);
  std::vector<double> work(static_cast<std::size_t>(3 * n + 1));
  const int mi = blasInt(m), ni = blasInt(n), ldai = blasInt(std::max(lda, 1L));
  int info = 0;
  dgeqpf_(&mi, &ni, a, &ldai, jpvt, tau, work.data(), &info);
  return info;
}

void applyQt(const double* a, long m, long k, long lda, const double* tau, double* c, long ldc,
             long nrhs) {
  if (m == 0 || nrhs == 0 || k == 0) return;
  const int mi = blasInt(m), ni = blasInt(nrhs), ki = blasInt(k), ldai = blasInt(lda),
            ldci = blasInt(ldc);
  int info = 0;
  int lwork = -1;
  double query = 0.0;
  dormqr_("L", "T", &mi, &ni, &ki, a, &ldai, tau, c, &ldci, &query, &lwork, &info);
  lapackCheck("dormqr", info);
  lwork = std::max(1, static_cast<int>(query));
  std::vector<double> work(static_cast<std::size_t>(lwork));
  dormqr_("L", "T", &mi, &ni, &ki, a, &ldai, tau, c, &ldci, work.data(), &lwork, &info);
  lapackCheck("dormqr", info);
}

// DGELSX, steps "determine RANK using incremental condition estimation": xmin/xmax are the
// approximate singular vectors of the accepted triangle, smin/smax their singular values.
long triangularRank(const double* r, long ldr, long k, double tol) {
  if (k <= 0) return 0;
  const double r00 = std::fabs(r[0]);
  if (r00 == 0.0) return 0;
  std::vector<double> xmin(static_cast<std::size_t>(k)), xmax(static_cast<std::size_t>(k));
  xmin[0] = 1.0;
  xmax[0] = 1.0;
  double smin = r00, smax = r00;
  const int jobMax = 1, jobMin = 2;
  long rank = 1;
  while (rank < k) {
    const double* column = r + rank * ldr;
    const double gamma = column[rank];
    const int j = blasInt(rank);
    double sminpr = 0.0, smaxpr = 0.0, s1 = 0.0, c1 = 0.0, s2 = 0.0, c2 = 0.0;
    dlaic1_(&jobMin, &j, xmin.data(), &smin, column, &gamma, &sminpr, &s1, &c1);
    dlaic1_(&jobMax, &j, xmax.data(), &smax, column, &gamma, &smaxpr, &s2, &c2);
    if (sminpr < smaxpr * tol) break;
    for (long i = 0; i < rank; ++i) {
      xmin[i] *= s1;
      xmax[i] *= s2;
    }
    xmin[rank] = c1;
    xmax[rank] = c2;
    smin = sminpr;
    smax = smaxpr;
    ++rank;
  }
  return rank;
}

void rankedTriangularSolve(const double* r, long ldr, long rank, double* b, long ldb, long n,
                           long nrhs) {
  if (rank > 0 && nrhs > 0) {
    const int ri = blasInt(rank), ni = blasInt(nrhs), ldri = blasInt(ldr), ldbi = blasInt(ldb);
    const double one = 1.0;
    dtrsm_("L", "U", "N", "N", &ri, &ni, &one, r, &ldri, b, &ldbi);
  }
  for (long colIdx = 0; colIdx < nrhs && rank < n; ++colIdx)
    std::fill(b + colIdx * ldb + rank, b + colIdx * ldb + n, 0.0);
}

// Cycle following as in DGELSX's final loop: each cycle is walked once, swapping the start
// row with the row its current content belongs to.
void permuteRowsBack(double* x, long ldx, long n, long nrhs, const std::int32_t* pivot) {
  if (n <= 1 || nrhs <= 0) return;
  std::vector<char> done(static_cast<std::size_t>(n), 0);
  const int ni = blasInt(nrhs), ldi = blasInt(ldx);
  for (long start = 0; start < n; ++start) {
    if (done[start]) continue;
    done[start] = 1;
    for (long target = pivot[start] - 1; target != start; target = pivot[target] - 1) {
      dswap_(&ni, x + start, &ldi, x + target, &ldi);
      done[target] = 1;
    }
  }
}

long solveRankReduced(const double* r, long ldr, long k, long n, double tol,
                      const std::int32_t* pivot, double* b, long ldb, long nrhs) {
  const long rank = triangularRank(r, ldr, k, tol);
  rankedTriangularSolve(r, ldr, rank, b, ldb, n, nrhs);
  permuteRowsBack(b, ldb, n, nrhs, pivot);
  return rank;
}

double triangularRcond(const double* r, long ldr, long k, bool oneNorm) {
  if (k <= 0) return -1.0;
  const int ki = blasInt(k), ldri = blasInt(ldr);
  std::vector<double> work(static_cast<std::size_t>(3 * k));
  std::vector<int> iwork(static_cast<std::size_t>(k));
  double rcond = 0.0;
  int info = 0;
  dtrcon_(oneNorm ? "1" : "I", "U", "N", &ki, r, &ldri, &rcond, work.data(), iwork.data(), &info);
  return info != 0 ? -1.0 : rcond;
}

void copyUpperTriangle(const double* a, long lda, long rows, long cols, double* out, long ldo) {
  for (long colIdx = 0; colIdx < cols; ++colIdx) {
    const long upper = std::min(colIdx + 1, rows);
    std::memcpy(out + colIdx * ldo, a + colIdx * lda,
                static_cast<std::size_t>(upper) * sizeof(double));
    std::fill(out + colIdx * ldo + upper, out + colIdx * ldo + rows, 0.0);
  }
}

void mirrorUpper(double* a, long lda, long n) {
  for (long colIdx = 0; colIdx < n; ++colIdx) {
    for (long rowIdx = colIdx + 1; rowIdx < n; ++rowIdx)
      a[rowIdx + colIdx * lda] = a[colIdx + rowIdx * lda];
  }
}

}  // namespace qrk
