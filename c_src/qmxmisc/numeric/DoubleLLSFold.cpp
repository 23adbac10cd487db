// DoubleLLS::rowBind and merge: fold a chunk of rows, or another fit's factor, into R, Q'Y and
// the response cross-products.
//
// The stored R is un-pivoted into the top of a stacked matrix S = [R; X] (weighted rows
// scaled by sqrt(w)), S is decomposed without pivoting (dgeqpf with every column fixed, so
// the columns stay in input order and R does not depend on the chunking) and the stacked
// responses T = [Q'Y; Y] are rotated by the same reflectors (dormqr). The leading p rows give
// the new R and Q'Y: the R of the whole design up to signs; the rows of T below p are
// orthogonal to every column and their cross-products are added to SSE (TSQR). The response
// means and centred cross-products are pooled chunk by chunk (the pairwise update of Chan,
// Golub and LeVeque).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/DoubleQR.h"
#include "qmxmisc/numeric/Lapack.h"
#include "qmxmisc/numeric/QRKernels.h"

namespace {

// Copies the n x cols column-major block src below row `offset` of dst (leading dimension
// ldd), each row i scaled by scale[i] when scale is given.
void stackRows(const double* src, long n, long cols, const double* scale, double* dst, long ldd,
               long offset) {
  for (long colIdx = 0; colIdx < cols; ++colIdx) {
    const double* in = src + colIdx * n;
    double* out = dst + colIdx * ldd + offset;
    if (scale == nullptr) {
      std::memcpy(out, in, static_cast<std::size_t>(n) * sizeof(double));
    } else {
      for (long rowIdx = 0; rowIdx < n; ++rowIdx)
        out[rowIdx] = in[rowIdx] * scale[rowIdx];
    }
  }
}

}  // namespace

void DoubleLLS::rowBind(const DoubleMatrix& x, const DoubleMatrix& y, const DoubleMatrix& w,
                        long /*nFixed*/) {
  const long n = x.isValid() ? x.getNRow() : 0;
  if (n != y.getNRow()) QMX_ThrowException("wrong number of rows");
  if (n == 0) return;

  // Case weights: non-positive weights count as 0.
  const bool weighted = w.isValid() && w.getNRow() == n && w.getNCol() == 1;
  std::vector<double> weights, rootWeights;
  if (weighted) {
    weights.resize(static_cast<std::size_t>(n));
    rootWeights.resize(static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
      weights[i] = w.constData()[i] > 0.0 ? w.constData()[i] : 0.0;
      rootWeights[i] = std::sqrt(weights[i]);
    }
  }
  foldRows(x, y, weighted ? rootWeights.data() : nullptr);

  // Steps 7-8.
  N_ += static_cast<double>(n);
  NPos_ += weighted ? static_cast<double>(std::count_if(weights.begin(), weights.end(),
                                                        [](double v) { return v > 0.0; }))
                    : static_cast<double>(n);
  updateResponseStats(y, weighted ? weights.data() : nullptr, q());
}

// The R of `other` un-pivoted (its rows in input column order) is a set of rows whose
// cross-product is other's X'WX and whose Q'Y part carries other's X'WY, so folding them in
// as rows gives the factor of the union of both row sets (up to signs and rounding). The
// response statistics are pooled as two chunks are.
void DoubleLLS::merge(const DoubleLLS& other) {
  if (other.N_ <= 0.0) return;
  if (N_ <= 0.0) {
    DoubleLLS::operator=(other);
    return;
  }
  const long rb = other.R_.getNRow(), pb = other.R_.getNCol();
  DoubleMatrix rows(rb, pb);
  for (long i = 0; i < pb; ++i) {
    const long column = other.pivot_[i] >= 1 && other.pivot_[i] <= pb ? other.pivot_[i] - 1 : i;
    std::memcpy(rows.data() + column * rb, other.R_.constData() + i * rb,
                static_cast<std::size_t>(rb) * sizeof(double));
  }
  foldRows(rows, other.QTY_, nullptr);
  N_ += other.N_;
  NPos_ += other.NPos_;
  const long qe = other.SSE_.getNRow(), lde = SSE_.getNRow();
  for (long colIdx = 0; colIdx < qe; ++colIdx)
    for (long rowIdx = 0; rowIdx < qe; ++rowIdx)
      SSE_.data()[rowIdx + colIdx * lde] += other.SSE_.constData()[rowIdx + colIdx * qe];
  if (other.SumWt_ <= 0.0) return;
  const long qb = other.SCPY_.getNRow(), ldq = q();
  for (long colIdx = 0; colIdx < qb; ++colIdx)
    for (long rowIdx = 0; rowIdx < qb; ++rowIdx)
      SCPY_.data()[rowIdx + colIdx * ldq] += other.SCPY_.constData()[rowIdx + colIdx * qb];
  poolMeans(other.Ybar_.data(), other.SumWt_, qb);
}

