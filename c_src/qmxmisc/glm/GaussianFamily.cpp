#include "qmxmisc/glm/GaussianFamily.h"

#include "qmxmisc/base/QMXException.h"

namespace {
constexpr const char kIncompatible[] = "link function is incompatible with Gaussian Family";
}  // namespace

GaussianFamily::GaussianFamily(GLMLink::Link link)
    : GLMFamily(acceptLink(link, {GLMLink::Link::Identity}, kIncompatible)) {}

GaussianFamily::GaussianFamily(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), {GLMLink::Link::Identity}, kIncompatible)) {}

// R's gaussian()$dev.resids with unit weight.
double GaussianFamily::deviance(double y, double mu) const {
  const double residual = y - mu;
  return residual * residual;
}

double GaussianFamily::variance(double /*mu*/) const {
  return 1.0;
}

void GaussianFamily::initialize(long /*n*/, double* y, double /*mean*/, double* /*pw*/) const {
  if (y == nullptr) QMX_ThrowException("internal error");
}

std::unique_ptr<GLMFamily> GaussianFamily::clone() const {
  validate();
  return std::make_unique<GaussianFamily>(*this);
}
