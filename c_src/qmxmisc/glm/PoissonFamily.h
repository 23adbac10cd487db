// PoissonFamily: counts, V(mu) = mu, with the identity, log or square-root link (R's poisson()).
// Starting values follow the base rule (g(y), g(0.167) for y below eps).
#pragma once

#include "qmxmisc/glm/GLMFamily.h"

class PoissonFamily final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "link function is incompatible with Poisson Family" for a link the family does not
  // accept.
  explicit PoissonFamily(GLMLink::Link link);
  // Clones link.
  explicit PoissonFamily(const GLMLink& link);
  PoissonFamily(const PoissonFamily& other) = default;

  const char* distName() const override { return "Poisson"; }
  Distribution distType() const override { return Distribution::Poisson; }
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;
  // y + 0.1; valid means are finite and positive.
  double startMean(double y, double w) const override;
  bool validMean(double mu) const override;
};
