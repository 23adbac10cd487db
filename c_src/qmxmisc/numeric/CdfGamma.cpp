// The gamma distribution in DCDFLIB's parametrisation: P(X <= x) = P(shape, x * scale), the
// regularized incomplete gamma function (so `scale` acts as a rate). Each tail is computed
// directly; x, shape and scale by the bracketing search, x and scale refined by the direct
// inverse of the incomplete gamma function.
#include <boost/math/special_functions/gamma.hpp>

#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

// The point y with P(shape, y) = p (or Q(shape, y) = q on the smaller tail).
double directUnitQuantile(double p, double q, double shape) {
  if (std::isinf(shape)) return std::numeric_limits<double>::quiet_NaN();
  try {
    if (p <= q) return boost::math::gamma_p_inv(shape, p, CdfPolicy());
    return boost::math::gamma_q_inv(shape, q, CdfPolicy());
  } catch (...) {
    return std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace

// As chiSquareTails: every mass below x = inf, above any finite point for infinite shape.
CdfTails gammaTails(double x, double shape, double rate) {
  try {
    const double y = x * rate;
    if (y == std::numeric_limits<double>::infinity()) return {1.0, 0.0};
    if (shape == std::numeric_limits<double>::infinity()) return {0.0, 1.0};
    return {boost::math::gamma_p(shape, y, CdfPolicy()),
            boost::math::gamma_q(shape, y, CdfPolicy())};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

void cdfgam(int* which, double* p, double* q, double* x, double* shape, double* scale, int* status,
            double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 4, status, bound)) return;
  cdfClearSought(*which, {p, q, x, shape, scale});
  if (!cdfCheckProbabilities(*which, *p, *q, false, status, bound)) {
    if (*which == 2 && *shape > 0.0 && *scale > 0.0) *x = cdfEdgeQuantile(*p, *q, false);
    return;
  }
  if (*which != 2 && !cdfCheckNonNegative(*x, 4, status, bound)) return;
  if (*which != 3 && !cdfCheckPositive(*shape, 5, status, bound)) return;
  if (*which != 4 && !cdfCheckPositive(*scale, 6, status, bound)) return;
  if (*which != 1 && !cdfCheckSum(*p, *q, status, bound)) return;

  const double xValue = *x;
  const double shapeValue = *shape;
  const double rateValue = *scale;
  switch (*which) {
    case 1: {
      const CdfTails tails = gammaTails(xValue, shapeValue, rateValue);
      if (!cdfTailsValid(tails)) {
        *status = 10;
        return;
      }
      *p = tails.p;
      *q = tails.q;
      return;
    }
    case 2:
      cdfQuantile([&](double at) { return gammaTails(at, shapeValue, rateValue); }, *p, *q,
                  directUnitQuantile(*p, *q, shapeValue) / rateValue, x, status, bound);
      return;
    case 3:
      cdfInvert([&](double at) { return gammaTails(xValue, at, rateValue); }, *p, *q,
                kCdfParameterSmall, kCdfInfinity, shape, status, bound);
      return;
    default:
      cdfInvert([&](double at) { return gammaTails(xValue, shapeValue, at); }, *p, *q,
                kCdfParameterSmall, kCdfInfinity, scale, status, bound);
      if (*status == 0 && xValue > 0.0) {
        cdfRefine(directUnitQuantile(*p, *q, shapeValue) / xValue, scale);
      }
      return;
  }
}
