// FamilyGamma: positive responses with constant coefficient of variation, V(mu) = mu^2, with the
// identity, log or inverse link (R's Gamma()). Starting values follow the base rule.
#pragma once

#include "qmxmisc/glm/GLMFamily.h"

class FamilyGamma final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "link function is incompatible with Gamma Family" for a link the family does not accept.
  explicit FamilyGamma(GLMLink::Link link);
  // Clones link.
  explicit FamilyGamma(const GLMLink& link);
  FamilyGamma(const FamilyGamma& other) = default;

  const char* distName() const override { return "GAMMA"; }
  Distribution distType() const override { return Distribution::Gamma; }
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;
  // Valid means are finite and positive.
  bool validMean(double mu) const override;
};
