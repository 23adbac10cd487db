// GLMNestedFit: the passes and steps of a sub-model's IRLS fit.
#include "qmxmisc/glm/GLMNestedFit.h"

#include <cmath>
#include <utility>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/DoubleQRLimited.h"

GLMNestedFit::GLMNestedFit(const GLMFamily& family, DoubleMatrix columns,
                           GLMNestedSettings settings)
    : family_(family), columns_(std::move(columns)), settings_(settings) {}

void GLMNestedFit::addChunk(const DoubleMatrix& x, const DoubleMatrix& y, const DoubleMatrix& w,
                            const DoubleMatrix& offset) {
  const long n = x.getNRow();
  const bool hasOffset = offset.getNRow() == n;
  TMatrix<double> eta;
  if (candidate_.size() == 0) {
    eta = glmStartEta(family_, y, w);
  } else {
    eta = x.multiply(candidate_, TransOp::kNone, true);
    if (hasOffset)
      for (long row = 0; row < n; ++row)
        eta(row, 0) += offset(row, 0);
  }
  TMatrix<double> z = y;
  TMatrix<double> ww = w;
  glmIrlsChunk(family_, eta, TMatrix<double>(), z, ww, sums_);
  DoubleMatrix work(n, 1L);
  DoubleMatrix weights(n, 1L);
  for (long row = 0; row < n; ++row) {
    work(row, 0) = z(row, 0) - (hasOffset ? offset(row, 0) : 0.0);
    weights(row, 0) = ww(row, 0);
  }
  acc_.update(ILMChunk{x, work, weights, 0, n, 0});
}

bool GLMNestedFit::endPass() {
  deviance_ = sums_.deviance;
  const bool start = candidate_.size() == 0;
  if (start) {
    if (!sums_.valid())
      QMX_ThrowException("cannot find valid starting values: please specify some");
    devOld_ = deviance_;
  } else if (!std::isfinite(deviance_) || !sums_.valid()) {
    if (previous_.size() == 0)
      QMX_ThrowException(
          "no valid set of coefficients has been found: please supply starting values");
    if (++halvings_ > settings_.maxIterations)
      QMX_ThrowException("inner loop; cannot correct step size");
    for (long k = 0; k < candidate_.size(); ++k)
      candidate_.data()[k] = (candidate_[k] + previous_[k]) / 2.0;
    acc_.reset();
    sums_ = GLMPassSums();
    return false;
  } else {
    ++iterations_;
    halvings_ = 0;
    converged_ = std::fabs(deviance_ - devOld_) / (std::fabs(deviance_) + 0.1) < settings_.epsilon;
    if (converged_ || iterations_ >= settings_.maxIterations) return true;
    devOld_ = deviance_;
    previous_ = candidate_;
  }
  solve();
  return false;
}

// The weighted least-squares fit of the pass on the sub-model's columns (X C_S, decomposed
// through the pooled factor R as R C_S).
void GLMNestedFit::solve() {
  const ILMPooled pooled = acc_.finalize();
  const LimitedQR qr(pooled.factor.inputOrderR().multiply(columns_, TransOp::kNone, true),
                     settings_.rankTolerance);
  const DoubleMatrix gamma = qr.solveEffects(qr.qty(pooled.factor.getQTY(true)));
  rank_ = qr.rank();
  candidate_ = columns_.multiply(gamma, TransOp::kNone, true);
  acc_.reset();
  sums_ = GLMPassSums();
}
