// BinomialFamily: proportions of successes, V(mu) = mu(1-mu), with the logit, probit or
// complementary log-log link (R's binomial()). In the per-row evaluation and the starting values
// the prior weights are the binomial trial counts.
#pragma once

#include "qmxmisc/glm/GLMFamily.h"

class BinomialFamily final : public GLMFamily {
 public:
  using GLMFamily::eval;

  // Throws "link function is incompatible with Binomial Family" for a link the family does not
  // accept.
  explicit BinomialFamily(GLMLink::Link link);
  // Clones link.
  explicit BinomialFamily(const GLMLink& link);
  BinomialFamily(const BinomialFamily& other) = default;

  const char* distName() const override { return "Binomial"; }
  Distribution distType() const override { return Distribution::Binomial; }
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  std::unique_ptr<GLMFamily> clone() const override;
  // As GLMFamily::eval, except that pw (when given) holds the trial counts n_i: each row first
  // needs n_i >= eps ("invalid Binomial parameter n = %f") and y_i <= n_i ("binomial parameter
  // n = %f cannot be less than the observed successes = %f"), and y_i is replaced by the
  // proportion y_i/n_i in the caller's array; weights and deviance are then multiplied by n_i.
  void eval(long n, double* y, double* eta, double* z, double& dev, double* pw) const override;
  // Without pw: g(0.25) for y_i < 0.5, else g(0.75). With trial counts pw: n_i >= eps
  // ("invalid Binomial parameter n = %f"), y_i <= n_i ("binomial n=%f > number of successes
  // %f"), eta_i = g((y_i + 0.5)/(n_i + 1)) as R's binomial()$initialize.
  void initialize(long n, double* y, double mean, double* pw) const override;
  // (w y + 0.5)/(w + 1); valid means are finite and inside (0, 1).
  double startMean(double y, double w) const override;
  bool validMean(double mu) const override;
};
