// The normal distribution: p and q from the complementary error function (each tail
// computed directly), x, mean or sd from the normal quantile in closed form (the inverse
// complementary error function on the smaller tail, more accurate than DCDFLIB's dinvnr).
#include <boost/math/special_functions/erf.hpp>

#include <cmath>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

constexpr double kSqrt2 = 1.41421356237309504880;

// The standard normal quantile of the smaller of p and q.
double normalQuantile(double p, double q) {
  if (p <= q) return -kSqrt2 * boost::math::erfc_inv(2.0 * p, CdfPolicy());
  return kSqrt2 * boost::math::erfc_inv(2.0 * q, CdfPolicy());
}

}  // namespace

CdfTails normalTails(double z) {
  try {
    const double r = z / kSqrt2;
    return {0.5 * boost::math::erfc(-r, CdfPolicy()), 0.5 * boost::math::erfc(r, CdfPolicy())};
  } catch (...) {
    return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  }
}

void cdfnor(int* which, double* p, double* q, double* x, double* mean, double* sd, int* status,
            double* bound) {
  *status = 0;
  *bound = 0.0;
  if (!cdfCheckWhich(*which, 4, status, bound)) return;
  cdfClearSought(*which, {p, q, x, mean, sd});
  if (!cdfCheckProbabilities(*which, *p, *q, true, status, bound)) {
    if (*which == 2 && *sd > 0.0) *x = cdfEdgeQuantile(*p, *q, true);
    return;
  }
  if (*which != 4 && !cdfCheckPositive(*sd, 6, status, bound)) return;
  if (*which != 1 && !cdfCheckSum(*p, *q, status, bound)) return;

  if (*which == 1) {
    const CdfTails tails = normalTails((*x - *mean) / *sd);
    if (!cdfTailsValid(tails)) {
      *status = 10;
      return;
    }
    *p = tails.p;
    *q = tails.q;
    return;
  }
  double z = 0.0;
  try {
    z = normalQuantile(*p, *q);
  } catch (...) {
    z = std::numeric_limits<double>::quiet_NaN();
  }
  if (std::isnan(z)) {
    *status = 10;
    return;
  }
  if (*which == 2) {
    *x = *sd * z + *mean;
  } else if (*which == 3) {
    *mean = *x - *sd * z;
  } else {
    *sd = (*x - *mean) / z;
  }
}
