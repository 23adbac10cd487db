// FamilyInvGaussian: inverse Gaussian responses, V(mu) = mu^3, with the inverse-square link only
// (R's inverse.gaussian()). Starting values follow the base rule.
#pragma once

#include "qmxmisc/glm/GLMFamily.h"

class FamilyInvGaussian final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "link function is incompatible with Inverse Gaussian Family" for a link the family does
  // not accept.
  explicit FamilyInvGaussian(GLMLink::Link link);
  // Clones link.
  explicit FamilyInvGaussian(const GLMLink& link);
  FamilyInvGaussian(const FamilyInvGaussian& other) = default;

  const char* distName() const override { return "INVGAUSSIAN"; }
  Distribution distType() const override { return Distribution::InvGaussian; }
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;
};
