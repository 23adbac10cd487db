// QMXProcIGLM: the statistics of the accepted coefficients (R's summary.glm) and the closing
// messages.
#include <cmath>
#include <limits>
#include <vector>

#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

// The covariance is that of the last solve's factor (the weights of the previous
// coefficients), scaled by the dispersion; the deviance table holds the regression, error
// (residual deviance) and null rows.
void QMXProcIGLM::computeModelStats() {
  computeCoefCovariance();
  const long p = lls.nCoef();
  const long q = lls.nResp();
  const std::vector<bool> aliased = aliasedCoefficients();
  const long rows = static_cast<long>(lls.getN(true));
  const long rank = lls.fitRank();
  const long dfResidual = rows - rank;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  TMatrix<double> stdErr(p, q, coefNames, responseNames());
  for (long j = 0; j < q; ++j) {
    double scale = 1.0;
    if (!glm_proc::fixedDispersion(family())) {
      const std::size_t col = static_cast<std::size_t>(j);
      scale = dfResidual > 0 && col < sums.pearson.size()
                  ? sums.pearson[col] / static_cast<double>(dfResidual)
                  : nan;
    }
    if (j == 0) dispersion = scale;
    for (long k = 0; k < p; ++k)
      stdErr(k, j) =
          aliased[static_cast<std::size_t>(k)] ? nan : std::sqrt(coefCovariance(k, k) * scale);
  }
  aic = glmAic(family(), sums, rank);
  // The null row keeps rows - 1 degrees of freedom (the rows used are read back from it).
  fit.setDf(rows - 1, dfResidual);
  fit.setDeviance(deviance, nullDeviance);
  fit.setMissing(static_cast<long>(rowsMissing));
  fit.setStdErr(stdErr);
  fit.setAliased(aliased);
  // An intercept-only model has no variables and no terms: no coefficient table, no
  // importance.
  if (fit.nVariables() > 0) computeCoefTable();
  computeCorrelations();
  if (fit.nTerms() > 0) computeImportance();
  computeCodedCoefficients();
  // R's logLik.glm: rank parameters, one more for the families with a dispersion.
  const GLMFamily::Distribution dist = family().distType();
  const bool scaled = dist == GLMFamily::Distribution::Gaussian ||
                      dist == GLMFamily::Distribution::Gamma ||
                      dist == GLMFamily::Distribution::InvGaussian;
  aicValue = aic;
  logLikelihood = static_cast<double>(rank + (scaled ? 1 : 0)) - aic / 2;
}

void QMXProcIGLM::closingMessage() {
  if (converged) {
    addInformation(glm_proc::format("converged in %d iterations with relative change in "
                                    "deviance of %10.3e",
                                    static_cast<int>(iterations), delDeviance)
                       .c_str());
  } else {
    addWarning("algorithm did not converge");
  }
  if (boundary) addWarning("algorithm stopped at boundary value");
  if (!fittedWarning.empty()) addWarning(fittedWarning.c_str());
}
