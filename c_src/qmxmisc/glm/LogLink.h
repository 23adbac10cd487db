// LogLink: g(mu) = ln(mu), the canonical link of the Poisson family (R's make.link("log")), with
// its logarithm and exponential clamped.
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class LogLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<LogLink>(); }
  const char* name() const override { return "log"; }
  Link type() const override { return Link::Log; }
};
