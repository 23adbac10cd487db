// QMXProcILM: the coefficient correlations reported above a threshold and the per-term
// importance (the unscaled Wald statistic b' V_T^-1 b of the term's coefficients, as in a
// Wald test of the term with the unscaled covariance (X'WX)^-1).
#include <cmath>
#include <limits>
#include <vector>

#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

namespace {

// True when the two coefficient-table rows share a variable (both entries positive), or
// when the table cannot tell (rows out of range).
bool shareVariable(const TMatrix<long>& coefTable, long i, long j) {
  if (i >= coefTable.getNRow() || j >= coefTable.getNRow()) return true;
  for (long v = 0; v < coefTable.getNCol(); ++v)
    if (coefTable(i, v) > 0 && coefTable(j, v) > 0) return true;
  return false;
}

}  // namespace

void QMXProcILM::computeCorrelations() {
  const DoubleMatrix& v = coefCovariance;
  const long p = v.getNRow();
  if (p <= 1 || p != fit.nCoefficients()) return;
  std::vector<double> s(static_cast<std::size_t>(p));
  for (long i = 0; i < p; ++i)
    s[static_cast<std::size_t>(i)] = std::sqrt(v(i, i));
  const long firstIdx = fit.intercept() && !corrWithIntercept ? 1 : 0;
  const TMatrix<long>& coefTable = fit.coefTable();
  const strVector& names = fit.coefficients().getRowNames();
  strVector labels;
  dVector values;
  for (long i = firstIdx; i < p; ++i) {
    if (s[static_cast<std::size_t>(i)] == 0.0) continue;
    for (long j = i + 1; j < p; ++j) {
      if (s[static_cast<std::size_t>(j)] == 0.0) continue;
      if (shareVariable(coefTable, i, j)) continue;
      const double c = v(i, j) / s[static_cast<std::size_t>(i)] / s[static_cast<std::size_t>(j)];
      if (std::fabs(c) < absCorrThreshold) continue;
      const String first = static_cast<std::size_t>(i) < names.size() ? names[i] : String();
      const String second = static_cast<std::size_t>(j) < names.size() ? names[j] : String();
      labels.push_back(String(first.str() + " and " + second.str()));
      values.push_back(c);
    }
  }
  fit.setCorrelations(absCorrThreshold, labels, values);
}

// The Wald statistic of a term uses its kept columns in R's parametrisation: gamma_T' V_T^-1
// gamma_T with V = (R_k' R_k)^-1, df the number of those columns (the term's rank).
void QMXProcILM::computeImportance() {
  const DoubleMatrix rinv = gammaQR.rinv();
  const DoubleMatrix v = rinv.multiply(rinv, TransOp::kArg, true);
  const std::vector<bool> aliased = gammaQR.aliased();
  const long nTerms = fit.nTerms();
  const long q = gamma.getNCol();
  if (nTerms == 0) {  // the intercept alone: no term to test
    fit.setWaldStat(TMatrix<double>(), TMatrix<long>());
    return;
  }
  strVector terms;
  for (long t = 0; t < nTerms; ++t)
    terms.push_back(fit.term(t));
  TMatrix<double> stat(nTerms, q, terms, responseNames());
  TMatrix<long> statDf(nTerms, terms);
  for (long t = 0; t < nTerms; ++t) {
    Index used;
    for (std::size_t k = 0; k < gammaTerm.size(); ++k)
      if (gammaTerm[k] == t && !aliased[k]) used.push_back(static_cast<std::uint32_t>(k));
    statDf(t, 0) = static_cast<long>(used.size());
    Index columns;
    for (long j = 0; j < q; ++j) {
      if (used.empty()) {
        stat(t, j) = std::numeric_limits<double>::quiet_NaN();
        continue;
      }
      columns.assign(1, static_cast<std::uint32_t>(j));
      const DoubleMatrix b = gamma.getSub(used, columns);
      const DoubleMatrix vt = v.getSub(used, used);
      const DoubleMatrix x = vt.solve(b, glm_proc::kRankTolerance, true);
      stat(t, j) = b.crossprod(x, true)(0, 0);
    }
  }
  fit.setWaldStat(stat, statDf);
}
