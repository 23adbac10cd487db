// LimitedQR: LINPACK dqrdc2 (the rank decisions with R's norm downdating) and the dqrsl steps
// that R's lm.fit takes from it: Q'y by the first k reflectors and the triangular solve.
#include "qmxmisc/numeric/DoubleQRLimited.h"

#include <algorithm>
#include <cmath>

#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"

namespace {

double norm2(long n, const double* x) {
  if (n <= 0) return 0.0;
  const int ni = blasInt(n), one = 1;
  return dnrm2_(&ni, x, &one);
}

double dot(long n, const double* x, const double* y) {
  double s = 0.0;
  for (long i = 0; i < n; ++i)
    s += x[i] * y[i];
  return s;
}

}  // namespace

LimitedQR::LimitedQR(const DoubleMatrix& a, double tol) : qr_(a) {
  const long n = qr_.getNRow(), p = qr_.getNCol();
  double* x = qr_.data();
  const auto col = [&](long j) { return x + j * n; };
  qraux_.assign(static_cast<std::size_t>(p), 0.0);
  pivot_.resize(static_cast<std::size_t>(p));
  std::vector<double> work1(static_cast<std::size_t>(p)), work2(static_cast<std::size_t>(p));
  for (long j = 0; j < p; ++j) {
    pivot_[j] = j;
    qraux_[j] = norm2(n, col(j));
    work1[j] = qraux_[j];
    work2[j] = qraux_[j] == 0.0 ? 1.0 : qraux_[j];
  }
  std::vector<double> moved(static_cast<std::size_t>(n));
  const long lup = std::min(n, p);
  long k = p;  // columns k .. p-1 have been moved to the end
  for (long l = 0; l < lup; ++l) {
    // A column whose remaining norm is negligible goes to the end; the others move up.
    while (l < k && qraux_[l] < work2[l] * tol) {
      std::copy_n(col(l), n, moved.data());
      std::copy(col(l + 1), col(p), col(l));
      std::copy_n(moved.data(), n, col(p - 1));
      std::rotate(pivot_.begin() + l, pivot_.begin() + l + 1, pivot_.end());
      std::rotate(qraux_.begin() + l, qraux_.begin() + l + 1, qraux_.end());
      std::rotate(work1.begin() + l, work1.begin() + l + 1, work1.end());
      std::rotate(work2.begin() + l, work2.begin() + l + 1, work2.end());
      --k;
    }
    if (l == n - 1) break;
    double* xl = col(l) + l;
    const long len = n - l;
    double nrmxl = norm2(len, xl);
    if (nrmxl == 0.0) continue;
    if (xl[0] != 0.0) nrmxl = std::copysign(nrmxl, xl[0]);
    for (long i = 0; i < len; ++i)
      xl[i] /= nrmxl;
    xl[0] += 1.0;
    for (long j = l + 1; j < p; ++j) {
      double* xj = col(j) + l;
      const double t = -dot(len, xl, xj) / xl[0];
      for (long i = 0; i < len; ++i)
        xj[i] += t * xl[i];
      if (qraux_[j] == 0.0) continue;
      const double ratio = std::fabs(xj[0]) / qraux_[j];
      const double tt = std::max(1.0 - ratio * ratio, 0.0);
      if (std::fabs(tt) < 1e-6) {
        qraux_[j] = norm2(len - 1, xj + 1);
        work1[j] = qraux_[j];
      } else {
        qraux_[j] *= std::sqrt(tt);
      }
    }
    qraux_[l] = xl[0];
    xl[0] = -nrmxl;
  }
  rank_ = std::min(k, n);
}

std::vector<bool> LimitedQR::aliased() const {
  std::vector<bool> out(static_cast<std::size_t>(nCol()), false);
  for (long position = rank_; position < nCol(); ++position)
    out[static_cast<std::size_t>(pivot_[position])] = true;
  return out;
}

DoubleMatrix LimitedQR::qty(const DoubleMatrix& b) const {
  DoubleMatrix effects(b);
  const long n = qr_.getNRow(), q = effects.getNCol();
  const long reflectors = std::min(rank_, n - 1);
  for (long j = 0; j < reflectors; ++j) {
    if (qraux_[j] == 0.0) continue;
    // The reflector of column j: qraux in place of the diagonal (dqrsl).
    std::vector<double> v(qr_.constData() + j * n + j, qr_.constData() + (j + 1) * n);
    v[0] = qraux_[j];
    for (long c = 0; c < q; ++c) {
      double* y = effects.data() + c * n + j;
      const double t = -dot(n - j, v.data(), y) / v[0];
      for (long i = 0; i < n - j; ++i)
        y[i] += t * v[i];
    }
  }
  return effects;
}

DoubleMatrix LimitedQR::solveEffects(const DoubleMatrix& effects) const {
  const long p = nCol(), q = effects.getNCol();
  DoubleMatrix coef(p, q);
  std::vector<double> b(static_cast<std::size_t>(rank_));
  for (long c = 0; c < q; ++c) {
    for (long i = 0; i < rank_; ++i)
      b[i] = effects(i, c);
    for (long i = rank_ - 1; i >= 0; --i) {
      b[i] /= qr_(i, i);
      for (long r = 0; r < i; ++r)
        b[r] -= qr_(r, i) * b[i];
    }
    for (long i = 0; i < rank_; ++i)
      coef(pivot_[i], c) = b[i];
  }
  return coef;
}

DoubleMatrix LimitedQR::rinv() const {
  const long p = nCol();
  DoubleMatrix inv(p, p);
  std::vector<double> column(static_cast<std::size_t>(rank_));
  for (long c = 0; c < rank_; ++c) {
    std::fill(column.begin(), column.end(), 0.0);
    column[c] = 1.0;
    for (long i = c; i >= 0; --i) {
      column[i] /= qr_(i, i);
      for (long r = 0; r < i; ++r)
        column[r] -= qr_(r, i) * column[i];
    }
    for (long i = 0; i <= c; ++i)
      inv(pivot_[i], pivot_[c]) = column[i];
  }
  return inv;
}
