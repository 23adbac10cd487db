// FamilyQuasi: the quasi-likelihood family (R's quasi(link, variance)): any link but the
// square root, the variance function and unit deviance of a GLMQuasiVariance, and the starting
// values of an inner family chosen by the link (identity: Gaussian; logit, probit,
// complementary log-log: binomial; log, inverse: Gamma; inverse square: inverse Gaussian).
#pragma once

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMQuasiVariance.h"

class FamilyQuasi final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "Unreconigzed link type in Quasi family initialize" for the square-root link or an
  // unknown link code, then "Undefined variance code" for a variance code outside 1..5.
  FamilyQuasi(GLMLink::Link link, GLMQuasiVariance::VARIANCES variance);
  // Clones link; the same checks.
  FamilyQuasi(const GLMLink& link, GLMQuasiVariance::VARIANCES variance);
  FamilyQuasi(const FamilyQuasi& other);

  const char* distName() const override { return "QUASI"; }
  Distribution distType() const override { return Distribution::Quasi; }
  // The deviance of the variance function.
  double deviance(double y, double mu) const override;
  // V(mu) of the variance function.
  double variance(double mu) const override;
  // The inner family's starting values.
  void initialize(long n, double* y, double mean, double* pw) const override;
  // Link, variance function and inner family all present.
  bool valid() const override;
  // R's quasi(): mu(1-mu) starts at y moved into [0.001, 0.999], the others at y (0.1 for a
  // zero y); valid means: inside (0, 1) for mu(1-mu), positive for mu, mu^2 and mu^3.
  double startMean(double y, double w) const override;
  bool validMean(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;

  const GLMQuasiVariance& varianceFunction() const { return *variance_; }
  const GLMFamily& innerFamily() const { return *inner_; }

 private:
  std::unique_ptr<GLMQuasiVariance> variance_;
  std::unique_ptr<GLMFamily> inner_;
};
