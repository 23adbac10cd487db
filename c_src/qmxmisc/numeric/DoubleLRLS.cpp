// DoubleLRLS: lifetime, shape and the rotation of restrictions into the triangular factor.
//
// A restriction h'beta = g enters as a row of infinite weight (the weighting method of
// Lawson and Hanson, Solving Least Squares Problems, ch. 22, taken to its limit): at its
// first non-zero pivot position j it eliminates beta_j from data row j and takes that row's
// place, and the displaced data row is re-triangularised into the rows below by Givens
// rotations. R is p x p in pivot order, so row i from column j is R[i, j..p-1] with stride p.
#include "qmxmisc/numeric/DoubleLRLS.h"

#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXAccumulator.h"
#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"

namespace {
// Tolerance of the rank stored as the fit rank.
constexpr double kFitRankTol = 1e-13;
}  // namespace

static_assert(QMXAccumulator<DoubleLRLS>);

DoubleLRLS::DoubleLRLS(const DoubleMatrix& x, const DoubleMatrix& y) : DoubleLLS(x, y, 0) {}

DoubleLRLS::~DoubleLRLS() = default;

void DoubleLRLS::resize(long p, long pR, long q) {
  if (p == 0 || pR == 0 || q == 0) {
    restrictRows_.clear();
    fitRank_ = 0;
    N_ = 0.0;
    SumWt_ = 0.0;
    NPos_ = 0.0;
  } else {
    std::erase_if(restrictRows_, [p](std::uint32_t row) { return static_cast<long>(row) >= p; });
  }
  DoubleLLS::resize(p, pR, q);
}

void DoubleLRLS::erase() {
  restrictRows_.clear();
  DoubleLLS::resize(0, 0, 0);
  N_ = 0.0;
  SumWt_ = 0.0;
  NPos_ = 0.0;
  fitRank_ = 0;
}

void DoubleLRLS::merge(const DoubleLRLS& other) {
  QMX_ASSERT(restrictRows_.empty() && other.restrictRows_.empty(),
             "restrictions are added after the last merge");
  DoubleLLS::merge(other);
  fitRank_ = 0;
}

void DoubleLRLS::beginRestrictions() {
  fitRank_ = static_cast<std::int32_t>(rank(kFitRankTol, false));
  restrictRows_.clear();
}

long DoubleLRLS::fitRank() {
  if (fitRank_ < 1) fitRank_ = static_cast<std::int32_t>(rank(kFitRankTol, false));
  return fitRank_;
}

Index DoubleLRLS::rIndex() const {
  Index columns;
  for (const std::uint32_t row : restrictRows_)
    columns.push_back(static_cast<std::uint32_t>(pivot_[row] - 1));
  return columns;
}

bool DoubleLRLS::isRestrictionRow(long row, std::size_t count) const {
  const auto end = restrictRows_.begin() + static_cast<std::ptrdiff_t>(count);
  return std::find(restrictRows_.begin(), end, static_cast<std::uint32_t>(row)) != end;
}

void DoubleLRLS::clearWithRestriction(long j, double* h, double* g) {
  const long p = R_.getNRow(), q = QTY_.getNCol();
  double* r = R_.data();
  const double* qty = QTY_.constData();
  const double f = -h[j] / r[j + j * p];
  const int len = blasInt(p - j), qi = blasInt(q), ldp = blasInt(p), one = 1;
  daxpy_(&len, &f, r + j + j * p, &ldp, h + j, &one);
  daxpy_(&qi, &f, qty + j, &ldp, g, &one);
  h[j] = 0.0;  // exactly: the component along row j is gone
}

long DoubleLRLS::addRestriction(const dVector& H, const dVector& G) {
  const long p = R_.getNRow(), q = QTY_.getNCol();
  if (p == 0 || q == 0) return 0;
  if (static_cast<long>(H.size()) < p)
    QMX_ThrowException("length of H is %d. It must be at least %d", static_cast<int>(H.size()),
                       static_cast<int>(p));
  if (static_cast<long>(G.size()) < q)
    QMX_ThrowException("length of G is %d. It must be at least %d", static_cast<int>(G.size()),
                       static_cast<int>(q));
  std::vector<double> h(static_cast<std::size_t>(p));
  for (long k = 0; k < p; ++k) {
    QMX_ASSERT(pivot_[k] >= 1 && pivot_[k] <= p, "pivot entries are 1-based input columns");
    h[k] = H[pivot_[k] - 1];
  }
  std::vector<double> g(G.begin(), G.begin() + q);
  double* r = R_.data();
  double* qty = QTY_.data();
  const int qi = blasInt(q), ldp = blasInt(p), one = 1;

  for (long j = 0; j < p; ++j) {
    if (h[j] == 0.0) continue;
    if (isRestrictionRow(j, restrictRows_.size())) {
      clearWithRestriction(j, h.data(), g.data());
      continue;
    }
    // Row j becomes the restriction; the data row loses beta_j and is swapped out into h.
    restrictRows_.push_back(static_cast<std::uint32_t>(j));
    const double f = -r[j + j * p] / h[j];
    const int len = blasInt(p - j);
    daxpy_(&len, &f, h.data() + j, &one, r + j + j * p, &ldp);
    daxpy_(&qi, &f, g.data(), &one, qty + j, &ldp);
    dswap_(&len, r + j + j * p, &ldp, h.data() + j, &one);
    dswap_(&qi, qty + j, &ldp, g.data(), &one);
    // Fold the displaced data row back into the rows below.
    const std::size_t earlier = restrictRows_.size() - 1;
    for (long i = j + 1; i < p; ++i) {
      if (h[i] == 0.0) continue;
      if (isRestrictionRow(i, earlier)) {
        clearWithRestriction(i, h.data(), g.data());
        continue;
      }
      double a = r[i + i * p], b = h[i], c = 0.0, s = 0.0;
      drotg_(&a, &b, &c, &s);
      r[i + i * p] = a;
      h[i] = 0.0;
      const int rest = blasInt(p - i - 1);
      drot_(&rest, r + i + (i + 1) * p, &ldp, h.data() + i + 1, &one, &c, &s);
      drot_(&qi, qty + i, &ldp, g.data(), &one, &c, &s);
    }
    return 1;
  }
  return 0;
}

void DoubleLRLS::endRestrictions() {
  const long p = R_.getNRow(), q = QTY_.getNCol();
  if (p == 0 || q == 0 || restrictRows_.empty()) return;
  double* r = R_.data();
  double* qty = QTY_.data();
  const int qi = blasInt(q), ldp = blasInt(p);
  for (std::size_t position = 0; position < restrictRows_.size(); ++position) {
    const long j = restrictRows_[position];
    const int len = blasInt(p - j);
    for (long i = j - 1; i >= 0; --i) {
      if (isRestrictionRow(i, position)) continue;
      const double f = -r[i + j * p] / r[j + j * p];
      if (f == 0.0) continue;
      daxpy_(&len, &f, r + j + j * p, &ldp, r + i + j * p, &ldp);
      daxpy_(&qi, &f, qty + j, &ldp, qty + i, &ldp);
    }
  }
}
