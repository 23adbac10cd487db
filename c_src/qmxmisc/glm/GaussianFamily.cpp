#include "qmxmisc/glm/GaussianFamily.h"

#include "qmxmisc/base/QMXException.h"

namespace {
constexpr const char kIncompatible[] = "link function is incompatible with Gaussian Family";
// R's gaussian() links.
constexpr auto kAccepted = {GLMLink::Link::Identity, GLMLink::Link::Log, GLMLink::Link::Inverse};
}  // namespace

GaussianFamily::GaussianFamily(GLMLink::Link link)
    : GLMFamily(acceptLink(link, kAccepted, kIncompatible)) {}

GaussianFamily::GaussianFamily(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), kAccepted, kIncompatible)) {}

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
