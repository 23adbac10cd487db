// GLMResponseScan: the response over the rows a generalized linear fit uses, accumulated row
// by row in the first pass of QMXProcIGLM (rows in order, so the sums do not depend on the
// chunk size):
//   - the null model's mean, as R's glm fits it: with an intercept the weighted mean of y;
//     without one the mean at a linear predictor of 0, linkinv(0). Under the inverse links
//     (1/0) and the square-root link (mean 0) R's null deviance is infinite; those keep the
//     weighted mean.
//   - the range the family must accept (R's binomial, poisson, Gamma and inverse.gaussian
//     families refuse the same values), with the message naming the response and the values.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMLink.h"

struct GLMResponseScan {
  std::int64_t rows = 0;
  double weightSum = 0;
  double weightedSum = 0;
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();

  // One row used by the fit: response y (a factor response: 1 for the modelled level, else
  // 0) and prior weight w (1 without weights).
  void update(double y, double w) {
    ++rows;
    weightSum += w;
    weightedSum += w * y;
    if (y < min) min = y;
    if (y > max) max = y;
  }

  // True when `family` refuses a value seen so far.
  bool refused(GLMFamily::Distribution family) const;
  // The message for a refused response `name`, e.g. "poisson response 'y' must not be
  // negative (its smallest value is -1)"; "" when the family accepts every value.
  std::string refusal(GLMFamily::Distribution family, const std::string& name) const;

  // The weighted mean of y (1 without rows).
  double mean() const { return weightSum > 0 ? weightedSum / weightSum : 1.0; }
  // The null model's mean of a model with or without intercept under `link`.
  double nullMean(bool intercept, GLMLink::Link link) const;
};
