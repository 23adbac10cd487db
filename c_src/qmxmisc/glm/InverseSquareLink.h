// InverseSquareLink: g(mu) = 1/mu^2, the canonical link of the inverse Gaussian family (R's
// make.link("1/mu^2")).
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class InverseSquareLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<InverseSquareLink>(); }
  const char* name() const override { return "LINKMU2INV"; }
  Link type() const override { return Link::InverseSquare; }
};
