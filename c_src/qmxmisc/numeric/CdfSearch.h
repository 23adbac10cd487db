// The bracketing root search behind the inverses of the distribution functions: DCDFLIB's
// published method (the stepping search of its routine "dinvr", then the Bus & Dekker zero
// finder of its routine "dzror", ACM TOMS 1 (1975) 330-345, "Algorithm M").
//
// The search finds x in [small, big] with f(x) = 0 for a monotone f. It starts at a given x,
// steps away from it by max(absStep, relStep * |x|), multiplying the step by stepMultiplier
// until the sign of f changes or a limit is hit, and then narrows the bracket until its
// width is at most max(absTolerance, relTolerance * |x|).
#pragma once

#include <functional>

// Search constants; the defaults are those every distribution function uses.
struct CdfSearchLimits {
  double small = 0.0;
  double big = 1e100;
  double absStep = 0.5;
  double relStep = 0.5;
  double stepMultiplier = 5.0;
  double absTolerance = 1e-50;
  double relTolerance = 1e-8;
};

enum class CdfSearchStatus {
  kFound,             // x is the root to the tolerance
  kBelowSmall,        // the root lies below small
  kAboveBig,          // the root lies above big
  kEvaluationFailed,  // the function reported a failed evaluation
  kNotMonotone,       // the start lies outside [small, big]
  kNoConvergence,     // the zero finder ended without a sign change (non-monotone f)
};

struct CdfSearchResult {
  CdfSearchStatus status = CdfSearchStatus::kFound;
  double x = 0.0;  // the root when found; otherwise the last point evaluated
};

// f(x, &fx) stores f at x and returns false when the evaluation failed.
using CdfSearchFunction = std::function<bool(double, double*)>;

// The stepping search from start over [limits.small, limits.big], then the zero finder.
CdfSearchResult cdfSearch(const CdfSearchFunction& f, double start, const CdfSearchLimits& limits);

// The Bus & Dekker zero finder alone on [xlo, xhi]; f must change sign over the interval,
// else the result is kNoConvergence.
CdfSearchResult cdfZeroIn(const CdfSearchFunction& f, double xlo, double xhi, double absTolerance,
                          double relTolerance);

// The fixed text of a search failure ("" for kFound).
const char* cdfSearchMessage(CdfSearchStatus status);
