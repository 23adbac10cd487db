#include "qmxmisc/glm/LogLink.h"

#include "qmxmisc/glm/GLMClamp.h"

void LogLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = glm::expClamped(eta);
  dmudeta = mu;
}

double LogLink::eval(double mu) const {
  return glm::logClamped(mu);
}

double LogLink::evalInv(double eta) const {
  return glm::expClamped(eta);
}
