// QMXProcILM: the statistics of the fit: standard errors, the sequential analysis-of-deviance
// table (R's anova() of an lm fit: one row per term, in model order), its degrees of freedom
// and the coefficient table (parameter-to-predictor matrix) of the model document.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

std::vector<bool> QMXProcILM::aliasedCoefficients() {
  const long p = lls.nCoef();
  std::vector<bool> aliased(static_cast<std::size_t>(p), false);
  const long r = lls.rank(glm_proc::kRankTolerance, true);
  if (r >= p) return aliased;
  const lVector pivot = lls.getPivot(true);
  for (long k = r; k < p; ++k) {
    const long column = static_cast<long>(pivot[static_cast<std::size_t>(k)]) - 1;
    if (column < 0 || column >= p) QMX_ThrowException("Invalid index %d", static_cast<int>(column));
    aliased[static_cast<std::size_t>(column)] = true;
  }
  return aliased;
}

// After the restrictions, row r of the triangular factor is either a data row (an orthogonal
// rotation of the weighted data plus noise-free multiples of restriction rows, so its entry of
// Q'y carries unit-variance noise) or an exact restriction (no noise). The solve is
// beta = R^-1 Q'y, hence Cov(beta) / sigma^2 = sum over the data rows r of
// R^-1[, r] R^-1[, r]': the inverse of R with its restriction columns left out. Without
// restrictions this is (X'WX)^-1; with them it is the covariance of the restricted estimator
// (R's vcov() of the contr.sum fit mapped to every level), also when restrictions share
// coefficients, where the one-restriction-at-a-time variance of DoubleLRLS::getD falls short.
void QMXProcILM::computeCoefCovariance() {
  DoubleMatrix rinv = lls.Rinv(glm_proc::kRankTolerance, true);
  const long p = rinv.getNRow();
  const lVector pivot = lls.getPivot(true);
  for (const std::uint32_t column : lls.rIndex()) {
    for (long r = 0; r < p; ++r) {
      if (static_cast<std::uint32_t>(pivot[static_cast<std::size_t>(r)] - 1) != column) continue;
      std::fill_n(rinv.getPtr(0, r), p, 0.0);
    }
  }
  coefCovariance = rinv.multiply(rinv, TransOp::kArg, true);
}

void QMXProcILM::computeModelStats() {
  const DoubleMatrix scpe = lls.SCPE(true);
  const TMatrix<double> regSS = lls.getRegSS();
  computeCoefCovariance();
  const long nTerms = fit.nTerms();
  const long p = lls.nCoef();
  const long q = lls.nResp();

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

  const std::vector<bool> aliased = aliasedCoefficients();
  const long intercept = fit.intercept() ? 1 : 0;
  df(0, 0) = lls.fitRank() - intercept;
  df(totalRow, 0) = static_cast<long>(lls.getN(true)) - 1;
  df(errorRow, 0) = df(totalRow, 0) - df(0, 0);

  TMatrix<double> stdErr(p, q, coefNames, responseNames());
  for (long j = 0; j < q; ++j) {
    const double devError = scpe(j, j);
    double devRegression = 0.0;
    for (long k = intercept; k < p; ++k)
      devRegression += regSS(k, j);
    deviance(errorRow, j) = devError;
    deviance(0, j) = devRegression;
    deviance(totalRow, j) = devRegression + devError;
    const double sigma =
        df(errorRow, 0) > 0 ? std::sqrt(devError / static_cast<double>(df(errorRow, 0))) : 1.0;
    for (long k = 0; k < p; ++k) {
      stdErr(k, j) = aliased[static_cast<std::size_t>(k)] ? std::numeric_limits<double>::quiet_NaN()
                                                          : std::sqrt(coefCovariance(k, k)) * sigma;
    }
  }

  const TMatrix<long>& table = fit.termsTable();
  for (long t = 0; t < nTerms; ++t) {
    const long first = static_cast<long>(termIndices[static_cast<std::size_t>(t)]);
    const long last = static_cast<long>(termIndices[static_cast<std::size_t>(t + 1)]);
    if (last <= first)
      QMX_ThrowException("Bad range [%d,%d]", static_cast<int>(first), static_cast<int>(last - 1));
    for (long j = 0; j < q; ++j) {
      double sum = 0.0;
      for (long k = first; k < last; ++k)
        sum += regSS(k, j);
      deviance(t + 1, j) = sum;
    }
    long termDf = 1;
    for (long v = 0; v < fit.nVariables(); ++v) {
      if (table(v, t) <= 0) continue;
      const String& name = fit.variable(v);
      if (!fit.isFactor(name.c_str())) continue;
      termDf *= fit.factorInfo(name.c_str()).length() - restrictFlags[static_cast<std::size_t>(v)];
    }
    for (long k = first; k < last; ++k)
      if (aliased[static_cast<std::size_t>(k)]) --termDf;
    df(t + 1, 0) = termDf;
  }

  fit.setMissing(static_cast<long>(acc.rowsMissing()));
  fit.setStdErr(stdErr);
  fit.setDeviance(deviance);
  fit.setDf(df);
  computeCoefTable();
  computeCorrelations();
  computeImportance();
}

// One row per coefficient, one column per model variable: a covariate's cells in its terms
// hold its power, a factor's cells the 1-based level the coefficient stands for (the position
// inside the term decomposed through the level counts of the term's later factors).
void QMXProcILM::computeCoefTable() {
  const long p = static_cast<long>(coefNames.size());
  const long nVariables = fit.nVariables();
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
