#include "qmxmisc/glm/InverseLink.h"

void InverseLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = 1.0 / eta;
  dmudeta = -mu * mu;
}

double InverseLink::eval(double mu) const {
  return 1.0 / mu;
}

double InverseLink::evalInv(double eta) const {
  return 1.0 / eta;
}