// Steps 3-6: S = [R un-pivoted; X scaled], T = [Q'Y; Y scaled]; S is decomposed, T rotated,
// and the leading rows become the new factor.
void DoubleLLS::foldRows(const DoubleMatrix& x, const DoubleMatrix& y, const double* scale) {
  const long n = x.getNRow();
  const long pX = x.getNCol(), qY = y.getNCol();
  const long r0 = R_.getNRow(), p0 = R_.getNCol(), q0 = QTY_.getNCol();
  const long p = std::max(pX, p0), q = std::max(qY, q0);
  const long rows = std::max(r0 >= 1 ? r0 + n : n, p);

  DoubleQR stacked(rows, p);
  double* s = stacked.data();
  for (long i = 0; i < p0; ++i) {
    // A pivot entry outside 1..p (a factor set up by resize alone) leaves column i in place.
    const long column = pivot_[i] >= 1 && pivot_[i] <= p ? pivot_[i] - 1 : i;
    std::memcpy(s + column * rows, R_.constData() + i * r0,
                static_cast<std::size_t>(r0) * sizeof(double));
  }
  DoubleMatrix responses(rows, q);
  double* t = responses.data();
  for (long j = 0; j < q0; ++j)
    std::memcpy(t + j * rows, QTY_.constData() + j * r0,
                static_cast<std::size_t>(r0) * sizeof(double));
  stackRows(x.constData(), n, pX, scale, s, rows, r0);
  stackRows(y.constData(), n, qY, scale, t, rows, r0);

  // Step 5: decompose S (every column fixed: no pivoting), rotate T.
  lapackCheck("dgeqpf", static_cast<int>(stacked.qrDecompose(p)));
  qrk::applyQt(stacked.constData(), rows, std::min(rows, p), rows, stacked.tau().data(), t, rows,
               q);

  // Step 6: the new factor; the rows below p are residual components.
  resize(p, p, q);
  if (rows > p) {
    const int qi = blasInt(q), ri = blasInt(rows - p), ldt = blasInt(rows), ldq = blasInt(q);
    const double one = 1.0;
    dsyrk_("U", "T", &qi, &ri, &one, t + p, &ldt, &one, SSE_.data(), &ldq);
    qrk::mirrorUpper(SSE_.data(), q, q);
  }
  qrk::copyUpperTriangle(stacked.constData(), rows, p, p, R_.data(), p);
  double* qty = QTY_.data();
  for (long j = 0; j < q; ++j)
    std::memcpy(qty + j * p, t + j * rows, static_cast<std::size_t>(p) * sizeof(double));
  pivot_ = stacked.pivot();
}

// Chunk mean m and centred cross-products sum w d d' (dgemm), then the pooled update of the
// running mean and cross-products with the between-means term f (Ybar - m)(Ybar - m)' (dger).
void DoubleLLS::updateResponseStats(const DoubleMatrix& y, const double* w, long q) {
  const long n = y.getNRow(), qY = y.getNCol();
  double chunkWeight = static_cast<double>(n);
  DoubleMatrix weightColumn;
  if (w != nullptr) {
    weightColumn = DoubleMatrix(w, n, 1);
    chunkWeight = 0.0;
    for (long i = 0; i < n; ++i)
      chunkWeight += w[i];
  }
  if (chunkWeight <= 0.0) return;  // an all-zero-weight chunk adds rows to N only
  DoubleMatrix mean;
  y.weightedMeansInto(mean, weightColumn, true);
  DoubleMatrix centred;
  y.sweepInto(centred, mean, true);
  DoubleMatrix weightedCentred = centred;
  if (w != nullptr) centred.multiplyColumnsInto(weightedCentred, weightColumn, false);

  const int qi = blasInt(qY), ni = blasInt(n), ldq = blasInt(q);
  const double alpha = 1.0, beta = 1.0;
  dgemm_("T", "N", &qi, &qi, &ni, &alpha, weightedCentred.constData(), &ni, centred.constData(),
         &ni, &beta, SCPY_.data(), &ldq);

  poolMeans(mean.constData(), chunkWeight, qY);
}

// The running mean moves to the pooled mean of (Ybar, SumWt) and (m, weight), and SCPY gains
// the between-means term f (Ybar - m)(Ybar - m)' with f = SumWt weight / (SumWt + weight).
void DoubleLLS::poolMeans(const double* m, double chunkWeight, long qY) {
  const int qi = blasInt(qY), ldq = blasInt(q()), one = 1;
  const double alpha = 1.0;
  if (SumWt_ <= 0.0) {
    std::copy_n(m, qY, Ybar_.data());
  } else {
    const double total = SumWt_ + chunkWeight;
    const double a = SumWt_ / total, b = chunkWeight / total;
    const double f = std::sqrt(chunkWeight * SumWt_ / total);
    std::vector<double> d(static_cast<std::size_t>(qY));
    for (long j = 0; j < qY; ++j) {
      d[j] = (Ybar_[j] - m[j]) * f;
      Ybar_[j] = a * Ybar_[j] + b * m[j];
    }
    dger_(&qi, &qi, &alpha, d.data(), &one, d.data(), &one, SCPY_.data(), &ldq);
  }
  SumWt_ += chunkWeight;
}
