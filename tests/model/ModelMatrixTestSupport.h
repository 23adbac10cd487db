// Helpers of the model tests: model descriptions built from a short list of variables and
// terms, a buffer holding a whole table as one chunk, and matrices as standard containers.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxmisc/model/FactorInfo.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "support/TableChunk.h"
#include "support/ThrownMessage.h"

namespace modeltest {

// One term: its label and the power of each model variable in it (variable order).
struct Term {
  std::string label;
  std::vector<long> powers;
};

inline FactorInfo factor(const std::string& name, const std::vector<std::string>& levels,
                         MatrixCoding coding = MatrixCoding::kIndicator) {
  FactorInfo info;
  info.setName(name);
  info.setLevels(levels);
  info.setMatrixCoding(coding);
  return info;
}

// A model of the given variables (terms-table rows), terms (columns) and factors.
inline ModelTerms makeModel(const std::vector<std::string>& variables,
                            const std::vector<Term>& terms,
                            const std::vector<FactorInfo>& factors = {}, bool intercept = true) {
  const long nv = static_cast<long>(variables.size());
  const long nt = static_cast<long>(terms.size());
  TMatrix<long> table;
  if (nv > 0 && nt > 0) {
    std::vector<std::string> labels;
    for (const Term& t : terms)
      labels.push_back(t.label);
    table = TMatrix<long>(nv, nt, variables, labels);
    for (long t = 0; t < nt; ++t)
      for (long v = 0; v < nv; ++v)
        table(v, t) = terms[static_cast<std::size_t>(t)].powers[static_cast<std::size_t>(v)];
  }
  ModelTerms model;
  model.setTermsTable(table);
  model.setIntercept(intercept);
  model.setFactors(factVector(factors));
  return model;
}

using Chunk = TableChunk;

// Column names, rows and index values as standard containers, for comparisons.
inline std::vector<std::string> colNames(const DoubleMatrix& m) {
  std::vector<std::string> names;
  for (const String& name : m.getColNames())
    names.push_back(name.str());
  return names;
}

inline std::vector<std::vector<double>> rowsOf(const DoubleMatrix& m) {
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(m.getNRow()));
  for (long r = 0; r < m.getNRow(); ++r)
    for (long c = 0; c < m.getNCol(); ++c)
      rows[static_cast<std::size_t>(r)].push_back(m(r, c));
  return rows;
}

inline std::vector<unsigned> indices(const Index& index) {
  return std::vector<unsigned>(index.begin(), index.end());
}

}  // namespace modeltest
