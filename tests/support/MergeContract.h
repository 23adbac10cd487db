// The merge contract of a single-pass proc: a fit of the whole input equals the merge of the
// accumulators of fits of two parts of it (qmxmisc/base/QMXAccumulator.h). One driver for
// every such proc; each instantiation says how to fit, how to merge and what to compare.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "qmxbase/QMXMemoryTable.h"

// Rows [first, first + count) of table, with its schema.
inline QMXMemoryTable tableRows(const QMXMemoryTable& table, std::size_t first, std::size_t count) {
  QMXMemoryTable part(table.schema());
  part.appendRows(table.block(), first, count);
  return part;
}

// For each split row s: Proc `whole` fitted on every row, Proc `a` on rows [0, s) and `b` on
// rows [s, n), then merge(a, b) (a takes in b's accumulator and finishes again). The numbers
// results(a) and results(whole) must agree to relTol relative, not-a-number matching
// not-a-number; numbers below 1e-8 of the largest in magnitude are compared against that
// largest (a coefficient that is 0 up to rounding). fit(proc, table) returns success.
template <class Proc, class Fit, class Merge, class Results>
void expectMergeContract(const QMXMemoryTable& table, const std::vector<std::size_t>& splits,
                         Fit fit, Merge merge, Results results, double relTol = 1e-12) {
  Proc whole;
  ASSERT_TRUE(fit(whole, table));
  const std::vector<double> expected = results(whole);
  double largest = 0.0;
  for (const double value : expected)
    if (!std::isnan(value)) largest = std::max(largest, std::fabs(value));
  for (const std::size_t split : splits) {
    SCOPED_TRACE("split at row " + std::to_string(split));
    Proc a;
    Proc b;
    ASSERT_TRUE(fit(a, tableRows(table, 0, split)));
    ASSERT_TRUE(fit(b, tableRows(table, split, table.numRows() - split)));
    merge(a, b);
    const std::vector<double> merged = results(a);
    ASSERT_EQ(merged.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      if (std::isnan(expected[k]) || std::isnan(merged[k])) {
        EXPECT_EQ(std::isnan(expected[k]), std::isnan(merged[k])) << "result " << k;
        continue;
      }
      const double scale = std::max(std::fabs(expected[k]), 1e-8 * largest);
      EXPECT_LE(std::fabs(merged[k] - expected[k]), relTol * scale)
          << "result " << k << ": " << merged[k] << " vs " << expected[k];
    }
  }
}
