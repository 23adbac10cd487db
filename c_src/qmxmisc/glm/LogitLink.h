// LogitLink: g(mu) = ln(mu/(1-mu)), the canonical link of the binomial family (R's
// make.link("logit")), with g pinned to -+ln(eps) outside [eps, 1-eps) and the exponent of g^-1
// clamped.
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class LogitLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<LogitLink>(); }
  const char* name() const override { return "logit"; }
  Link type() const override { return Link::Logit; }
};
