// DoubleQR: lifetime, shape, decomposition and the factors R, Q and Q'B.
#include "qmxmisc/numeric/DoubleQR.h"

#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/BlasInternal.h"
#include "qmxmisc/numeric/Lapack.h"
#include "qmxmisc/numeric/QRKernels.h"

DoubleQR::DoubleQR(const DoubleMatrix& m)
    : DoubleMatrix(m),
      tau_(static_cast<std::size_t>(m.getNCol()), 0.0),
      pivot_(static_cast<std::size_t>(m.getNCol()), 0) {}

DoubleQR::DoubleQR(long nrow, long ncol)
    : DoubleMatrix(nrow, ncol),
      tau_(static_cast<std::size_t>(getNCol()), 0.0),
      pivot_(static_cast<std::size_t>(getNCol()), 0) {}

DoubleQR::DoubleQR(const double* data, long nrow, long ncol)
    : DoubleMatrix(data, nrow, ncol),
      tau_(static_cast<std::size_t>(getNCol()), 0.0),
      pivot_(static_cast<std::size_t>(getNCol()), 0) {}

DoubleQR::~DoubleQR() = default;

bool DoubleQR::isValid() const {
  const auto n = static_cast<std::size_t>(getNCol());
  return DoubleMatrix::isValid() && tau_.size() == n && pivot_.size() == n;
}

void DoubleQR::validate() const {
  if (!isValid()) QMX_ThrowException("bad DoubleQR");
}

void DoubleQR::resize(unsigned nrow, unsigned ncol) {
  DoubleMatrix::resize(nrow, ncol);
  tau_.resize(static_cast<std::size_t>(getNCol()), 0.0);
  pivot_.resize(static_cast<std::size_t>(getNCol()), 0);
}

void DoubleQR::resize(long nrow, long ncol) {
  DoubleMatrix::resize(nrow, ncol);  // forwards to the unsigned overload above
}

std::unique_ptr<aml::AbstractDoubleMatrix> DoubleQR::create(long nrow, long ncol) const {
  return std::make_unique<DoubleQR>(nrow, ncol);
}

double* DoubleQR::getTauPtr(long i) {
  return tau_.data() + i;
}

std::int32_t* DoubleQR::getPivotPtr(long i) {
  return pivot_.data() + i;
}

long DoubleQR::qrDecompose(long nFixed) {
  if (!DoubleMatrix::isValid()) return -1;
  tau_.resize(static_cast<std::size_t>(getNCol()), 0.0);
  pivot_.resize(static_cast<std::size_t>(getNCol()), 0);
  return qrk::pivotedQR(data(), getNRow(), getNCol(), getNRow(), pivot_.data(), tau_.data(),
                        nFixed);
}

DoubleMatrix DoubleQR::R(bool check) const {
  if (check) validate();
  const long n = getNCol();
  DoubleMatrix r(n, n);
  qrk::copyUpperTriangle(constData(), getNRow(), std::min(getNRow(), n), n, r.data(), n);
  return r;
}

DoubleMatrix DoubleQR::Q(bool check) const {
  if (check) validate();
  const long m = getNRow();
  const long k = std::min(m, getNCol());
  DoubleMatrix q(m, m);
  std::copy_n(constData(), m * k, q.data());
  const int mi = blasInt(m), ki = blasInt(k);
  int info = 0;
  int lwork = -1;
  double query = 0.0;
  dorgqr_(&mi, &mi, &ki, q.data(), &mi, tau_.data(), &query, &lwork, &info);
  lapackCheck("dorgqr", info);
  lwork = std::max(1, static_cast<int>(query));
  std::vector<double> work(static_cast<std::size_t>(lwork));
  dorgqr_(&mi, &mi, &ki, q.data(), &mi, tau_.data(), work.data(), &lwork, &info);
  lapackCheck("dorgqr", info);
  return q;
}

DoubleMatrix DoubleQR::qty(const DoubleMatrix& b, bool check) const {
  if (check) validate();
  const long m = getNRow(), n = getNCol();
  if (b.getNRow() != m)
    QMX_ThrowException("right hand side has %ld rows, the decomposition %ld", b.getNRow(), m);
  DoubleMatrix c(b);
  qrk::applyQt(constData(), m, std::min(m, n), m, tau_.data(), c.data(), m, c.getNCol());
  c.resize(n, c.getNCol());
  return c;
}
