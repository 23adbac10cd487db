#include "qmxmisc/numeric/CdfSearch.h"

#include <algorithm>
#include <cmath>

namespace {

// Zero finder iterations are bounded well above what the method needs (it converges in at
// most about four times the bisection count, ~700 steps from 1e100 down to 1e-50).
constexpr int kMaxZeroSteps = 3000;

// Half the allowed bracket width at x.
double halfTolerance(double x, double absTolerance, double relTolerance) {
  return 0.5 * std::max(absTolerance, relTolerance * std::fabs(x));
}

// One Bus & Dekker step from the current b towards the zero: secant or inverse quadratic
// interpolation through a, b (and d), pushed to at least tol, bisection after repeated
// poor interpolation steps (ext counts them).
double zeroStep(double a, double fa, double b, double fb, double d, double fd, bool first, int ext,
                double tol, double mb) {
  if (ext > 3) return mb;
  const double signedTol = std::copysign(tol, mb);
  double p = (b - a) * fb;
  double q = 0.0;
  if (first) {
    q = fa - fb;
  } else {
    const double fdb = (fd - fb) / (d - b);
    const double fda = (fd - fa) / (d - a);
    p = fda * p;
    q = fdb * fa - fda * fb;
  }
  if (p < 0.0) {
    p = -p;
    q = -q;
  }
  if (ext == 3) p *= 2.0;
  if (p == 0.0 || p <= q * signedTol) return signedTol;
  if (p < mb * q) return p / q;
  return mb;
}

// The published test fc * fb >= 0, written without the product, which underflows to 0 for
// the tiny function values of far tails.
bool sameSideOrZero(double u, double v) {
  return u == 0.0 || v == 0.0 || (u > 0.0) == (v > 0.0);
}

}  // namespace

CdfSearchResult cdfZeroIn(const CdfSearchFunction& f, double xlo, double xhi, double absTolerance,
                          double relTolerance) {
  double b = xlo;
  double fb = 0.0;
  if (!f(b, &fb)) return {CdfSearchStatus::kEvaluationFailed, b};
  double a = xhi;
  double fa = 0.0;
  if (!f(a, &fa)) return {CdfSearchStatus::kEvaluationFailed, a};
  if ((fb < 0.0 && fa < 0.0) || (fb > 0.0 && fa > 0.0)) {
    return {CdfSearchStatus::kNoConvergence, b};
  }
  // c is the far end of the bracket [b, c]; b is the best estimate; a the previous b;
  // d the one before (for inverse quadratic interpolation).
  double c = a;
  double fc = fa;
  double d = a;
  double fd = fa;
  bool first = true;
  int ext = 0;
  for (int stepIdx = 0; stepIdx < kMaxZeroSteps; ++stepIdx) {
    if (std::fabs(fc) < std::fabs(fb)) {
      if (c != a) {
        d = a;
        fd = fa;
      }
      a = b;
      fa = fb;
      b = c;
      fb = fc;
      c = a;
      fc = fa;
    }
    const double tol = halfTolerance(b, absTolerance, relTolerance);
    const double mb = 0.5 * (c + b) - b;
    if (!(std::fabs(mb) > tol)) {
      const bool signChange = (fc >= 0.0 && fb <= 0.0) || (fc < 0.0 && fb >= 0.0);
      return {signChange ? CdfSearchStatus::kFound : CdfSearchStatus::kNoConvergence, b};
    }
    const double w = zeroStep(a, fa, b, fb, d, fd, first, ext, tol, mb);
    first = false;
    d = a;
    fd = fa;
    a = b;
    fa = fb;
    b += w;
    if (!f(b, &fb)) return {CdfSearchStatus::kEvaluationFailed, b};
    if (sameSideOrZero(fc, fb)) {
      // The new point is on c's side: the bracket becomes [b, a].
      c = a;
      fc = fa;
      ext = 0;
    } else {
      ext = (w == mb) ? 0 : ext + 1;
    }
  }
  return {CdfSearchStatus::kNoConvergence, b};
}

CdfSearchResult cdfSearch(const CdfSearchFunction& f, double start, const CdfSearchLimits& limits) {
  const double small = limits.small;
  const double big = limits.big;
  if (!(small <= start && start <= big)) return {CdfSearchStatus::kNotMonotone, start};

  // The values at both ends tell the direction of f and whether the root is inside.
  double fSmall = 0.0;
  double fBig = 0.0;
  if (!f(small, &fSmall)) return {CdfSearchStatus::kEvaluationFailed, small};
  if (!f(big, &fBig)) return {CdfSearchStatus::kEvaluationFailed, big};
  const bool increasing = fBig > fSmall;
  if (increasing ? fSmall > 0.0 : fSmall < 0.0) return {CdfSearchStatus::kBelowSmall, small};
  if (increasing ? fBig < 0.0 : fBig > 0.0) return {CdfSearchStatus::kAboveBig, big};

  double fx = 0.0;
  if (!f(start, &fx)) return {CdfSearchStatus::kEvaluationFailed, start};
  if (fx == 0.0) return {CdfSearchStatus::kFound, start};
  double step = std::max(limits.absStep, limits.relStep * std::fabs(start));
  const bool goUp = increasing ? fx < 0.0 : fx > 0.0;
  double xlo = start;
  double xhi = start;
  if (goUp) {
    xhi = std::min(xlo + step, big);
    for (;;) {
      if (!f(xhi, &fx)) return {CdfSearchStatus::kEvaluationFailed, xhi};
      const bool bracketed = increasing ? fx >= 0.0 : fx <= 0.0;
      if (bracketed) break;
      if (xhi >= big) return {CdfSearchStatus::kAboveBig, big};
      step *= limits.stepMultiplier;
      xlo = xhi;
      xhi = std::min(xlo + step, big);
    }
  } else {
    xlo = std::max(xhi - step, small);
    for (;;) {
      if (!f(xlo, &fx)) return {CdfSearchStatus::kEvaluationFailed, xlo};
      const bool bracketed = increasing ? fx <= 0.0 : fx >= 0.0;
      if (bracketed) break;
      if (xlo <= small) return {CdfSearchStatus::kBelowSmall, small};
      step *= limits.stepMultiplier;
      xhi = xlo;
      xlo = std::max(xhi - step, small);
    }
  }
  return cdfZeroIn(f, xlo, xhi, limits.absTolerance, limits.relTolerance);
}

const char* cdfSearchMessage(CdfSearchStatus status) {
  switch (status) {
    case CdfSearchStatus::kFound:
      return "";
    case CdfSearchStatus::kBelowSmall:
      return "the answer lies below the lower search limit";
    case CdfSearchStatus::kAboveBig:
      return "the answer lies above the upper search limit";
    case CdfSearchStatus::kEvaluationFailed:
      return "the distribution function could not be evaluated";
    case CdfSearchStatus::kNotMonotone:
      return "SMALL, X, BIG not monotone in INVR";
    case CdfSearchStatus::kNoConvergence:
      return "the zero finder found no sign change";
  }
  return "";
}
