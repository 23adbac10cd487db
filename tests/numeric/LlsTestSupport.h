// Helpers of the least-squares tests: reference tables written by
// tests/ref/numeric/lls_reference.R as matrices, row and column blocks, relative comparisons.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "support/RefCsv.h"

// The numeric table of tests/ref/numeric/<name>.csv as a matrix.
inline DoubleMatrix readRef(const std::string& name) {
  return fromRows(readRefNumbers("numeric", name));
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
