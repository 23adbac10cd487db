// GLMIrlsPass: the per-row work of one pass of the iteratively reweighted least-squares fit
// (R's glm.fit) and the sums the pass gathers. A pass evaluates one candidate: its linear
// predictor eta gives mu = linkinv(eta), and every row
//   - becomes a working response z = eta + (y - mu)/mu.eta(eta) and a working weight
//     pw mu.eta(eta)^2 / V(mu) for the next weighted least-squares solve,
//   - adds pw d(y, mu) to the deviance and says whether eta and mu lie in the family's domain
//     (R's valideta and validmu),
//   - adds w_solve ((y - mu)/mu.eta(eta))^2 to the Pearson sum, where w_solve is the working
//     weight at the linear predictor of the solve that produced the candidate (R's
//     summary.glm: the weights of the last iteration times its working residuals squared),
//   - adds its share of R's family$aic at mu (first response only),
//   - gives its deviance residual sign(y - mu) sqrt(pw d(y, mu)) to the residual quantiles,
//     when asked (first response only).
// Kernels only: no I/O, no properties.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMResidualQuantiles.h"
#include "qmxmisc/numeric/TMatrix.h"

struct GLMPassSums {
  double deviance = 0.0;
  std::vector<double> pearson;  // per response
  bool validEta = true;
  bool validMu = true;
  // R's family$aic at mu, first response: rows, sum w, sum log w, sum w log y, sum w log mu,
  // sum w y/mu, and the binomial or Poisson log likelihood sum(w log f(y; mu)).
  double rows = 0.0, weightSum = 0.0, sumLogW = 0.0, sumWLogY = 0.0, sumWLogMu = 0.0,
         sumWYOverMu = 0.0, logLik = 0.0;
  // Rows whose mean is within 10 eps of 0 or 1 (binomial) or of 0 (Poisson): R's glm.fit
  // warns "fitted probabilities numerically 0 or 1 occurred" / "fitted rates numerically 0".
  long boundaryMu = 0;

  bool valid() const { return validEta && validMu; }
};

// eta of R's starting values: linkfun(family.startMean(y, pw)), element by element (pw: n x 1
// prior weights, or empty for weight 1).
TMatrix<double> glmStartEta(const GLMFamily& family, const TMatrix<double>& y,
                            const TMatrix<double>& pw);

// One chunk of a pass. y (n x q) holds the responses and becomes the working responses; w
// (n x 1) holds the prior weights and becomes the working weights (of the last response);
// eta (n x q) is the candidate's linear predictor, solveEta that of the last solve's weights
// (empty: no Pearson sum); `residuals`, when not null, receives the rows' deviance residuals.
void glmIrlsChunk(const GLMFamily& family, const TMatrix<double>& eta,
                  const TMatrix<double>& solveEta, TMatrix<double>& y, TMatrix<double>& w,
                  GLMPassSums& sums, GLMResidualQuantiles* residuals = nullptr);

// R's deviance residual of one row: sign(y - mu) sqrt(max(pw d(y, mu), 0)), from the row's
// share of the deviance.
inline double glmDevianceResidual(double y, double mu, double weightedDeviance) {
  const double d = std::sqrt(std::max(weightedDeviance, 0.0));
  return y > mu ? d : -d;
}

// R's aic of the fitted model from the sums at the final mu, its deviance and the rank
// (family$aic + 2 rank); NaN for the quasi family.
double glmAic(const GLMFamily& family, const GLMPassSums& sums, long rank);
