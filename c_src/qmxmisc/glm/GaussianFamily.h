// GaussianFamily: normal responses, V(mu) = 1, identity link only (R's gaussian()). Starting values
// are the responses themselves.
#pragma once

#include "qmxmisc/glm/GLMFamily.h"

class GaussianFamily final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "link function is incompatible with Gaussian Family" for a link the family does not
  // accept.
  explicit GaussianFamily(GLMLink::Link link);
  // Clones link.
  explicit GaussianFamily(const GLMLink& link);
  GaussianFamily(const GaussianFamily& other) = default;

  const char* distName() const override { return "Gaussian"; }
  Distribution distType() const override { return Distribution::Gaussian; }
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;
  // Leaves y unchanged (eta = y under the identity link); "internal error" for a null y.
  void initialize(long n, double* y, double mean, double* pw) const override;
};
