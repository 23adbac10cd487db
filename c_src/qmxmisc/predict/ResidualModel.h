// ResidualModel: what R's residual types (residuals.glm) need of the family a model was fitted
// with, and rResidual, one residual of a type. A scoring proc without a family passes none:
// its residuals are those of a Gaussian family (V = 1, d = (y - mu)^2).
#pragma once

#include "qmxmisc/predict/PredictOutputType.h"

class ResidualModel {
 public:
  virtual ~ResidualModel() = default;
  // V(mu).
  virtual double variance(double mu) const = 0;
  // The unit deviance d(y, mu) (without the prior weight).
  virtual double unitDeviance(double y, double mu) const = 0;
  // A binomial fit of cbind(successes, failures): the failures column (the response is the
  // successes); otherwise null.
  virtual const char* failuresColumn() const { return nullptr; }
};

// One row's residual of an R residual type (isRResidualType) from the observed response y,
// the fitted mean mu, the prior weight w and dmu/deta:
//   response  y - mu                        pearson  (y - mu) sqrt(w / V(mu))
//   working   (y - mu) / (dmu/deta)         deviance sign(y - mu) sqrt(max(w d(y, mu), 0))
// and "residual.default" the deviance residual when `family` (the model has a family), else
// the response residual. `model` null: V = 1, d = (y - mu)^2.
double rResidual(PredictOutputType type, bool family, double y, double mu, double w, double dmudeta,
                 const ResidualModel* model);
