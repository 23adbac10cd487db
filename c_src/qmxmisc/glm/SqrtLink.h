// SqrtLink: g(mu) = sqrt(mu) (R's make.link("sqrt")); dmu/deta is taken as 2 sqrt(mu), so it is
// 2|eta| for either sign of eta.
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class SqrtLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<SqrtLink>(); }
  const char* name() const override { return "LINKSQRT"; }
  Link type() const override { return Link::Sqrt; }
};
