// Helpers shared by the distribution functions of Cdf.h: the argument checks, the tail
// evaluators and the driver of the inverse search.
#pragma once

#include <boost/math/policies/policy.hpp>

#include <functional>
#include <initializer_list>

// Boost.Math evaluation policy: report domain, pole, overflow and evaluation failures as
// NaN or infinity instead of throwing, so the callers' status codes carry them.
using CdfPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::rounding_error<boost::math::policies::ignore_error>>;

// Both tails of a distribution at one point.
struct CdfTails {
  double p;
  double q;
};

// Tail evaluators (x is the point; the remaining arguments the parameters). They never
// throw: a failure gives NaN tails.
CdfTails normalTails(double z);
CdfTails studentTails(double t, double df);
CdfTails chiSquareTails(double x, double df);
CdfTails fisherTails(double f, double dfn, double dfd);
CdfTails gammaTails(double x, double shape, double rate);

// Argument checks. Each returns true when the argument is acceptable, else sets status and
// bound and returns false.
bool cdfCheckWhich(int which, int last, int* status, double* bound);
// p at position 2 and q at position 3; pOpenAtZero rejects p = 0 (quantiles unbounded below).
bool cdfCheckProbabilities(int which, double p, double q, bool pOpenAtZero, int* status,
                           double* bound);
// value < 0 gives status -position with bound 0.
bool cdfCheckNonNegative(double value, int position, int* status, double* bound);
// value <= 0 gives status -position with bound 0.
bool cdfCheckPositive(double value, int position, int* status, double* bound);
// |p + q - 1| > 3 eps gives status 3 with bound 0 (p + q < 1) or 1.
bool cdfCheckSum(double p, double q, int* status, double* bound);

// Sets the argument(s) a call seeks to NaN (p and q for which = 1, else argument which + 1 of
// args = {p, q, x, par1, par2}), so a call that ends without an answer leaves none behind.
void cdfClearSought(int which, std::initializer_list<double*> args);
// The quantile R gives where the probability check rejects p = 0 or q = 0 (valid other
// arguments): -inf at p = 0 on the whole line, +inf at q = 0; NaN otherwise.
double cdfEdgeQuantile(double p, double q, bool wholeLine);

// Status 10 guard of every evaluation: true when the tails look like probabilities.
bool cdfTailsValid(const CdfTails& tails);

// Solves tails(x) = (p, q) for x over [small, big] with the bracketing search, on the smaller
// of p and q; sets *answer, *status (0, 1, 2 or 10) and *bound.
void cdfInvert(const std::function<CdfTails(double)>& tails, double p, double q, double small,
               double big, double* answer, int* status, double* bound);

// Solves tails(x) = (p, q) for a quantile x >= 0 (CdfQuantile.cpp): the bracketing search on
// log(x) over the positive doubles, started at `direct` (the direct inverse) when that is a
// positive double, then cdfRefine(direct) and cdfPolish. p = 0 and roots below the smallest
// positive double give 0; roots above the largest give status 2, bound DBL_MAX and +inf;
// failed evaluations status 10 and NaN.
void cdfQuantile(const std::function<CdfTails(double)>& tails, double p, double q, double direct,
                 double* x, int* status, double* bound);

// Replaces a found root by a direct inverse when that lies within the search tolerance of it.
void cdfRefine(double direct, double* answer);

// Refines a found quantile by secant steps on the log of the smaller tail (see the
// definition); the answer moves by at most the search tolerance.
void cdfPolish(const std::function<CdfTails(double)>& tails, double p, double q, double* answer);

// Search limits of the distribution functions.
inline constexpr double kCdfInfinity = 1e100;
inline constexpr double kCdfParameterSmall = 1e-100;
