// Helpers of the model tests: model descriptions built from a short list of variables and
// terms or from the fields of a data table, a buffer holding a whole table as one chunk, and
// matrices as standard containers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model/ModelDocumentTable.h"
#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxmisc/model/FactorInfo.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "support/RefCsv.h"
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

// A main-effects terms table: one row and one column per variable, 1 on the diagonal.
inline TMatrix<long> mainEffects(const std::vector<std::string>& variables) {
  const long n = static_cast<long>(variables.size());
  TMatrix<long> table(n, n, variables, variables);
  for (long i = 0; i < n; ++i)
    table(i, i) = 1;
  return table;
}

// The texts of a strVector, for comparisons.
inline std::vector<std::string> names(const strVector& values) {
  return std::vector<std::string>(values.begin(), values.end());
}

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

// The fields of `text` separated by `sep` (none for an empty text).
inline std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (!text.empty()) {
    const std::size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

// Matrix rows separated by '|', values by ',' ("nan" and "inf" as such).
inline std::vector<std::vector<double>> matrixOf(const std::string& text) {
  std::vector<std::vector<double>> rows;
  for (const std::string& row : split(text, '|')) {
    rows.emplace_back();
    for (const std::string& value : split(row, ','))
      rows.back().push_back(std::stod(value));
  }
  return rows;
}

// Expects `got` to hold the rows of `expected` (matrixOf) to 1e-15.
inline void expectNear(const std::vector<std::vector<double>>& got, const std::string& expected) {
  const std::vector<std::vector<double>> want = matrixOf(expected);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t r = 0; r < got.size(); ++r) {
    ASSERT_EQ(got[r].size(), want[r].size()) << "row " << r;
    for (std::size_t c = 0; c < got[r].size(); ++c)
      EXPECT_NEAR(got[r][c], want[r][c], 1e-15) << "row " << r << " column " << c;
  }
}

// A factor from its table field: name[=levels][/coding] (sum, last, poly, numeric; else
// indicator); without levels, a continuous variable.
inline FactorInfo factorOf(const std::string& spec) {
  static const std::map<std::string, MatrixCoding> codings = {
      {"", MatrixCoding::kIndicator},
      {"sum", MatrixCoding::kSumToZero},
      {"last", MatrixCoding::kLastReference},
      {"poly", MatrixCoding::kPolynomial},
      {"numeric", MatrixCoding::kNumeric}};
  const std::size_t slash = std::min(spec.find('/'), spec.size());
  const std::string named = spec.substr(0, slash);
  const std::size_t eq = std::min(named.find('='), named.size());
  return factor(named.substr(0, eq), split(named.substr(std::min(eq + 1, named.size())), ','),
                codings.at(spec.substr(std::min(slash + 1, spec.size()))));
}

// A model from the fields of a data table: variables (|), terms (label=powers|...), factors
// (factorOf|...), intercept.
inline ModelTerms modelOf(const std::string& variables, const std::string& termText,
                          const std::string& factorText, bool intercept = true) {
  std::vector<modeltest::Term> terms;
  for (const std::string& term : split(termText, '|')) {
    std::vector<long> powers;
    for (const std::string& power : split(term.substr(term.find('=') + 1), ','))
      powers.push_back(std::stol(power));
    terms.push_back({term.substr(0, term.find('=')), powers});
  }
  std::vector<FactorInfo> factors;
  for (const std::string& spec : split(factorText, '|'))
    factors.push_back(factorOf(spec));
  return makeModel(split(variables, '|'), terms, factors, intercept);
}

// The records of a tab-separated table in tests/ref/model (comments and header skipped),
// {N*text} repeated.
inline std::vector<std::vector<std::string>> records(const std::string& name) {
  std::istringstream table(readRefText("model", name));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(table, line);)
    if (!line.empty() && line[0] != '#') rows.push_back(split(qmx_test::expandRepeats(line), '\t'));
  rows.erase(rows.begin());
  return rows;
}

}  // namespace modeltest
