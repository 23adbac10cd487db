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
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "qmxmisc/model/DerivedVariable.h"

namespace {

// The coding of one factor in a term (cells x columns) and the level each column stands for:
// all levels (indicators) when `full`, else contr.sum (the last level minus the others) or
// contr.treatment (the levels but `base`).
struct FactorCoding {
  std::vector<std::vector<double>> matrix;
  std::vector<long> columnLevel;
};

FactorCoding coding(long levels, bool full, bool treatment, long base) {
  FactorCoding out;
  for (long j = 0; j < levels; ++j)
    if (full || levels < 2 || (treatment ? j != base : j != levels - 1))
      out.columnLevel.push_back(j);
  const auto columns = static_cast<long>(out.columnLevel.size());
  out.matrix.assign(static_cast<std::size_t>(levels),
                    std::vector<double>(static_cast<std::size_t>(columns), 0.0));
  for (long i = 0; i < levels; ++i)
    for (long j = 0; j < columns; ++j) {
      const bool sumRow = !full && !treatment && columns < levels && i == levels - 1;
      out.matrix[i][j] = i == out.columnLevel[j] ? 1.0 : (sumRow ? -1.0 : 0.0);
    }
  return out;
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

long QMXProcILM::referenceLevel(long v) const {
  const std::string name = fit.variable(v).str();
  long base = 0;  // a factor named twice takes the last level given
  for (const auto& [factor, level] : references) {
    if (factor != name) continue;
    const strVector& levels = fit.factorInfo(name.c_str()).levels();
    for (std::size_t k = 0; k < levels.size(); ++k)
      if (levels[k].str() == level) base = static_cast<long>(k);
  }
  return base;
}

// The name R gives a covariate of power `power` in a term.
std::string QMXProcILM::covariateName(long v, long power) const {
  const std::string name = fit.variable(v).str();
  return power == 1 ? name : "I(" + name + "^" + std::to_string(power) + ")";
}

ModelCoding QMXProcILM::modelCoding(bool treatment) const {
  const long p = static_cast<long>(coefNames.size());
  const long nTerms = fit.nTerms(), nVariables = fit.nVariables();
  const TMatrix<long>& table = fit.termsTable();
  std::vector<std::vector<double>> columns;  // each a column of C (p entries)
  ModelCoding out;
  const auto addColumn = [&](long term, std::string name) {
    columns.emplace_back(static_cast<std::size_t>(p), 0.0);
    out.terms.push_back(term);
    out.names.push_back(String(name.c_str()));
    return columns.size() - 1;
  };
  if (fit.intercept()) columns[addColumn(-1, "(Intercept)")][0] = 1.0;
  bool fullCodingDone = fit.intercept();
  for (long t = 0; t < nTerms; ++t) {
    const long first = static_cast<long>(termIndices[static_cast<std::size_t>(t)]);
    const long last = static_cast<long>(termIndices[static_cast<std::size_t>(t + 1)]);
    // One coding per variable of the term, in variable order: a factor's levels, or the
    // columns of a covariate (one, or a matrix such as poly()'s) each standing for itself.
    std::vector<FactorCoding> codings;
    std::vector<long> variables;
    long cells = 1;
    bool anyFactor = false;
    for (long v = 0; v < nVariables; ++v) {
      if (table(v, t) <= 0) continue;
      variables.push_back(v);
      if (!fit.isFactor(fit.variable(v).c_str())) {
        const std::string& expression = fit.expression(fit.variable(v));
        const long width = expression.empty() ? 1 : DerivedVariable(expression).width();
        codings.push_back(coding(width, true, treatment, 0));
        cells *= width;
        continue;
      }
      const long levels = fit.factorInfo(fit.variable(v).c_str()).length();
      const bool full = !fullCodingDone || !codedByContrasts(t, v);
      fullCodingDone = true;
      anyFactor = true;
      codings.push_back(coding(levels, full, treatment, referenceLevel(v)));
      cells *= levels;
    }
    if (!anyFactor || cells != last - first) {
      for (long k = first; k < last; ++k)
        columns[addColumn(t, coefNames[static_cast<std::size_t>(k)].str())]
               [static_cast<std::size_t>(k)] = 1.0;
      continue;
    }
    // R's columns: the first variable's column varying fastest. Cells (the model matrix's
    // columns): the last variable's varying fastest. Entry = product of the coding entries.
    long nColumns = 1;
    for (const FactorCoding& m : codings)
      nColumns *= static_cast<long>(m.columnLevel.size());
    const long nFactors = static_cast<long>(codings.size());
    std::vector<long> level(static_cast<std::size_t>(nFactors)), contrast(level);
    for (long c = 0; c < nColumns; ++c) {
      for (long f = 0, rest = c; f < nFactors; ++f) {
        const long width = static_cast<long>(codings[f].columnLevel.size());
        contrast[f] = rest % width;
        rest /= width;
      }
      std::string name;
      for (long f = 0; f < nFactors; ++f) {
        const long v = variables[static_cast<std::size_t>(f)];
        name += name.empty() ? "" : ":";
        const FactorCoding& m = codings[f];
        if (fit.isFactor(fit.variable(v).c_str())) {
          name +=
              fit.variable(v).str() +
              fit.factorInfo(fit.variable(v).c_str()).levels()[m.columnLevel[contrast[f]]].str();
        } else if (m.columnLevel.size() > 1) {
          name += fit.variable(v).str() + std::to_string(m.columnLevel[contrast[f]] + 1);
        } else {
          name += covariateName(v, table(v, t));
        }
      }
      std::vector<double>& column = columns[addColumn(t, name)];
      for (long cell = 0; cell < cells; ++cell) {
        for (long f = nFactors - 1, rest = cell; f >= 0; --f) {
          const long levels = static_cast<long>(codings[f].matrix.size());
          level[f] = rest % levels;
          rest /= levels;
        }
        double entry = 1.0;
        for (long f = 0; f < nFactors; ++f)
          entry *= codings[f].matrix[level[f]][contrast[f]];
        column[static_cast<std::size_t>(first + cell)] = entry;
      }
    }
  }
  out.matrix = DoubleMatrix(p, static_cast<long>(columns.size()));
  for (std::size_t j = 0; j < columns.size(); ++j)
    std::copy(columns[j].begin(), columns[j].end(), out.matrix.getPtr(0, static_cast<long>(j)));
  return out;
}

void QMXProcILM::buildContrasts() {
  ModelCoding sum = modelCoding(false);
  contrasts = std::move(sum.matrix);
  gammaTerm = std::move(sum.terms);
}
