// Helpers shared by the model tests: small model descriptions (and support/ThrownMessage.h).
#pragma once

#include <string>
#include <vector>

#include "qmxmisc/model/FactorInfo.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "support/ThrownMessage.h"

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

inline FactorInfo makeFactor(const std::string& name, const std::vector<std::string>& levels) {
  FactorInfo factor;
  factor.setName(name);
  factor.setLevels(levels);
  return factor;
}
