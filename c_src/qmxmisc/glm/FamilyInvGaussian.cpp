#include "qmxmisc/glm/FamilyInvGaussian.h"

namespace {
constexpr const char kIncompatible[] = "link function is incompatible with Inverse Gaussian Family";
}  // namespace

FamilyInvGaussian::FamilyInvGaussian(GLMLink::Link link)
    : GLMFamily(acceptLink(link, {GLMLink::Link::InverseSquare}, kIncompatible)) {}

FamilyInvGaussian::FamilyInvGaussian(const GLMLink& link)
    : GLMFamily(acceptLink(link.type(), {GLMLink::Link::InverseSquare}, kIncompatible)) {}

// R's inverse.gaussian()$dev.resids with unit weight.
double FamilyInvGaussian::deviance(double y, double mu) const {
  const double residual = y - mu;
  return residual * residual / (y * mu * mu);
}

double FamilyInvGaussian::variance(double mu) const {
  return mu * mu * mu;
}

std::unique_ptr<GLMFamily> FamilyInvGaussian::clone() const {
  validate();
  return std::make_unique<FamilyInvGaussian>(*this);
}
