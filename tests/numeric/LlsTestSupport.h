// Helpers of the least-squares tests: reference csv files written by
// tests/ref/numeric/lls_reference.R (a comment line, a header row, then numbers) and
// relative comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"

// The numeric table of tests/ref/numeric/<name>.csv as a matrix.
inline DoubleMatrix readRef(const std::string& name) {
  std::ifstream in(std::string(QMX_TEST_REF_DIR) + "/numeric/" + name);
  EXPECT_TRUE(in.good()) << "missing reference file " << name;
  std::string line;
  std::vector<std::vector<double>> rows;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header) {
      header = false;
      continue;
    }
    std::vector<double> row;
    std::stringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ','))
      row.push_back(std::stod(cell));
    rows.push_back(row);
  }
  DoubleMatrix m(static_cast<long>(rows.size()), static_cast<long>(rows.at(0).size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = 0; j < rows[i].size(); ++j)
      m(static_cast<long>(i), static_cast<long>(j)) = rows[i][j];
  }
  return m;
}

// Columns [first, first + count) of m.
inline DoubleMatrix columnsOf(const DoubleMatrix& m, long first, long count) {
  DoubleMatrix out(m.getNRow(), count);
  for (long j = 0; j < count; ++j) {
    for (long i = 0; i < m.getNRow(); ++i)
      out(i, j) = m(i, first + j);
  }
  return out;
}

// Rows [first, first + count) of m.
inline DoubleMatrix rowsOf(const DoubleMatrix& m, long first, long count) {
  DoubleMatrix out(count, m.getNCol());
  for (long j = 0; j < m.getNCol(); ++j) {
    for (long i = 0; i < count; ++i)
      out(i, j) = m(first + i, j);
  }
  return out;
}

// Every element of actual within relTol of the expected element (relative per element; an
// expected exact zero must be matched within relTol times the largest |expected| element).
inline void expectNear(const TMatrix<double>& actual, const TMatrix<double>& expected,
                       double relTol, const std::string& what) {
  ASSERT_EQ(actual.getNRow(), expected.getNRow()) << what;
  ASSERT_EQ(actual.getNCol(), expected.getNCol()) << what;
  double scale = 0.0;
  for (long k = 0; k < expected.size(); ++k)
    scale = std::max(scale, std::fabs(expected[k]));
  for (long k = 0; k < expected.size(); ++k) {
    const double bound = relTol * (expected[k] == 0.0 ? scale : std::fabs(expected[k]));
    EXPECT_NEAR(actual[k], expected[k], bound) << what << " element " << k;
  }
}
