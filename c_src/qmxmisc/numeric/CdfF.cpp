// The F distribution: tails from the regularized incomplete beta function (Boost.Math's F
// distribution, which takes whichever of I_x(dfn/2, dfd/2) and I_{1-x}(dfd/2, dfn/2) is
// accurate for each tail); f, dfn and dfd by the bracketing search, f refined by the direct
// inverse of the incomplete beta function.
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/special_functions/beta.hpp>

#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

using FisherF = boost::math::fisher_f_distribution<double, CdfPolicy>;

// With y = dfn f / (dfn f + dfd), P(F <= f) = I_y(dfn/2, dfd/2) and P(F > f) =
// I_{1-y}(dfd/2, dfn/2). Each tail is inverted for the small one of y and 1 - y (the inverse
// also returns its complement), so f = (dfd / dfn) * y / (1 - y) keeps full accuracy.
double directQuantile(double p, double q, double dfn, double dfd) {
  if (std::isinf(dfn) || std::isinf(dfd)) return std::numeric_limits<double>::quiet_NaN();
  try {
    double y = 0.0;
    double oneMinusY = 0.0;
    if (p <= q) {
      y = boost::math::ibeta_inv(0.5 * dfn, 0.5 * dfd, p, &oneMinusY, CdfPolicy());
    } else {
      oneMinusY = boost::math::ibeta_inv(0.5 * dfd, 0.5 * dfn, q, &y, CdfPolicy());
    }
    return dfd * y / (dfn * oneMinusY);
  } catch (...) {
    return std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace

// Infinite degrees of freedom are the limits R's pf takes: dfd = inf is chi-square(dfn) / dfn,
// dfn = inf is dfd / chi-square(dfd), both the point mass at 1.
CdfTails fisherTails(double f, double dfn, double dfd) {
  if (std::isnan(f) || std::isnan(dfn) || std::isnan(dfd)) return {f + dfn + dfd, f + dfn + dfd};
  if (std::isinf(f)) return {1.0, 0.0};
  if (std::isinf(dfn) && std::isinf(dfd)) return f < 1.0 ? CdfTails{0.0, 1.0} : CdfTails{1.0, 0.0};
  if (std::isinf(dfd)) return chiSquareTails(dfn * f, dfn);
  if (std::isinf(dfn)) {
    const CdfTails flipped = chiSquareTails(dfd / f, dfd);
    return {flipped.q, flipped.p};
  }
  try {
    const FisherF dist(dfn, dfd);
    return {boost::math::cdf(dist, f), boost::math::cdf(boost::math::complement(dist, f))};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

void cdff(int* which, double* p, double* q, double* f, double* dfn, double* dfd, int* status,
          double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 4, status, bound)) return;
  cdfClearSought(*which, {p, q, f, dfn, dfd});
  if (!cdfCheckProbabilities(*which, *p, *q, false, status, bound)) {
    if (*which == 2 && *dfn > 0.0 && *dfd > 0.0) *f = cdfEdgeQuantile(*p, *q, false);
    return;
  }
  if (*which != 2 && !cdfCheckNonNegative(*f, 4, status, bound)) return;
  if (*which != 3 && !cdfCheckPositive(*dfn, 5, status, bound)) return;
  if (*which != 4 && !cdfCheckPositive(*dfd, 6, status, bound)) return;
  if (*which != 1 && !cdfCheckSum(*p, *q, status, bound)) return;

  const double fValue = *f;
  const double dfnValue = *dfn;
  const double dfdValue = *dfd;
  switch (*which) {
    case 1: {
      const CdfTails tails = fisherTails(fValue, dfnValue, dfdValue);
      if (!cdfTailsValid(tails)) {
        *status = 10;
        return;
      }
      *p = tails.p;
      *q = tails.q;
      return;
    }
    case 2:
      cdfQuantile([&](double at) { return fisherTails(at, dfnValue, dfdValue); }, *p, *q,
                  directQuantile(*p, *q, dfnValue, dfdValue), f, status, bound);
      return;
    case 3:
      cdfInvert([&](double at) { return fisherTails(fValue, at, dfdValue); }, *p, *q,
                kCdfParameterSmall, kCdfInfinity, dfn, status, bound);
      return;
    default:
      cdfInvert([&](double at) { return fisherTails(fValue, dfnValue, at); }, *p, *q,
                kCdfParameterSmall, kCdfInfinity, dfd, status, bound);
      return;
  }
}
