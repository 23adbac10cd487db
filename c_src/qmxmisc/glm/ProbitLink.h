// ProbitLink: g(mu) = Phi^-1(mu), the standard normal quantile (R's make.link("probit")); Phi and
// its inverse come from the library's normal distribution function cdfnor.
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class ProbitLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<ProbitLink>(); }
  const char* name() const override { return "LINKPROBIT"; }
  Link type() const override { return Link::Probit; }
};
