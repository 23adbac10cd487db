#include "qmxmisc/glm/FamilyGamma.h"

#include <cmath>

#include "qmxmisc/glm/GLMClamp.h"

namespace {
constexpr const char kIncompatible[] = "link function is incompatible with Gamma Family";
constexpr auto kAccepted = {GLMLink::Link::Identity, GLMLink::Link::Log, GLMLink::Link::Inverse};
}  // namespace

FamilyGamma::FamilyGamma(GLMLink::Link link)
    : GLMFamily(acceptLink(link, kAccepted, kIncompatible)) {}

FamilyGamma::FamilyGamma(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), kAccepted, kIncompatible)) {}

// R's Gamma()$dev.resids with unit weight, -2[ln(y/mu) - (y - mu)/mu], written as
// 2[(y - mu)/mu + ln mu - ln y] with the ln y term left out for y <= 0.
double FamilyGamma::deviance(double y, double mu) const {
  const double logY = y > 0.0 ? glm::logClamped(y) : 0.0;
  return 2.0 * ((y - mu) / mu + glm::logClamped(mu) - logY);
}

double FamilyGamma::variance(double mu) const {
  return mu * mu;
}

bool FamilyGamma::validMean(double mu) const {
  return std::isfinite(mu) && mu > 0.0;
}

std::unique_ptr<GLMFamily> FamilyGamma::clone() const {
  validate();
  return std::make_unique<FamilyGamma>(*this);
}
