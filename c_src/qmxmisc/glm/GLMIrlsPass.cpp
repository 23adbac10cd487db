// The per-row work of one IRLS pass and R's family$aic from its sums.
#include "qmxmisc/glm/GLMIrlsPass.h"

#include <array>
#include <cmath>
#include <limits>

#include "qmxmisc/base/QMXException.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

double weightOf(const TMatrix<double>& pw, long row) {
  return pw.size() > 0 ? pw(row, 0) : 1.0;
}

// lgamma(x + 1) of a whole x >= 0: small arguments from a table of the same values.
double logFactorial(double x) {
  constexpr int kTable = 1024;
  static const std::array<double, kTable> table = [] {
    std::array<double, kTable> values{};
    for (int i = 0; i < kTable; ++i)
      values[static_cast<std::size_t>(i)] = std::lgamma(static_cast<double>(i) + 1.0);
    return values;
  }();
  if (x >= 0 && x < kTable) return table[static_cast<std::size_t>(x)];
  return std::lgamma(x + 1.0);
}

// log dbinom(k, m, p) for whole k and m.
double logBinomial(double k, double m, double p) {
  double value = logFactorial(m) - logFactorial(k) - logFactorial(m - k);
  if (k > 0) value += k * std::log(p);
  if (m - k > 0) value += (m - k) * std::log1p(-p);
  return value;
}

// log dpois(y, mu): -inf for a y that is not a whole number, as R's dpois.
double logPoisson(double y, double mu) {
  if (y != std::floor(y) || y < 0) return -std::numeric_limits<double>::infinity();
  return (y > 0 ? y * std::log(mu) : 0.0) - mu - logFactorial(y);
}

// The sums glmAic needs for the family (only those: the others cost logarithms per row).
void addAicRow(GLMFamily::Distribution dist, double y, double mu, double w, GLMPassSums& sums) {
  switch (dist) {
    case GLMFamily::Distribution::Gaussian:
      sums.rows += 1.0;
      sums.sumLogW += std::log(w);
      break;
    case GLMFamily::Distribution::Binomial:
      if (w > 0) sums.logLik += logBinomial(std::nearbyint(w * y), std::nearbyint(w), mu);
      break;
    case GLMFamily::Distribution::Poisson:
      sums.logLik += w * logPoisson(y, mu);
      break;
    case GLMFamily::Distribution::Gamma:
      sums.weightSum += w;
      if (y > 0) sums.sumWLogY += w * std::log(y);
      sums.sumWLogMu += w * std::log(mu);
      sums.sumWYOverMu += w * y / mu;
      break;
    case GLMFamily::Distribution::InvGaussian:
      sums.weightSum += w;
      if (y > 0) sums.sumWLogY += w * std::log(y);
      break;
    case GLMFamily::Distribution::Quasi:
      break;
  }
}

}  // namespace

TMatrix<double> glmStartEta(const GLMFamily& family, const TMatrix<double>& y,
                            const TMatrix<double>& pw) {
  TMatrix<double> eta = y;
  const GLMLink& link = family.link();
  const long n = y.getNRow();
  for (long col = 0; col < y.getNCol(); ++col)
    for (long row = 0; row < n; ++row)
      eta(row, col) = link.eval(family.startMean(y(row, col), weightOf(pw, row)));
  return eta;
}

namespace {

bool numericallyAtBoundary(const GLMFamily& family, double mu) {
  constexpr double kEdge = 10.0 * 2.220446049250313e-16;
  switch (family.distType()) {
    case GLMFamily::Distribution::Binomial:
      return mu > 1.0 - kEdge || mu < kEdge;
    case GLMFamily::Distribution::Poisson:
      return mu < kEdge;
    default:
      return false;
  }
}

}  // namespace

void glmIrlsChunk(const GLMFamily& family, const TMatrix<double>& eta,
                  const TMatrix<double>& solveEta, TMatrix<double>& y, TMatrix<double>& w,
                  GLMPassSums& sums, GLMResidualQuantiles* residuals) {
  const long n = y.getNRow(), q = y.getNCol();
  if (eta.getNRow() != n || eta.getNCol() != q || w.getNRow() != n || w.getNCol() != 1)
    QMX_ThrowException("cannot evaluate %s(%s)", family.distName(), family.linkName());
  const GLMLink& link = family.link();
  const bool pearson = solveEta.size() > 0;
  if (sums.pearson.size() < static_cast<std::size_t>(q))
    sums.pearson.resize(static_cast<std::size_t>(q), 0.0);
  const std::vector<double> prior(w.constData(), w.constData() + n);
  const GLMFamily::Distribution dist = family.distType();
  for (long col = 0; col < q; ++col) {
    for (long row = 0; row < n; ++row) {
      const double pw = prior[static_cast<std::size_t>(row)];
      const double e = eta(row, col), yi = y(row, col);
      double mu = 0.0, dmu = 0.0;
      link.evalDeriv(e, mu, dmu);
      sums.validEta = sums.validEta && link.validEta(e);
      sums.validMu = sums.validMu && family.validMean(mu);
      const double rowDeviance = pw * family.deviance(yi, mu);
      sums.deviance += rowDeviance;
      if (col == 0 && residuals != nullptr)
        residuals->add(glmDevianceResidual(yi, mu, rowDeviance));
      const double residual = (yi - mu) / dmu;
      if (pearson) {
        double muSolve = 0.0, dmuSolve = 0.0;
        link.evalDeriv(solveEta(row, col), muSolve, dmuSolve);
        sums.pearson[static_cast<std::size_t>(col)] +=
            pw * dmuSolve * dmuSolve / family.variance(muSolve) * residual * residual;
      }
      if (col == 0) addAicRow(dist, yi, mu, pw, sums);
      if (col == 0 && numericallyAtBoundary(family, mu)) ++sums.boundaryMu;
      y(row, col) = e + residual;
      w(row, 0) = pw * dmu * dmu / family.variance(mu);
    }
  }
}

double glmAic(const GLMFamily& family, const GLMPassSums& s, long rank) {
  const double dev = s.deviance;
  double aic = std::numeric_limits<double>::quiet_NaN();
  switch (family.distType()) {
    case GLMFamily::Distribution::Gaussian:
      aic = s.rows * (std::log(dev / s.rows * kTwoPi) + 1.0) + 2.0 - s.sumLogW;
      break;
    case GLMFamily::Distribution::Binomial:
    case GLMFamily::Distribution::Poisson:
      aic = -2.0 * s.logLik;
      break;
    case GLMFamily::Distribution::Gamma: {
      // -2 sum w log dgamma(y; shape 1/disp, scale mu disp) + 2 with disp = dev / sum w.
      const double disp = dev / s.weightSum, shape = 1.0 / disp;
      const double logLik = -s.weightSum * std::lgamma(shape) - shape * s.sumWLogMu -
                            shape * std::log(disp) * s.weightSum + (shape - 1.0) * s.sumWLogY -
                            shape * s.sumWYOverMu;
      aic = -2.0 * logLik + 2.0;
      break;
    }
    case GLMFamily::Distribution::InvGaussian:
      aic = s.weightSum * (1.0 + std::log(dev / s.weightSum * kTwoPi)) + 3.0 * s.sumWLogY + 2.0;
      break;
    case GLMFamily::Distribution::Quasi:
      return aic;
  }
  return aic + 2.0 * static_cast<double>(rank);
}
