// CovAccumulator without the host: the merge identity over a table of splits (finalize in
// between leaving the accumulator as it was), case weights against replicated rows, and the
// precision of many merged chunks against R.
#include "qmxmisc/multivariate/CovAccumulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "multivariate/CovTestSupport.h"
#include "support/ChunkSizes.h"

namespace {

// Columns t1 (target), c1, c2, c3 (correlation columns) of the reference data.
const std::vector<std::string> kColumns = {"t1", "c1", "c2", "c3"};

// Folds rows [first, last) of the table in chunks of `chunk` rows; weights (one per table
// row) when not empty.
void fold(CovAccumulator& acc, const QMXMemoryTable& table, long first, long last, long chunk,
          const std::vector<double>& weights = {}) {
  for (long begin = first; begin < last; begin += chunk) {
    const long m = std::min(chunk, last - begin);
    std::vector<double> values;
    for (const std::string& name : kColumns) {
      const std::vector<double> column = table.numbers(name);
      values.insert(values.end(), column.begin() + begin, column.begin() + begin + m);
    }
    acc.update(CovChunk{m, values.data(), weights.empty() ? nullptr : weights.data() + begin});
  }
}

void expectSame(const CovResult& a, const CovResult& b, double tol) {
  EXPECT_EQ(a.n, b.n);
  EXPECT_TRUE(covtest::close(a.weight, b.weight, tol));
  for (const auto member :
       {&CovResult::targetMeans, &CovResult::correlationMeans, &CovResult::crossProducts,
        &CovResult::covariances, &CovResult::correlations}) {
    ASSERT_EQ((a.*member).size(), (b.*member).size());
    for (std::size_t k = 0; k < (a.*member).size(); ++k)
      EXPECT_TRUE(covtest::close((a.*member)[k], (b.*member)[k], tol)) << k;
  }
}

TEST(CovAccumulator, MergeOfTwoPartsEqualsTheFitOfAllRows) {
  const QMXMemoryTable table = covtest::refTable("cov_random_data.csv");
  const long rows = static_cast<long>(table.numRows());
  CovAccumulator whole(1, 3, rows);
  fold(whole, table, 0, rows, rows);
  EXPECT_EQ(whole.finalize().n, 189);  // complete in t1, c1, c2, c3
  for (const RefRow& split : readRefCsv("multivariate", "cov_merge_splits.csv")) {
    SCOPED_TRACE("split " + split.text("split"));
    const long at = static_cast<long>(split.num("split"));
    CovAccumulator a(1, 3, rows), b(1, 3, rows);
    fold(a, table, 0, at, static_cast<long>(split.num("chunk_a")));
    fold(b, table, at, rows, static_cast<long>(split.num("chunk_b")));
    EXPECT_TRUE(at == 0 || a.finalize().n > 0);  // finalize consumes nothing
    a.merge(b);
    // 1e-12 relative: the merge is exact up to rounding.
    expectSame(a.finalize(), whole.finalize(), 1e-12);
  }
}

TEST(CovAccumulator, WeightsCountAsReplicatedRowsAndNonPositiveWeightsDropRows) {
  const QMXMemoryTable table = covtest::refTable("cov_random_data.csv");
  std::vector<double> weights(60);
  QMXMemoryTable replicated(table.schema());
  for (std::size_t row = 0; row < weights.size(); ++row) {
    weights[row] = row % 5 == 4 ? -1.0 : static_cast<double>(row % 4);
    for (double copy = 0; copy < weights[row]; ++copy)
      replicated.appendRows(table.block(), row, 1);
  }
  CovAccumulator weighted(1, 3, 60), plain(1, 3, 400);
  fold(weighted, table, 0, 60, 7, weights);
  fold(plain, replicated, 0, static_cast<long>(replicated.numRows()), 400);
  const CovResult w = weighted.finalize();
  const CovResult p = plain.finalize();
  EXPECT_EQ(w.weight, static_cast<double>(p.n));
  EXPECT_TRUE(covtest::close(w.targetMeans[0], p.targetMeans[0], 1e-12));
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_TRUE(covtest::close(w.crossProducts[k], p.crossProducts[k], 1e-12));
    EXPECT_TRUE(covtest::close(w.covariances[k], p.covariances[k], 1e-12));
    EXPECT_TRUE(covtest::close(w.correlations[k], p.correlations[k], 1e-12));
  }
}

// 200000 nearly uncorrelated rows, and the target shifted by 1e8, against R's cov(), cor() and
// means at every chunk size, to the relative tolerance of each row.
TEST(CovAccumulator, ManyRowsKeepFullPrecision) {
  constexpr long kRows = 200000;
  const std::vector<RefRow> ref = readRefCsv("multivariate", "cov_precision.csv");
  qmxtest::forEachChunkSize([&](long chunk) {
    // The rows by the formula of tests/ref/multivariate/cov_precision.R.
    std::uint64_t state = 12345;
    const auto draw = [&state] {
      double parts[2];
      for (double& part : parts)
        part = static_cast<double>(state = state * 48271 % 2147483647);
      return (parts[0] + parts[1] / 2147483648.0) / 2147483648.0 * 4.0 - 2.0;
    };
    CovAccumulator acc(2, 2, chunk);
    for (long begin = 0; begin < kRows; begin += chunk) {
      const long m = std::min(chunk, kRows - begin);
      std::vector<double> values(static_cast<std::size_t>(4 * m));
      for (long row = 0; row < m; ++row) {
        const double x = draw(), y = draw();
        for (const auto& [slot, value] :
             {std::pair{0L, x}, {1L, x + 1e8}, {2L, y}, {3L, y + x / 64}})
          values[static_cast<std::size_t>(slot * m + row)] = value;
      }
      acc.update(CovChunk{m, values.data(), nullptr});
    }
    const CovResult fit = acc.finalize();
    for (const RefRow& row : ref) {
      const std::size_t i = row.text("target") == "t2", j = row.text("with") == "c2";
      for (const auto& [got, name] : {std::pair{fit.covariances[j * 2 + i], "cov"},
                                      {fit.correlations[j * 2 + i], "cor"},
                                      {fit.targetMeans[i], "target_mean"},
                                      {fit.correlationMeans[j], "with_mean"}})
        EXPECT_LE(std::fabs(got / row.num(name) - 1), row.num("tol"))
            << row.text("target") << "," << row.text("with") << " " << name << " " << got;
    }
  });
}

}  // namespace
