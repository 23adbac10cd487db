// CLogLogLink: g(mu) = ln(-ln(1-mu)), the complementary log-log link (R's make.link("cloglog")),
// with every logarithm and exponential clamped and dmu/deta at least eps.
#pragma once

#include "qmxmisc/glm/GLMLink.h"

class CLogLogLink final : public GLMLink {
 public:
  using GLMLink::eval;
  using GLMLink::evalInv;

  void evalDeriv(double eta, double& mu, double& dmudeta) const override;
  double eval(double mu) const override;
  double evalInv(double eta) const override;
  std::unique_ptr<GLMLink> clone() const override { return std::make_unique<CLogLogLink>(); }
  const char* name() const override { return "LINKCLOGLOG"; }
  Link type() const override { return Link::CLogLog; }
};
