#include "qmxmisc/glm/InverseSquareLink.h"

#include <cmath>

void InverseSquareLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = std::sqrt(1.0 / eta);
  dmudeta = -0.5 * mu * mu * mu;
}

double InverseSquareLink::eval(double mu) const {
  return 1.0 / (mu * mu);
}

double InverseSquareLink::evalInv(double eta) const {
  return std::sqrt(1.0 / eta);
}
