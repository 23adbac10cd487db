// IdentityLink: g(mu) = mu, the canonical link of the Gaussian family (R's make.link("identity")).
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class IdentityLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<IdentityLink>(); }
  const char* name() const override { return "identity"; }
  Link type() const override { return Link::Identity; }
};
