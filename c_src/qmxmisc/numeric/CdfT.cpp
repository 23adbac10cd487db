// Student's t distribution: tails from the incomplete beta function, each evaluated directly;
// t by the quantile search on |t|, refined by the direct inverse (Boost.Math's t quantile); df
// by the bracketing search.
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

using StudentT = boost::math::students_t_distribution<double, CdfPolicy>;

double directQuantile(double p, double q, double df) {
  try {
    const StudentT dist(df);
    if (p <= q) return boost::math::quantile(dist, p);
    return boost::math::quantile(boost::math::complement(dist, q));
  } catch (...) {
    return std::numeric_limits<double>::quiet_NaN();
  }
}

constexpr double kSqrt2 = 1.41421356237309504880;
constexpr double kLogSeriesRatio = 345.38776394910684;  // log(1e150)

// {P(|T| <= s), P(|T| > s)} for s >= 0: the incomplete beta function at whichever of
// x = s^2 / (df + s^2) and 1 - x = df / (df + s^2) is small, both formed from s / sqrt(df) so
// that nothing overflows: P(|T| <= s) = I_x(1/2, df/2), P(|T| > s) = I_{1-x}(df/2, 1/2). Where
// 1 - x is below 1e-300 (s / sqrt(df) > 1e150) P(|T| > s) is the first term of its series,
// (1 - x)^a / (a B(a, 1/2)) with a = df / 2, taken in logarithms (the next is 1e-300 smaller).
// Infinite df is the normal distribution.
CdfTails studentBothTails(double s, double df) {
  // {I_x(a, b), 1 - I_x(a, b)}: the one below 1/2 computed, the other 1 minus it, so both
  // keep their relative accuracy.
  const auto split = [](double a, double b, double x) {
    const double lower = boost::math::ibeta(a, b, x, CdfPolicy());
    if (!(lower > 0.5)) return CdfTails{lower, 1.0 - lower};
    const double upper = boost::math::ibetac(a, b, x, CdfPolicy());
    return CdfTails{1.0 - upper, upper};
  };
  try {
    if (std::isinf(df)) {
      const double r = s / kSqrt2;
      return {boost::math::erf(r, CdfPolicy()), boost::math::erfc(r, CdfPolicy())};
    }
    const double a = 0.5 * df;
    const double logRatio = std::log(s) - 0.5 * std::log(df);  // s / sqrt(df) itself may overflow
    if (logRatio > kLogSeriesRatio) {
      const double logBeta = std::lgamma(a) + std::lgamma(0.5) - std::lgamma(a + 0.5);
      const double outer = std::exp(-2.0 * a * logRatio - std::log(a) - logBeta);
      return {1.0 - outer, outer};
    }
    const double ratio = s / std::sqrt(df);
    const double squared = ratio * ratio;
    if (ratio < 1.0) return split(0.5, a, squared / (1.0 + squared));
    const CdfTails flipped = split(a, 0.5, 1.0 / (1.0 + squared));
    return {flipped.q, flipped.p};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

}  // namespace

CdfTails studentTails(double t, double df) {
  if (std::isnan(t)) return {t, t};
  // Boost.Math's t distribution (each tail directly) while t^2 / df is a double; beyond it,
  // and for infinite df, from the tails of |T|.
  if (std::isfinite(df) && std::log(std::fabs(t)) - 0.5 * std::log(df) <= kLogSeriesRatio) {
    try {
      const StudentT dist(df);
      return {boost::math::cdf(dist, t), boost::math::cdf(boost::math::complement(dist, t))};
    } catch (...) {
      return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    }
  }
  const CdfTails both = studentBothTails(std::fabs(t), df);
  const double centre = 0.5 * both.p;
  const double outer = 0.5 * both.q;
  return t < 0.0 ? CdfTails{outer, 0.5 + centre} : CdfTails{0.5 + centre, outer};
}

void cdft(int* which, double* p, double* q, double* t, double* df, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 3, status, bound)) return;
  cdfClearSought(*which, {p, q, t, df});
  if (!cdfCheckProbabilities(*which, *p, *q, true, status, bound)) {
    if (*which == 2 && *df > 0.0) *t = cdfEdgeQuantile(*p, *q, true);
    return;
  }
  if (*which != 3 && !cdfCheckPositive(*df, 5, status, bound)) return;
  if (*which != 1 && !cdfCheckSum(*p, *q, status, bound)) return;

  const double tValue = *t;
  const double dfValue = *df;
  if (*which == 1) {
    const CdfTails tails = studentTails(tValue, dfValue);
    if (!cdfTailsValid(tails)) {
      *status = 10;
      return;
    }
    *p = tails.p;
    *q = tails.q;
  } else if (*which == 2) {
    // By symmetry P(|T| > |t|) = 2 min(p, q) and P(|T| <= |t|) = 2 (0.5 - min(p, q)), exact
    // when min(p, q) >= 1/4, so t near 0 keeps its relative accuracy; p = q is t = 0.
    if (*p == *q) {
      *t = 0.0;
      return;
    }
    const double tail = std::min(*p, *q);
    const auto both = [&](double x) { return studentBothTails(x, dfValue); };
    double magnitude = 0.0;
    cdfQuantile(both, 2.0 * (0.5 - tail), 2.0 * tail, std::fabs(directQuantile(*p, *q, dfValue)),
                &magnitude, status, bound);
    const bool below = *p < *q;
    *t = below ? -magnitude : magnitude;
    if (below && *status == 2) {
      *status = 1;
      *bound = -*bound;
    }
  } else {
    cdfInvert([&](double x) { return studentTails(tValue, x); }, *p, *q, kCdfParameterSmall,
              kCdfInfinity, df, status, bound);
  }
}
