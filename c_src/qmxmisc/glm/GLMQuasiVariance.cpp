#include "qmxmisc/glm/GLMQuasiVariance.h"

#include <algorithm>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMClamp.h"

GLMQuasiVariance::~GLMQuasiVariance() = default;

std::unique_ptr<GLMQuasiVariance> GLMQuasiVariance::create(VARIANCES code) {
  switch (code) {
    case VARIANCES::Constant:
      return std::make_unique<VarConstant>();
    case VARIANCES::Mu0:
      return std::make_unique<VarMu0>();
    case VARIANCES::Mu1:
      return std::make_unique<VarMu1>();
    case VARIANCES::Mu2:
      return std::make_unique<VarMu2>();
    case VARIANCES::Mu3:
      return std::make_unique<VarMu3>();
  }
  QMX_ThrowException("Undefined variance code");
}

double VarConstant::deviance(double y, double mu) const {
  const double residual = y - mu;
  return residual * residual;
}

double VarConstant::variance(double /*mu*/) const {
  return 1.0;
}

// Bernoulli deviance 2(a - b): a is the saturated log likelihood y ln y + (1-y) ln(1-y)
// (terms at y or 1-y below eps left out), b the model's; mu(1-mu) below eps moves mu inside
// [eps, 1-eps] first.
double VarMu0::deviance(double y, double mu) const {
  const double yTerm = y > glm::kEps ? y * glm::logClamped(y) : y;
  const double oneMinusYTerm = 1.0 - y > glm::kEps ? (1.0 - y) * glm::logClamped(1.0 - y) : 0.0;
  const double saturated = yTerm + oneMinusYTerm;
  double fitted = 0.0;
  if ((1.0 - mu) * mu >= glm::kEps) {
    fitted = (1.0 - y) * glm::logClamped(1.0 - mu) + y * glm::logClamped(mu);
  } else {
    const double muInside = std::max(mu, glm::kEps);
    double survival = 1.0 - muInside;
    if (survival < glm::kEps) survival = glm::kEps;
    fitted = (1.0 - y) * glm::logClamped(survival) + y * glm::logClamped(muInside);
  }
  return 2.0 * (saturated - fitted);
}

double VarMu0::variance(double mu) const {
  return mu * (1.0 - mu);
}

double VarMu1::deviance(double y, double mu) const {
  if (y <= 0.0) return 2.0 * (mu - y);
  return 2.0 * (y * glm::logClamped(y / mu) - (y - mu));
}

double VarMu1::variance(double mu) const {
  return mu;
}

double VarMu2::deviance(double y, double mu) const {
  const double logY = y > 0.0 ? glm::logClamped(y) : 0.0;
  return 2.0 * (glm::logClamped(mu) + (y - mu) / mu - logY);
}

double VarMu2::variance(double mu) const {
  return mu * mu;
}

double VarMu3::deviance(double y, double mu) const {
  const double residual = y - mu;
  return residual * residual / (y * mu * mu);
}

double VarMu3::variance(double mu) const {
  return mu * mu * mu;
}
