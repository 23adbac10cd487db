#include "qmxmisc/glm/LogitLink.h"

#include <cmath>

#include "qmxmisc/glm/GLMClamp.h"

// R's logit link as the fit evaluates it: beyond |eta| = 30 mu stays eps/(1+eps) from 0 or
// 1 and dmu/deta stays eps, so a separated data set (eta growing without bound) keeps finite
// working weights and responses, as R's glm.fit does, instead of mu = 1 and 0/0 weights.
void LogitLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  constexpr double kThresh = 30.0;
  if (eta > kThresh || eta < -kThresh) {
    const double e = eta > kThresh ? 1.0 / glm::kEps : glm::kEps;
    mu = e / (1.0 + e);
    dmudeta = glm::kEps;
    return;
  }
  const double e = std::exp(eta);
  mu = e / (e + 1.0);
  dmudeta = e / ((1.0 + e) * (1.0 + e));
}

double LogitLink::eval(double mu) const {
  if (mu < glm::kEps) return glm::kLogEps;
  if (mu >= glm::kOneMinusEps) return -glm::kLogEps;
  return glm::logClamped(mu / (1.0 - mu));
}

double LogitLink::evalInv(double eta) const {
  const double e = glm::expClamped(eta);
  return e / (e + 1.0);
}
