// QMXProcILM: the statistics of the fit: standard errors, the sequential analysis-of-deviance
// table (R's anova() of an lm fit: one row per term, in model order), its degrees of freedom
// and the coefficient table (parameter-to-predictor matrix) of the model document.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

std::vector<bool> QMXProcILM::aliasedCoefficients() {
  const long p = contrasts.getNRow();
  std::vector<bool> aliased(static_cast<std::size_t>(p), false);
  const std::vector<bool> gammaAliased = gammaQR.aliased();
  for (long j = 0; j < contrasts.getNCol(); ++j) {
    if (!gammaAliased[static_cast<std::size_t>(j)]) continue;
    for (long k = 0; k < p; ++k)
      if (contrasts(k, j) != 0.0) aliased[static_cast<std::size_t>(k)] = true;
  }
  return aliased;
}

// Cov(gamma) / sigma^2 = (R_k' R_k)^-1 = Rinv Rinv' over the kept columns of R C (zero rows and
// columns for the aliased ones), and beta = C gamma.
void QMXProcILM::computeCoefCovariance() {
  const DoubleMatrix rinv = contrasts.multiply(gammaQR.rinv(), TransOp::kNone, true);
  coefCovariance = rinv.multiply(rinv, TransOp::kArg, true);
}

// The deviance table from the effects of R's parametrisation: a term's sequential sum of
// squares is the sum of its kept columns' squared effects (R's anova.lm), its df their count;
// the residual is the fold's residual cross-product plus the squared effects past the rank;
// Regression is the sum over the terms (about the mean with an intercept, about zero without,
// as R's summary.lm) and Total = Regression + Error.
void QMXProcILM::computeModelStats() {
  computeCoefCovariance();
  const long nTerms = fit.nTerms();
  const long p = lls.nCoef();
  const long q = lls.nResp();
  const long rank = gammaQR.rank();
  const std::vector<long>& pivot = gammaQR.pivot();
  const DoubleMatrix& foldResidual = lls.foldResidual();

  strVector sources;
  sources.push_back(String("Regression"));
  for (long t = 0; t < nTerms; ++t)
    sources.push_back(fit.term(t));
  sources.push_back(String("Error"));
  sources.push_back(String("Total"));
  const long nSources = nTerms + 3;
  const long errorRow = nTerms + 1;
  const long totalRow = nTerms + 2;
  TMatrix<double> deviance(nSources, q, sources, responseNames());
  TMatrix<long> df(nSources, 1L);
  df.setRowNames(sources);

  long interceptKept = 0;
  for (long position = 0; position < rank; ++position) {
    const long term = gammaTerm[static_cast<std::size_t>(pivot[position])];
    if (term < 0) {
      ++interceptKept;
      continue;
    }
    df(term + 1, 0) += 1;
    df(0, 0) += 1;
    for (long j = 0; j < q; ++j) {
      const double square = effects(position, j) * effects(position, j);
      deviance(term + 1, j) += square;
      deviance(0, j) += square;
    }
  }
  df(errorRow, 0) = static_cast<long>(lls.getNPositive()) - rank;
  df(totalRow, 0) = static_cast<long>(lls.getN(true)) - 1;

  const std::vector<bool> aliased = aliasedCoefficients();
  TMatrix<double> stdErr(p, q, coefNames, responseNames());
  for (long j = 0; j < q; ++j) {
    double devError = foldResidual.getNRow() > j ? foldResidual(j, j) : 0.0;
    for (long position = rank; position < effects.getNRow(); ++position)
      devError += effects(position, j) * effects(position, j);
    deviance(errorRow, j) = devError;
    deviance(totalRow, j) = deviance(0, j) + devError;
    // No residual degrees of freedom: sigma does not exist (NaN), as in R.
    const double sigma = df(errorRow, 0) > 0
                             ? std::sqrt(devError / static_cast<double>(df(errorRow, 0)))
                             : std::numeric_limits<double>::quiet_NaN();
    for (long k = 0; k < p; ++k) {
      stdErr(k, j) = aliased[static_cast<std::size_t>(k)] ? std::numeric_limits<double>::quiet_NaN()
                                                          : std::sqrt(coefCovariance(k, k)) * sigma;
    }
  }
  (void)interceptKept;

  fit.setMissing(static_cast<long>(acc.rowsMissing()));
  fit.setStdErr(stdErr);
  fit.setAliased(aliased);
  fit.setDeviance(deviance);
  fit.setDf(df);
  computeCoefTable();
  computeCorrelations();
  computeImportance();
  computeCodedCoefficients();
  // R's logLik.lm over the rows of positive weight, with rank + 1 parameters.
  const double n = static_cast<double>(lls.getNPositive());
  const double rss = deviance(errorRow, 0);
  logLikelihood = n > 0 && rss > 0
                      ? 0.5 * (acc.sumLogWeights() - n * (std::log(2 * std::numbers::pi) + 1 -
                                                          std::log(n) + std::log(rss)))
                      : std::numeric_limits<double>::quiet_NaN();
  aicValue = -2 * logLikelihood + 2 * static_cast<double>(rank + 1);
}

// One row per coefficient, one column per model variable: a covariate's cells in its terms
// hold its power, a factor's cells the 1-based level the coefficient stands for (the position
// inside the term decomposed through the level counts of the term's later factors).
void QMXProcILM::computeCoefTable() {
  const long p = static_cast<long>(coefNames.size());
  const long nVariables = fit.nVariables();
  if (nVariables == 0) {  // the intercept alone: no predictor
    fit.setCoefTable(TMatrix<long>());
    return;
  }
  strVector variables;
  for (long v = 0; v < nVariables; ++v)
    variables.push_back(fit.variable(v));
  TMatrix<long> coefTable(p, nVariables, coefNames, variables);
  const TMatrix<long>& table = fit.termsTable();
  for (long t = 0; t < fit.nTerms(); ++t) {
    const long first = static_cast<long>(termIndices[static_cast<std::size_t>(t)]);
    const long last = static_cast<long>(termIndices[static_cast<std::size_t>(t + 1)]);
    if (last > p)
      QMX_ThrowException("Zero based row index %d exceeds the number of rows %d",
                         static_cast<int>(last - 1), static_cast<int>(p));
    for (long v = 0; v < nVariables; ++v) {
      const long entry = table(v, t);
      if (entry <= 0) continue;
      const String& name = fit.variable(v);
      if (name.empty()) QMX_ThrowException("Bad categorical variable name");
      if (!fit.isFactor(name.c_str())) {
        for (long k = first; k < last; ++k)
          coefTable(k, v) = entry;
        continue;
      }
      const long levels = fit.factorInfo(name.c_str()).length();
      if (levels < 1) continue;
      long stride = 1;
      for (long u = v + 1; u < nVariables; ++u) {
        if (table(u, t) <= 0) continue;
        const String& later = fit.variable(u);
        if (fit.isFactor(later.c_str())) stride *= fit.factorInfo(later.c_str()).length();
      }
      for (long k = first; k < last; ++k)
        coefTable(k, v) = ((k - first) / stride) % levels + 1;
    }
  }
  fit.setCoefTable(coefTable);
}
