// Student's t distribution: tails from the incomplete beta function (Boost.Math's t
// distribution, which evaluates each tail directly); t and df by the bracketing search,
// t refined by the direct inverse.
#include <boost/math/distributions/students_t.hpp>

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

}  // namespace

CdfTails studentTails(double t, double df) {
  try {
    const StudentT dist(df);
    return {boost::math::cdf(dist, t), boost::math::cdf(boost::math::complement(dist, t))};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

void cdft(int* which, double* p, double* q, double* t, double* df, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 3, status, bound)) return;
  if (!cdfCheckProbabilities(*which, *p, *q, true, status, bound)) return;
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
    // t is unbounded below, so its search interval is symmetric.
    {
      const auto tails = [&](double x) { return studentTails(x, dfValue); };
      cdfInvert(tails, *p, *q, -kCdfInfinity, kCdfInfinity, t, status, bound);
      if (*status == 0) {
        cdfRefine(directQuantile(*p, *q, dfValue), t);
        cdfPolish(tails, *p, *q, t);
      }
    }
  } else {
    cdfInvert([&](double x) { return studentTails(tValue, x); }, *p, *q, kCdfParameterSmall,
              kCdfInfinity, df, status, bound);
  }
}
