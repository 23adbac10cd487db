// The fixed overflow guards of the GLM links and families. Every logarithm takes its argument
// through clampRange and every exponential its exponent through clampEta, so no link or
// deviance ever produces an infinity or a zero from a finite input. The constants are written
// out (rather than computed from <limits>) because they are part of the numerical behaviour;
// GLMClampTest checks them against the double format.
#pragma once

#include <algorithm>
#include <cmath>

namespace glm {

// Machine epsilon, 2^-52.
inline constexpr double kEps = 2.220446049250313e-16;
// sqrt(largest double) and sqrt(smallest normal double).
inline constexpr double kSqrtMax = 1.3407807929942596e+154;
inline constexpr double kSqrtMin = 1.4916681462400413e-154;
// ln(kSqrtMax) and ln(kSqrtMin): the largest and smallest exponent ever passed to exp.
inline constexpr double kExpMax = 354.891356446692;
inline constexpr double kExpMin = -354.19820926613204;
// ln(kEps): the logit of any mu below kEps.
inline constexpr double kLogEps = -36.04365338911715;
// 1 - kEps.
inline constexpr double kOneMinusEps = 0.9999999999999998;

// min(max(x, kSqrtMin), kSqrtMax); a NaN stays NaN.
constexpr double clampRange(double x) {
  return std::min(std::max(x, kSqrtMin), kSqrtMax);
}

// min(max(eta, kExpMin), kExpMax); a NaN stays NaN.
constexpr double clampEta(double eta) {
  return std::min(std::max(eta, kExpMin), kExpMax);
}

// ln(clampRange(x)).
inline double logClamped(double x) {
  return std::log(clampRange(x));
}

// exp(clampEta(eta)).
inline double expClamped(double eta) {
  return std::exp(clampEta(eta));
}

}  // namespace glm
