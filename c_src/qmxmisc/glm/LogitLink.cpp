#include "qmxmisc/glm/LogitLink.h"

#include "qmxmisc/glm/GLMClamp.h"

// mu = e/(e+1) with e = exp(clampEta(eta)): an eta of 1000 gives e = exp(354.89...) and
// mu = 1 exactly, never an overflow. dmu/deta = mu(1-mu), R's binomial variance.
void LogitLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  const double e = glm::expClamped(eta);
  mu = e / (e + 1.0);
  dmudeta = (1.0 - mu) * mu;
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
