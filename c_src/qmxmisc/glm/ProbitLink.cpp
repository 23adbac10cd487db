#include "qmxmisc/glm/ProbitLink.h"

#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Phi(eta) = erfc(-eta / sqrt 2) / 2 from the C library: the C scoring packages evaluate the
// same expression, so a package scores bit for bit as the scoring proc (NaN for a NaN eta).
double normalCdf(double eta) {
  return 0.5 * std::erfc(-(eta / 1.41421356237309504880));
}

// Phi^-1(mu) from cdfnor (which = 2); -inf at mu <= 0, +inf at mu >= 1, NaN for a NaN mu.
double normalQuantile(double mu) {
  if (std::isnan(mu)) return mu;
  if (mu <= 0.0) return -std::numeric_limits<double>::infinity();
  if (mu >= 1.0) return std::numeric_limits<double>::infinity();
  int which = 2;
  double p = mu, q = 1.0 - mu, x = 0.0, mean = 0.0, sd = 1.0, bound = 0.0;
  int status = 0;
  cdfnor(&which, &p, &q, &x, &mean, &sd, &status, &bound);
  return status == 0 ? x : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

// dmu/deta is the standard normal density exp(-eta^2/2)/sqrt(2 pi), without a floor.
void ProbitLink::evalDeriv(double eta, double& mu, double& dmudeta) const {
  mu = normalCdf(eta);
  dmudeta = std::exp(-0.5 * eta * eta) / std::sqrt(kTwoPi);
}

double ProbitLink::eval(double mu) const {
  return normalQuantile(mu);
}

double ProbitLink::evalInv(double eta) const {
  return normalCdf(eta);
}
