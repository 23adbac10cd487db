// Test data for the covariance tests: a fixed-seed table of numeric columns with missing
// values, and a direct two-pass covariance over the complete rows written independently of
// the chunked code under test. Reference tables are read with support/RefCsv.h.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace covtest {

// Column-major table: column c, row r at values[c][r]; NaN is missing.
struct Table {
  std::size_t rows = 0;
  std::vector<std::vector<double>> values;
  double at(long row, long col) const { return values[col][row]; }
};

// Columns are correlated through a shared factor so that correlations are not all near 0;
// each value is missing with probability `missing`. Column c has mean c and scale c + 1.
inline Table makeTable(std::size_t rows, std::size_t cols, std::uint64_t seed, double missing) {
  std::mt19937_64 engine(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  Table table;
  table.rows = rows;
  table.values.assign(cols, std::vector<double>(rows));
  for (std::size_t r = 0; r < rows; ++r) {
    const double shared = normal(engine);
    for (std::size_t c = 0; c < cols; ++c) {
      const double x =
          static_cast<double>(c) + static_cast<double>(c + 1) * (0.6 * shared + normal(engine));
      table.values[c][r] = uniform(engine) < missing ? std::numeric_limits<double>::quiet_NaN() : x;
    }
  }
  return table;
}

struct PairStats {
  double cov = 0.0;
  double cor = 0.0;
  double crossSum = 0.0;
  double meanX = 0.0;
  double meanY = 0.0;
  long n = 0;
};

// Two passes over the rows where every column in `columns` is present: means first, then
// centred sums. Long double keeps the reference well below the tolerances of the tests.
inline PairStats directStats(const Table& table, const std::vector<long>& columns, long x, long y) {
  std::vector<std::size_t> complete;
  for (std::size_t r = 0; r < table.rows; ++r) {
    bool ok = true;
    for (const long c : columns)
      ok = ok && !std::isnan(table.values[c][r]);
    if (ok) complete.push_back(r);
  }
  PairStats s;
  s.n = static_cast<long>(complete.size());
  long double sx = 0, sy = 0;
  for (const std::size_t r : complete) {
    sx += table.values[x][r];
    sy += table.values[y][r];
  }
  const long double mx = sx / s.n, my = sy / s.n;
  long double sxx = 0, syy = 0, sxy = 0;
  for (const std::size_t r : complete) {
    const long double dx = table.values[x][r] - mx, dy = table.values[y][r] - my;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  s.meanX = static_cast<double>(mx);
  s.meanY = static_cast<double>(my);
  s.crossSum = static_cast<double>(sxy);
  s.cov = static_cast<double>(sxy / (s.n - 1));
  s.cor = static_cast<double>(sxy / std::sqrt(sxx * syy));
  return s;
}

// |a - b| <= tol * max(1, |b|)
inline bool near(double a, double b, double tol) {
  return std::fabs(a - b) <= tol * std::fmax(1.0, std::fabs(b));
}

}  // namespace covtest
