// InverseLink: g(mu) = 1/mu, the canonical link of the Gamma family (R's make.link("inverse")).
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class InverseLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<InverseLink>(); }
  const char* name() const override { return "LINKINVERSE"; }
  Link type() const override { return Link::Inverse; }
};
