// Helpers of the least-squares tests: the data sets of tests/ref/numeric/lls_fits.csv (and
// the aliased design lls_rankdef_data.csv) as X, Y, W folded in chunks, and relative
// comparisons of matrices.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/DoubleLLS.h"

// The numeric table of tests/ref/numeric/<name>.csv as a matrix.
inline DoubleMatrix readRef(const std::string& name) {
  return fromRows(readRefNumbers("numeric", name));
}

// Rows [first, first + rows) and columns [col, col + cols) of m.
inline DoubleMatrix blockOf(const DoubleMatrix& m, long first, long rows, long col, long cols) {
  DoubleMatrix out(rows, cols);
  for (long j = 0; j < cols; ++j)
    for (long i = 0; i < rows; ++i)
      out(i, j) = m(first + i, col + j);
  return out;
}

struct LlsData {
  DoubleMatrix data;
  long nx = 3, ny = 1, w = -1;
  // By the name of a row of lls_fits.csv, or "rankdef" (x1 + x2 = x3, one response).
  explicit LlsData(const std::string& name) : data(readRef("lls_rankdef_data.csv")) {
    for (const RefRow& row : readRefCsv("numeric", "lls_fits.csv")) {
      if (row.text("name") != name) continue;
      data = readRef(row.text("data"));
      nx = row.num("nx"), ny = row.num("ny"), w = row.num("w");
    }
  }
  long rows() const { return data.getNRow(); }
  DoubleMatrix x(long first, long n) const { return blockOf(data, first, n, 0, nx); }
  DoubleMatrix y(long first, long n) const { return blockOf(data, first, n, nx, ny); }
  DoubleMatrix wt(long first, long n) const {
    return w < 0 ? DoubleMatrix() : blockOf(data, first, n, w, 1);
  }
  // Folds rows [first, last) into lls in chunks of `chunk` rows.
  template <class Lls>
  void fold(Lls& lls, long first, long last, long chunk, long nFixed = 1) const {
    for (long begin = first; begin < last; begin += chunk) {
      const long n = std::min(chunk, last - begin);
      lls.update(LLSChunk{x(begin, n), y(begin, n), wt(begin, n), nFixed});
    }
  }
};

// Every element of actual within relTol of the expected element (an expected exact zero
// within relTol times the largest |expected| element).
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
