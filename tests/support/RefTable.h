// Reference data as the tests use it: a data file of tests/ref/<folder>/ as a memory table
// (the input of a proc run), and a selection of an expected-values file as named numbers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "qmxbase/QMXMemoryTable.h"
#include "support/RefCompare.h"
#include "support/RefCsv.h"

namespace qmxtest {

// Factor columns of a data file: name -> levels in code order (empty: the distinct texts in
// R's default order, numerically when every text is a number).
using FactorLevels = std::map<std::string, std::vector<std::string>>;

inline std::vector<std::string> sortedLevels(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  texts.erase(std::remove(texts.begin(), texts.end(), std::string()), texts.end());
  const bool numeric = std::all_of(texts.begin(), texts.end(), [](const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return *end == '\0';
  });
  if (numeric) {
    std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
      return std::stod(a) < std::stod(b);
    });
  }
  return texts;
}

// tests/ref/<folder>/<name> as a table: the columns in `factors` are factors, every other
// column holds numbers ("NA" and "NaN" are missing).
inline QMXMemoryTable readRefTable(const std::string& folder, const std::string& name,
                                   const FactorLevels& factors = {}) {
  const std::vector<std::vector<std::string>> lines = readRefCells(refPath(folder, name));
  QMXMemoryTable table;
  for (std::size_t colIdx = 0; colIdx < lines[0].size(); ++colIdx) {
    std::vector<std::string> texts;
    for (std::size_t lineIdx = 1; lineIdx < lines.size(); ++lineIdx)
      texts.push_back(lines[lineIdx][colIdx]);
    const std::string& column = lines[0][colIdx];
    const auto factor = factors.find(column);
    if (factor != factors.end()) {
      table.addFactorColumn(column, texts,
                            factor->second.empty() ? sortedLevels(texts) : factor->second);
      continue;
    }
    std::vector<double> numbers;
    for (const std::string& text : texts)
      numbers.push_back(RefRow::refNumber(text));
    table.addDoubleColumn(column, numbers);
  }
  return table;
}

// The records of an expected-values file whose column `where.first` holds `where.second`, as
// prefix + <nameColumn cell> -> <valueColumn cell>.
inline NamedValues refValues(const std::string& folder, const std::string& name,
                             const std::pair<std::string, std::string>& where,
                             const std::string& nameColumn, const std::string& valueColumn,
                             const std::string& prefix = "") {
  NamedValues values;
  for (const RefRow& row : readRefCsv(folder, name))
    if (row.text(where.first) == where.second)
      values[prefix + row.text(nameColumn)] = row.num(valueColumn);
  return values;
}

// One column of the selected records, in file order (expected scores of a data file's rows).
inline std::vector<double> refColumn(const std::string& folder, const std::string& name,
                                     const std::pair<std::string, std::string>& where,
                                     const std::string& valueColumn) {
  std::vector<double> values;
  for (const RefRow& row : readRefCsv(folder, name))
    if (where.first.empty() || row.text(where.first) == where.second)
      values.push_back(row.num(valueColumn));
  return values;
}

}  // namespace qmxtest
