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
// Inverses (which >= 2, except the normal distribution, which has closed forms) use the
// bracketing search of CdfSearch.h: start 5.0, interval [0, 1e100] for a quantile
// ([-1e100, 1e100] for t), [1e-100, 1e100] for a degrees-of-freedom, shape or scale
// parameter, absolute tolerance 1e-50 and relative tolerance 1e-8, solved on the smaller of
// p and q. Parameters (which >= 3) are therefore accurate to about 1e-8 relative. Quantiles
// (which = 2) are then refined by the direct inverse of the incomplete gamma or beta
// function, accepted only inside the search's final bracket: about 1e-13 relative.
//
// Probabilities (which = 1) come from the incomplete gamma and beta functions and the
// complementary error function, computing the upper tail directly, so both tails keep full
// relative accuracy far out (about 1e-13 relative).
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
