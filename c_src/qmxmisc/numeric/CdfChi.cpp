// The chi-square distribution: tails from the regularized incomplete gamma function
// P(df/2, x/2) and Q(df/2, x/2), each computed directly; x and df by the bracketing search,
// x refined by the direct inverse of the incomplete gamma function.
#include <boost/math/special_functions/gamma.hpp>

#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

double directQuantile(double p, double q, double df) {
  if (std::isinf(df)) return std::numeric_limits<double>::quiet_NaN();
  try {
    if (p <= q) return 2.0 * boost::math::gamma_p_inv(0.5 * df, p, CdfPolicy());
    return 2.0 * boost::math::gamma_q_inv(0.5 * df, q, CdfPolicy());
  } catch (...) {
    return std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace

// At x = inf every mass lies below; with infinite df (and finite x) every mass lies above.
CdfTails chiSquareTails(double x, double df) {
  if (x == std::numeric_limits<double>::infinity()) return {1.0, 0.0};
  if (df == std::numeric_limits<double>::infinity()) return {0.0, 1.0};
  try {
    const double a = 0.5 * df;
    const double y = 0.5 * x;
    return {boost::math::gamma_p(a, y, CdfPolicy()), boost::math::gamma_q(a, y, CdfPolicy())};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

void cdfchi(int* which, double* p, double* q, double* x, double* df, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 3, status, bound)) return;
  cdfClearSought(*which, {p, q, x, df});
  if (!cdfCheckProbabilities(*which, *p, *q, false, status, bound)) {
    if (*which == 2 && *df > 0.0) *x = cdfEdgeQuantile(*p, *q, false);
    return;
  }
  if (*which != 2 && !cdfCheckNonNegative(*x, 4, status, bound)) return;
  if (*which != 3 && !cdfCheckPositive(*df, 5, status, bound)) return;
  if (*which != 1 && !cdfCheckSum(*p, *q, status, bound)) return;

  const double xValue = *x;
  const double dfValue = *df;
  if (*which == 1) {
    const CdfTails tails = chiSquareTails(xValue, dfValue);
    if (!cdfTailsValid(tails)) {
      *status = 10;
      return;
    }
    *p = tails.p;
    *q = tails.q;
  } else if (*which == 2) {
    cdfQuantile([&](double at) { return chiSquareTails(at, dfValue); }, *p, *q,
                directQuantile(*p, *q, dfValue), x, status, bound);
  } else {
    cdfInvert([&](double at) { return chiSquareTails(xValue, at); }, *p, *q, kCdfParameterSmall,
              kCdfInfinity, df, status, bound);
  }
}
