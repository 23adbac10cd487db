#include "qmxmisc/glm/IdentityLink.h"

void IdentityLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = eta;
  dmudeta = 1.0;
}

double IdentityLink::eval(double mu) const {
  return mu;
}

double IdentityLink::evalInv(double eta) const {
  return eta;
}
