// Helpers shared by the numeric tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "support/ThrownMessage.h"

// A matrix from rows written as in the test text (row-major literal).
inline DoubleMatrix fromRows(const std::vector<std::vector<double>>& rows) {
  const long nrow = static_cast<long>(rows.size());
  const long ncol = nrow > 0 ? static_cast<long>(rows[0].size()) : 0;
  DoubleMatrix m(nrow, ncol);
  for (long i = 0; i < nrow; ++i) {
    for (long j = 0; j < ncol; ++j)
      m(i, j) = rows[i][j];
  }
  return m;
}

// Element values in storage order, read without copying the storage.
inline std::vector<double> valuesOf(const TMatrix<double>& m) {
  return std::vector<double>(m.constData(), m.constData() + m.size());
}
