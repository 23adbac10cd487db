#include "qmxmisc/glm/BinomialFamily.h"

#include <cmath>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMClamp.h"

namespace {

constexpr const char kIncompatible[] = "link function is incompatible with Binomial Family";
constexpr auto kAccepted = {GLMLink::Link::Logit, GLMLink::Link::Probit, GLMLink::Link::CLogLog};
// Starting means for a 0/1 response without trial counts: (y + 0.5)/2 at y = 0 and y = 1.
constexpr double kStartBelowHalf = 0.25;
constexpr double kStartAboveHalf = 0.75;

void checkTrials(double trials) {
  if (!(trials >= glm::kEps)) QMX_ThrowException("invalid Binomial parameter n = %f", trials);
}

}  // namespace

BinomialFamily::BinomialFamily(GLMLink::Link link)
    : GLMFamily(acceptLink(link, kAccepted, kIncompatible)) {}

BinomialFamily::BinomialFamily(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), kAccepted, kIncompatible)) {}

// R's binomial()$dev.resids with unit weight: 2[y ln(y/mu) + (1-y) ln((1-y)/(1-mu))], the
// term of a zero y or 1-y left out.
double BinomialFamily::deviance(double y, double mu) const {
  if (y < glm::kEps) return -2.0 * glm::logClamped(1.0 - mu);
  if (y > glm::kOneMinusEps) return -2.0 * glm::logClamped(mu);
  return 2.0 * (y * glm::logClamped(y / mu) + (1.0 - y) * glm::logClamped((1.0 - y) / (1.0 - mu)));
}

double BinomialFamily::variance(double mu) const {
  return mu * (1.0 - mu);
}

void BinomialFamily::eval(long n, double* y, double* eta, double* z, double& dev,
                          double* pw) const {
  checkEvalArguments(n, y, eta);
  if (pw != nullptr) {
    for (long i = 0; i < n; ++i) {
      checkTrials(pw[i]);
      if (y[i] > pw[i]) {
        QMX_ThrowException(
            "binomial parameter n = %f cannot be less than the observed successes = %f", pw[i],
            y[i]);
      }
      y[i] /= pw[i];
    }
  }
  GLMFamily::eval(n, y, eta, z, dev, pw);
}

void BinomialFamily::initialize(long n, double* y, double /*mean*/, double* pw) const {
  if (y == nullptr) QMX_ThrowException("internal error");
  const GLMLink& g = link();
  for (long i = 0; i < n; ++i) {
    if (pw == nullptr) {
      y[i] = g.eval(y[i] < 0.5 ? kStartBelowHalf : kStartAboveHalf);
      continue;
    }
    checkTrials(pw[i]);
    if (y[i] > pw[i]) {
      QMX_ThrowException("binomial n=%f > number of successes %f", pw[i], y[i]);
    }
    y[i] = g.eval((y[i] + 0.5) / (pw[i] + 1.0));
  }
}

double BinomialFamily::startMean(double y, double w) const {
  return (w * y + 0.5) / (w + 1.0);
}

bool BinomialFamily::validMean(double mu) const {
  return std::isfinite(mu) && mu > 0.0 && mu < 1.0;
}

std::unique_ptr<GLMFamily> BinomialFamily::clone() const {
  validate();
  return std::make_unique<BinomialFamily>(*this);
}
