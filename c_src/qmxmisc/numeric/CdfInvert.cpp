// The inverse of a distribution function by the bracketing search (CdfSearch.h), with the
// status mapping of DCDFLIB's distribution routines.
#include <algorithm>
#include <cmath>
#include <limits>

#include "qmxmisc/numeric/CdfInternal.h"
#include "qmxmisc/numeric/CdfSearch.h"

bool cdfTailsValid(const CdfTails& tails) {
  // DCDFLIB's guard against a failed evaluation is p + q > 1.5; NaN fails it too.
  return tails.p + tails.q <= 1.5;
}

void cdfInvert(const std::function<CdfTails(double)>& tails, double p, double q, double small,
               double big, double* answer, int* status, double* bound) {
  // Solving on the smaller tail keeps relative accuracy in the far tail.
  const bool onLower = p <= q;
  const double target = onLower ? p : q;
  // The difference is divided by a positive target: the same root, but function values of
  // order one, so the zero finder's interpolation does not lose digits to underflow when
  // the target is far out in a tail (1e-250, say).
  const double scale = target > 0.0 ? target : 1.0;
  const CdfSearchFunction f = [&](double x, double* fx) {
    const CdfTails at = tails(x);
    if (!cdfTailsValid(at)) return false;
    *fx = ((onLower ? at.p : at.q) - target) / scale;
    return true;
  };
  CdfSearchLimits limits;
  limits.small = small;
  limits.big = big;
  const CdfSearchResult result = cdfSearch(f, 5.0, limits);
  *bound = 0.0;
  switch (result.status) {
    case CdfSearchStatus::kFound:
      *status = 0;
      *answer = result.x;
      return;
    case CdfSearchStatus::kBelowSmall:
      *status = 1;
      *bound = small;
      *answer = small;
      return;
    case CdfSearchStatus::kAboveBig:
      *status = 2;
      *bound = big;
      *answer = big;
      return;
    default:
      *status = 10;
      *answer = result.x;
      return;
  }
}

void cdfRefine(double direct, double* answer) {
  // The search's final bracket is at most max(1e-50, 1e-8 |x|) wide and holds the root; a
  // more accurate direct inverse must fall within it.
  const CdfSearchLimits limits;
  const double width = std::max(limits.absTolerance, limits.relTolerance * std::fabs(*answer));
  if (std::isfinite(direct) && std::fabs(direct - *answer) <= width) *answer = direct;
}

void cdfPolish(const std::function<CdfTails(double)>& tails, double p, double q, double* answer) {
  // Secant steps on g(x) = log(tail(x) / target) for the smaller tail: on the log scale the
  // far tails are close to linear in x, so two steps take a root good to ~1e-12 down to the
  // accuracy of the tail evaluation. A step is kept only when it reduces |g| and stays
  // within the search tolerance of the start.
  const bool onLower = p <= q;
  const double target = onLower ? p : q;
  const double x0 = *answer;
  if (!(target > 0.0) || x0 == 0.0 || !std::isfinite(x0)) return;
  const auto g = [&](double x) {
    const CdfTails at = tails(x);
    const double tail = onLower ? at.p : at.q;
    return tail > 0.0 ? std::log(tail / target) : std::numeric_limits<double>::quiet_NaN();
  };
  const CdfSearchLimits limits;
  const double width = limits.relTolerance * std::fabs(x0);
  double xa = x0;
  double ga = g(xa);
  double xb = x0 * (1.0 + 1e-7);
  double gb = g(xb);
  for (int stepIdx = 0; stepIdx < 2; ++stepIdx) {
    if (!std::isfinite(ga) || !std::isfinite(gb) || ga == gb || ga == 0.0) return;
    const double xn = xa - ga * (xb - xa) / (gb - ga);
    const double gn = g(xn);
    if (!(std::fabs(xn - x0) <= width) || !(std::fabs(gn) < std::fabs(ga))) return;
    *answer = xn;
    xb = xa;
    gb = ga;
    xa = xn;
    ga = gn;
  }
}
