#include "qmxmisc/glm/SqrtLink.h"

#include <cmath>

void SqrtLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = eta * eta;
  dmudeta = 2.0 * std::sqrt(mu);
}

double SqrtLink::eval(double mu) const {
  return std::sqrt(mu);
}

double SqrtLink::evalInv(double eta) const {
  return eta * eta;
}
