// The quantile search of the distribution functions: the bracketing search of CdfSearch.h run
// on u = log(x) over every positive double, so a quantile of 1e-240 or of 1e+300 is found to
// the same relative tolerance as one of order 1, started at the direct inverse when that is
// a positive double (else at 5), then refined and polished as the search's result.
#include <algorithm>
#include <cmath>
#include <limits>

#include "qmxmisc/numeric/CdfInternal.h"
#include "qmxmisc/numeric/CdfSearch.h"

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

// Bracket width in u: 1e-9, so x is known to about 1e-9 relative before the refinement.
constexpr double kLogTolerance = 1e-9;

// x = e^u, kept finite at the top of the range (log(max) rounds up).
double pointAt(double u) {
  return std::min(std::exp(u), kLargest);
}

}  // namespace

void cdfQuantile(const std::function<CdfTails(double)>& tails, double p, double q, double direct,
                 double* x, int* status, double* bound) {
  *status = 0;
  *bound = 0.0;
  if (p == 0.0) {
    *x = 0.0;
    return;
  }
  // On the smaller tail, as cdfInvert; dividing by the target keeps function values of
  // order one however far out the tail is.
  const bool onLower = p <= q;
  const double target = onLower ? p : q;
  const CdfSearchFunction f = [&](double u, double* fu) {
    const CdfTails at = tails(pointAt(u));
    if (!cdfTailsValid(at)) return false;
    *fu = ((onLower ? at.p : at.q) - target) / target;
    return true;
  };
  CdfSearchLimits limits;
  limits.small = std::log(std::numeric_limits<double>::denorm_min());
  limits.big = std::log(kLargest);
  limits.relStep = 0.0;
  limits.absTolerance = kLogTolerance;
  limits.relTolerance = 0.0;
  const bool usable = direct > 0.0 && direct <= kLargest;
  const double start = std::clamp(std::log(usable ? direct : 5.0), limits.small, limits.big);
  const CdfSearchResult result = cdfSearch(f, start, limits);
  switch (result.status) {
    case CdfSearchStatus::kFound:
      *x = pointAt(result.x);
      cdfRefine(direct, x);
      cdfPolish(tails, p, q, x);
      return;
    case CdfSearchStatus::kBelowSmall:  // below the smallest positive double: rounds to 0
      *x = 0.0;
      return;
    case CdfSearchStatus::kAboveBig:
      *status = 2;
      *bound = kLargest;
      *x = std::numeric_limits<double>::infinity();
      return;
    default:
      *status = 10;
      *x = std::numeric_limits<double>::quiet_NaN();
      return;
  }
}
