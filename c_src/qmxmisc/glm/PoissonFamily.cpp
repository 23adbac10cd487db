#include "qmxmisc/glm/PoissonFamily.h"

#include <cmath>

#include "qmxmisc/glm/GLMClamp.h"

namespace {
constexpr const char kIncompatible[] = "link function is incompatible with Poisson Family";
constexpr auto kAccepted = {GLMLink::Link::Identity, GLMLink::Link::Log, GLMLink::Link::Sqrt};
}  // namespace

PoissonFamily::PoissonFamily(GLMLink::Link link)
    : GLMFamily(acceptLink(link, kAccepted, kIncompatible)) {}

PoissonFamily::PoissonFamily(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), kAccepted, kIncompatible)) {}

// R's poisson()$dev.resids with unit weight: 2[y ln(y/mu) - (y - mu)], 2 mu at y = 0.
double PoissonFamily::deviance(double y, double mu) const {
  if (y >= glm::kEps) return 2.0 * (y * glm::logClamped(y / mu) - (y - mu));
  return 2.0 * mu;
}

double PoissonFamily::variance(double mu) const {
  return mu;
}

double PoissonFamily::startMean(double y, double /*w*/) const {
  return y + 0.1;
}

bool PoissonFamily::validMean(double mu) const {
  return std::isfinite(mu) && mu > 0.0;
}

std::unique_ptr<GLMFamily> PoissonFamily::clone() const {
  validate();
  return std::make_unique<PoissonFamily>(*this);
}
