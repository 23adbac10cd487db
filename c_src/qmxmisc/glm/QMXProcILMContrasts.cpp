// QMXProcILM: the parametrisation R's lm() fits. The model matrix holds one indicator column
// per level of every factor in a term (the cells of the term, its last factor varying
// fastest); R codes a factor in a term by contr.sum when the term without that factor is
// empty or contained in an earlier term, and by indicators otherwise (its TermCode rule; with
// no intercept the first factor of the first term holding one gets indicators). The matrix C
// (cells x R's columns) maps R's coefficients gamma to one value per cell, beta = C gamma, so
// that the least-squares fit on X C is R's fit: the same aliased columns (in R's column
// order, the first factor varying fastest), the same effects and sequential sums of squares,
// also with empty cells. Every cell of a contr.sum factor is a coefficient of the fit: the
// level contr.sum leaves out is minus the sum of the others.
#include <algorithm>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"

namespace {

// contr.sum(levels) when `sum`, else the identity of the levels (row-major cells x columns).
std::vector<std::vector<double>> coding(long levels, bool sum) {
  const long columns = sum && levels > 1 ? levels - 1 : levels;
  std::vector<std::vector<double>> m(static_cast<std::size_t>(levels),
                                     std::vector<double>(static_cast<std::size_t>(columns), 0.0));
  for (long i = 0; i < levels; ++i)
    for (long j = 0; j < columns; ++j)
      m[i][j] = i == j ? 1.0 : (i == levels - 1 && columns < levels ? -1.0 : 0.0);
  return m;
}

}  // namespace

// True when the variables of term t other than v are none, or all in one earlier term.
bool QMXProcILM::codedByContrasts(long t, long v) const {
  const TMatrix<long>& table = fit.termsTable();
  const long nVariables = fit.nVariables();
  const auto inTerm = [&](long u, long term) { return table(u, term) > 0; };
  bool others = false;
  for (long u = 0; u < nVariables; ++u)
    others = others || (u != v && inTerm(u, t));
  if (!others) return true;
  for (long earlier = 0; earlier < t; ++earlier) {
    bool contained = true;
    for (long u = 0; u < nVariables && contained; ++u)
      if (u != v && inTerm(u, t) && !inTerm(u, earlier)) contained = false;
    if (contained) return true;
  }
  return false;
}

void QMXProcILM::buildContrasts() {
  const long p = static_cast<long>(coefNames.size());
  const long nTerms = fit.nTerms(), nVariables = fit.nVariables();
  const TMatrix<long>& table = fit.termsTable();
  std::vector<std::vector<double>> columns;  // each a column of C (p entries)
  gammaTerm.clear();
  const auto addColumn = [&](long term) {
    columns.emplace_back(static_cast<std::size_t>(p), 0.0);
    gammaTerm.push_back(term);
    return columns.size() - 1;
  };
  if (fit.intercept()) columns[addColumn(-1)][0] = 1.0;
  bool fullCodingDone = fit.intercept();
  for (long t = 0; t < nTerms; ++t) {
    const long first = static_cast<long>(termIndices[static_cast<std::size_t>(t)]);
    const long last = static_cast<long>(termIndices[static_cast<std::size_t>(t + 1)]);
    std::vector<std::vector<std::vector<double>>> codings;  // one per factor, variable order
    long cells = 1;
    for (long v = 0; v < nVariables; ++v) {
      if (table(v, t) <= 0 || !fit.isFactor(fit.variable(v).c_str())) continue;
      const long levels = fit.factorInfo(fit.variable(v).c_str()).length();
      const bool full = !fullCodingDone || !codedByContrasts(t, v);
      fullCodingDone = true;
      codings.push_back(coding(levels, !full));
      cells *= levels;
    }
    if (codings.empty() || cells != last - first) {
      for (long k = first; k < last; ++k)
        columns[addColumn(t)][static_cast<std::size_t>(k)] = 1.0;
      continue;
    }
    // R's columns: the first factor's contrast varying fastest. Cells: the last factor's
    // level varying fastest. Entry = product of the factors' coding entries.
    long nColumns = 1;
    for (const auto& m : codings)
      nColumns *= static_cast<long>(m[0].size());
    const long nFactors = static_cast<long>(codings.size());
    std::vector<long> level(static_cast<std::size_t>(nFactors)), contrast(level);
    for (long c = 0; c < nColumns; ++c) {
      for (long f = 0, rest = c; f < nFactors; ++f) {
        const long width = static_cast<long>(codings[f][0].size());
        contrast[f] = rest % width;
        rest /= width;
      }
      std::vector<double>& column = columns[addColumn(t)];
      for (long cell = 0; cell < cells; ++cell) {
        for (long f = nFactors - 1, rest = cell; f >= 0; --f) {
          const long levels = static_cast<long>(codings[f].size());
          level[f] = rest % levels;
          rest /= levels;
        }
        double entry = 1.0;
        for (long f = 0; f < nFactors; ++f)
          entry *= codings[f][level[f]][contrast[f]];
        column[static_cast<std::size_t>(first + cell)] = entry;
      }
    }
  }
  contrasts = DoubleMatrix(p, static_cast<long>(columns.size()));
  for (std::size_t j = 0; j < columns.size(); ++j)
    std::copy(columns[j].begin(), columns[j].end(), contrasts.getPtr(0, static_cast<long>(j)));
}
