// Cumulative distribution functions in DCDFLIB's calling style: every argument by pointer;
// `which` selects the argument to compute from the others; `status` and `bound` report the
// outcome. Nothing is thrown.
//
// p is the lower-tail probability P(X <= x) and q = 1 - p the upper tail. which = 1 computes
// both; otherwise both are inputs and must sum to 1 within 3 machine epsilons.
//
// status:
//   0    success.
//   -k   the k-th argument is out of range; bound is the nearer violated limit
//        (which: 1 or its largest value; p, q: 0 or 1; x, t, f: 0; parameters: 0).
//   1    the answer lies below the search interval; bound is its lower end.
//   2    the answer lies above the search interval; bound is its upper end.
//   3    |p + q - 1| > 3 eps; bound is 0 when p + q < 1, else 1.
//   10   a distribution evaluation failed (its p + q was above 1.5 or not a number), or the
//        search itself failed; bound is 0.
//
// The sought argument(s) (p and q for which = 1) are set on every call: the answer on status
// 0; where a nonzero status still has R's answer, that answer (-inf for the quantile at p = 0
// of the normal and t distributions, status -2; +inf at q = 0, status -3; +-inf for a
// quantile beyond the largest double, status 2 or 1); for a parameter beyond its search
// interval (status 1 or 2) the end of the interval, as DCDFLIB; NaN otherwise. cdfRValue
// turns a call's status and answer into R's value.
//
// Quantiles (which = 2; the normal's in closed form) are searched on log(x) over every
// positive double (both signs for t, solved for |t| on the smaller tail; t = 0 exactly at
// p = q) from the direct inverse of the incomplete gamma or beta function, to 1e-9 relative,
// then replaced by that inverse when it lies within 1e-8 relative and polished: about 1e-13
// relative. p = 0 gives 0 for chisq, F and gamma (status 0), as does a quantile below the
// smallest positive double; one above the largest double gives +inf with status 2 and bound
// DBL_MAX (t: -inf, status 1, bound -DBL_MAX below). Parameters (which >= 3) use the
// bracketing search of CdfSearch.h: start 5.0, interval [1e-100, 1e100] for a
// degrees-of-freedom, shape or scale parameter, absolute tolerance 1e-50 and relative
// tolerance 1e-8, solved on the smaller of p and q: about 1e-8 relative.
//
// Probabilities (which = 1) come from the incomplete gamma and beta functions and the
// complementary error function, computing the upper tail directly, so both tails keep full
// relative accuracy far out (about 1e-13 relative), for every x including 0 and +-inf, and
// for infinite degrees of freedom (t: the normal; chisq: p = 0; F: the chi-square limits).
#pragma once

// Normal distribution with the given mean and standard deviation sd.
// which: 1 p,q from x,mean,sd; 2 x; 3 mean; 4 sd.
void cdfnor(int* which, double* p, double* q, double* x, double* mean, double* sd, int* status,
            double* bound);

// Student's t distribution with df degrees of freedom. which: 1 p,q from t,df; 2 t; 3 df.
void cdft(int* which, double* p, double* q, double* t, double* df, int* status, double* bound);

// Chi-square distribution with df degrees of freedom. which: 1 p,q from x,df; 2 x; 3 df.
void cdfchi(int* which, double* p, double* q, double* x, double* df, int* status, double* bound);

// F distribution with dfn and dfd degrees of freedom. which: 1 p,q; 2 f; 3 dfn; 4 dfd.
void cdff(int* which, double* p, double* q, double* f, double* dfn, double* dfd, int* status,
          double* bound);

// Gamma distribution with density scale^shape / Gamma(shape) * x^(shape-1) * exp(-scale*x),
// as in DCDFLIB: the argument named scale multiplies x (it is the rate; a chi-square with
// n degrees of freedom is shape n/2, scale 0.5). which: 1 p,q; 2 x; 3 shape; 4 scale.
void cdfgam(int* which, double* p, double* q, double* x, double* shape, double* scale, int* status,
            double* bound);

// R's value from a call's status and sought argument: the argument when status is 0 or when
// it holds an infinite edge answer (see above), else NaN (as R's quantile and probability
// functions give for arguments out of range).
double cdfRValue(int status, double value);
