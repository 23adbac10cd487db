#include "qmxmisc/glm/CLogLogLink.h"

#include <algorithm>

#include "qmxmisc/glm/GLMClamp.h"

// mu = 1 - exp(-exp(eta)) with both exponents clamped; dmu/deta = -(1-mu) ln(1-mu), which is
// exp(eta) exp(-exp(eta)) written through mu, floored at eps as R's cloglog mu.eta is.
void CLogLogLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  const double t = glm::expClamped(eta);
  mu = 1.0 - glm::expClamped(-t);
  const double survival = 1.0 - mu;
  dmudeta = std::max(-survival * glm::logClamped(survival), glm::kEps);
}

double CLogLogLink::eval(double mu) const {
  return glm::logClamped(-glm::logClamped(1.0 - mu));
}

double CLogLogLink::evalInv(double eta) const {
  return 1.0 - glm::expClamped(-glm::expClamped(eta));
}
