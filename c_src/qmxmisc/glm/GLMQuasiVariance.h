// GLMQuasiVariance: the variance functions V(mu) of the quasi-likelihood family and the unit
// deviance that goes with each (the variance and dev.resids of R's quasi(variance = ...)).
// The five subclasses are a few lines each and live together here: VarConstant (1),
// VarMu0 (mu(1-mu)), VarMu1 (mu), VarMu2 (mu^2), VarMu3 (mu^3). They hold no data.
#pragma once

#include <cstdint>
#include <memory>

class GLMQuasiVariance {
 public:
  // Variance codes; any other code is undefined (0 is what an unrecognised name selects).
  enum class VARIANCES : std::int32_t { Constant = 1, Mu0 = 2, Mu1 = 3, Mu2 = 4, Mu3 = 5 };

  GLMQuasiVariance() = default;
  GLMQuasiVariance(const GLMQuasiVariance&) = default;
  GLMQuasiVariance& operator=(const GLMQuasiVariance&) = delete;
  virtual ~GLMQuasiVariance();

  // Virtual operations, in slot order.
  // The unit deviance d(y, mu) of one row.
  virtual double deviance(double y, double mu) const = 0;
  // V(mu).
  virtual double variance(double mu) const = 0;
  virtual VARIANCES varType() const = 0;

  // A new variance function for a code in 1..5; "Undefined variance code" for any other.
  static std::unique_ptr<GLMQuasiVariance> create(VARIANCES code);
};

// V(mu) = 1; d = (y-mu)^2.
class VarConstant final : public GLMQuasiVariance {
 public:
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  VARIANCES varType() const override { return VARIANCES::Constant; }
};

// V(mu) = mu(1-mu); d = 2[y ln y + (1-y) ln(1-y) - y ln mu - (1-y) ln(1-mu)], clamped.
class VarMu0 final : public GLMQuasiVariance {
 public:
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  VARIANCES varType() const override { return VARIANCES::Mu0; }
};

// V(mu) = mu; d = 2[y ln(y/mu) - (y-mu)], 2(mu-y) for y <= 0.
class VarMu1 final : public GLMQuasiVariance {
 public:
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  VARIANCES varType() const override { return VARIANCES::Mu1; }
};

// V(mu) = mu^2; d = 2[ln mu + (y-mu)/mu - ln y], the ln y term left out for y <= 0.
class VarMu2 final : public GLMQuasiVariance {
 public:
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  VARIANCES varType() const override { return VARIANCES::Mu2; }
};

// V(mu) = mu^3; d = (y-mu)^2/(y mu^2).
class VarMu3 final : public GLMQuasiVariance {
 public:
  double deviance(double y, double mu) const override;
  double variance(double mu) const override;
  VARIANCES varType() const override { return VARIANCES::Mu3; }
};
