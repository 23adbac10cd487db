// QMXProcCov through the host pipeline: R's cov()/cor() at every chunk size of a table, the
// merge contract, the record count, the per-call row limit, missing rows, undefined answers,
// the messages and the printed matrix.
#include "qmxmisc/multivariate/QMXProcCov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "multivariate/CovTestSupport.h"
#include "qmxbase/QMXChunkRows.h"
#include "support/MergeContract.h"

using covtest::close;
using covtest::get;
using covtest::getDouble;
using covtest::ManualCov;
using covtest::runCov;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

long long rowsProcessed(QMXProc& proc) {
  return std::get<long long>(get(proc, "total.rows.processed"));
}

TEST(QMXProcCov, MatchesRAtEveryChunkSize) {
  const QMXMemoryTable table = covtest::refTable("cov_random_data.csv");  // t1,t2,c1,c2,c3
  // Targets and correlation columns out of table order: position i is column targets[i].
  const std::vector<long> targets = {1, 0}, with = {4, 2, 3};
  // t2 has mean 1e6 and sd 0.25: the pairwise update cancels about seven digits there, so
  // chunkings agree to 1e-9 relative for t2 and 1e-12 for t1.
  const double kTol[] = {1e-9, 1e-12};
  QMXProcCov first;
  for (const long chunk : {1L, 2L, 7L, qmxDefaultChunkRows()}) {
    SCOPED_TRACE("chunk rows " + std::to_string(chunk));
    QMXProcCov proc;
    const covtest::CovRun run = runCov(chunk == 1 ? first : proc, table, targets, with, chunk);
    ASSERT_TRUE(run.ok) << run.error;
    QMXProc& fit = chunk == 1 ? first : proc;
    EXPECT_EQ(rowsProcessed(fit), 174);
    for (const RefRow& row : readRefCsv("multivariate", "cov_random.csv")) {
      const long i = row.text("target") == "t1" ? 1 : 0;
      const std::string& w = row.text("with");
      const long j = w == "c3" ? 0 : w == "c1" ? 1 : 2;
      SCOPED_TRACE(row.text("target") + "," + w);
      // R reference: 1e-10 relative (R's cov centres with a corrected mean).
      EXPECT_TRUE(close(getDouble(fit, "cov.entry", {i, j}), row.num("cov"), 1e-10));
      EXPECT_TRUE(close(getDouble(fit, "cor.entry", {i, j}), row.num("cor"), 1e-10));
      EXPECT_TRUE(close(getDouble(fit, "matrix.entry", {i, j}), row.num("cov") * 173, 1e-10));
      EXPECT_TRUE(close(getDouble(fit, "target.mean", {i}), row.num("target_mean"), 1e-12));
      EXPECT_TRUE(close(getDouble(fit, "correlation.mean", {j}), row.num("with_mean"), 1e-12));
      for (const char* name : {"cov.entry", "cor.entry", "matrix.entry"})
        EXPECT_TRUE(close(getDouble(fit, name, {i, j}), getDouble(first, name, {i, j}), kTol[i]));
    }
  }
}

TEST(QMXProcCov, MergedPartsEqualTheWholeRun) {
  const auto fit = [](QMXProcCov& proc, const QMXMemoryTable& rows) {
    return runCov(proc, rows, {0}, {2, 3, 4}, 7).ok;
  };
  const auto merge = [](QMXProcCov& a, const QMXProcCov& b) {
    a.mergeAccumulator(b.accumulator());
  };
  const auto results = [](QMXProcCov& proc) {
    std::vector<double> numbers = {static_cast<double>(rowsProcessed(proc)), proc.targetMean(0)};
    for (long j = 0; j < 3; ++j)
      numbers.insert(numbers.end(), {proc.covEntry(0, j), proc.corEntry(0, j),
                                     proc.matrixEntry(0, j), proc.correlationMean(j)});
    return numbers;
  };
  expectMergeContract<QMXProcCov>(covtest::refTable("cov_random_data.csv"), {0, 1, 97, 240}, fit,
                                  merge, results);
}

TEST(QMXProcCov, AllocatedRecordsGrowWithTheLogarithmOfTheCallCount) {
  // calls, floor(log2 calls) + 1
  const long cases[][2] = {{1, 1}, {2, 2}, {3, 2}, {4, 3}, {7, 3}, {8, 4}, {13, 4}, {1024, 11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    QMXMemoryTable table;
    std::vector<double> x(static_cast<std::size_t>(c[0] * 2));
    for (std::size_t k = 0; k < x.size(); ++k)
      x[k] = static_cast<double>(k % 5);
    table.addDoubleColumn("x", x).addDoubleColumn("y", x);
    QMXProcCov proc;
    const covtest::CovRun run = runCov(proc, table, {0}, {1}, 2);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.executeCalls, c[0]);
    EXPECT_EQ(std::get<long>(get(proc, "allocated.nodes")), c[1]);
    EXPECT_EQ(rowsProcessed(proc), c[0] * 2);
  }
}

TEST(QMXProcCov, OneCallExaminesAtMost1000RowsAndSkipsMissingOnes) {
  // Rows 0..999 hold x = 1, 2 and y = 2; rows 1000..2499 hold 100 and 200, with x NaN or y
  // NA in rows 1000..1999: the means after each call show which rows it used.
  std::vector<double> x(2500, 100.0), y(2500, 200.0);
  for (long r = 0; r < 2000; ++r) {
    x[r] = r < 1000 ? 1.0 + (r % 2) : r % 2 ? 100.0 : kNaN;
    y[r] = r < 1000 ? 2.0 : r % 2 ? QMXObj::getDoubleNA() : 200.0;
  }
  QMXMemoryTable table;
  table.addDoubleColumn("x", x).addDoubleColumn("y", y);
  ManualCov manual(table, 2500);
  manual.proc.init();
  ASSERT_EQ(manual.proc.getError(), nullptr);
  // calls, rows released, rows used, target mean, allocated records
  const double expected[][5] = {
      {1, 1000, 1000, 1.5, 1}, {2, 2000, 1000, 1.5, 1}, {3, 2500, 1500, 34.333333333333333, 2}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e[0]);
    manual.proc.execute();
    EXPECT_EQ(manual.reader.releasedTotal(), e[1]);
    EXPECT_EQ(rowsProcessed(manual.proc), e[2]);
    EXPECT_TRUE(close(getDouble(manual.proc, "target.mean", {0}), e[3], 1e-15));
    EXPECT_EQ(manual.proc.allocatedNodes(), e[4]);
  }
  EXPECT_TRUE(manual.proc.isDone());
  EXPECT_TRUE(manual.proc.getMessages().empty());
}

TEST(QMXProcCov, UndefinedAnswersAreNotANumber) {
  struct Case {
    std::vector<double> x, y;
    long rows;
    double matrix, cov, cor, mean, withMean;
  };
  const Case cases[] = {
      {{1, kNaN, 3}, {kNaN, 2, kNaN}, 0, kNaN, kNaN, kNaN, kNaN, kNaN},  // no used row
      {{1, kNaN, 3}, {kNaN, 2, 5}, 1, 0.0, kNaN, kNaN, 3.0, 5.0},        // one used row
      {{4, 4, 4, 4}, {1, 5, 2, 8}, 4, 0.0, 0.0, kNaN, 4.0, 4.0},         // a constant column
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    QMXMemoryTable table;
    table.addDoubleColumn("x", c.x).addDoubleColumn("y", c.y);
    QMXProcCov proc;
    ASSERT_TRUE(runCov(proc, table, {0}, {1}, 2).ok);
    EXPECT_EQ(rowsProcessed(proc), c.rows);
    EXPECT_TRUE(close(getDouble(proc, "matrix.entry", {0, 0}), c.matrix, 0.0));
    EXPECT_TRUE(close(getDouble(proc, "cov.entry", {0, 0}), c.cov, 0.0));
    EXPECT_TRUE(close(getDouble(proc, "cor.entry", {0, 0}), c.cor, 0.0));
    EXPECT_TRUE(close(getDouble(proc, "target.mean", {0}), c.mean, 0.0));
    EXPECT_TRUE(close(getDouble(proc, "correlation.mean", {0}), c.withMean, 0.0));
    // Positions out of range.
    for (const std::vector<long>& bad :
         std::vector<std::vector<long>>{{1, 0}, {0, 1}, {-1, 0}, {0}})
      for (const char* name : {"cov.entry", "cor.entry", "matrix.entry"})
        EXPECT_TRUE(std::isnan(getDouble(proc, name, bad))) << name;
    EXPECT_TRUE(std::isnan(getDouble(proc, "target.mean", {1})));
    EXPECT_TRUE(std::isnan(getDouble(proc, "correlation.mean", {-1})));
  }
}

TEST(QMXProcCov, MessagesForMissingDefinitions) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3}).addDoubleColumn("y", {3, 1, 2});
  const std::string noTarget = "no target columns have been defined for correlation calculation";
  QMXProcCov a, b;
  EXPECT_EQ(runCov(a, table, {}, {1}, 10).error, noTarget);
  const covtest::CovRun run = runCov(b, table, {0}, {}, 10);
  EXPECT_EQ(run.error, "no correlation columns have been defined for correlation calculation");
  EXPECT_EQ(run.executeCalls, 0);
  // clear.calc.columns empties both lists; a host that calls execute anyway: no record, the
  // rows are released.
  ManualCov manual(table, 10);
  QMXPropertyInfo clear("clear.calc.columns");
  manual.proc.setProperty(&clear);
  manual.proc.init();
  EXPECT_STREQ(manual.proc.getError(), noTarget.c_str());
  manual.proc.execute();
  EXPECT_EQ(manual.reader.releasedTotal(), 3);
  EXPECT_EQ(rowsProcessed(manual.proc), 0);
}

TEST(QMXProcCov, PrintMatrixWritesTheResultsToStandardOutput) {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1, 2, 3, 4, kNaN})
      .addDoubleColumn("b", {2, 4, 6, 9, 1})
      .addDoubleColumn("c", {10, 10, 10, 10, 10})
      .addDoubleColumn("d", {1, 0, 1, 0, 1});
  QMXMemoryTable empty;
  empty.addDoubleColumn("a", {kNaN}).addDoubleColumn("b", {1});
  QMXProcCov full, none;
  ASSERT_TRUE(runCov(full, table, {0, 2}, {1, 3}, 2).ok);
  ASSERT_TRUE(runCov(none, empty, {0}, {1}, 2).ok);
  for (auto [proc, file] :
       {std::pair{&full, "cov_print.txt"}, std::pair{&none, "cov_print_empty.txt"}}) {
    QMXPropertyInfo print("print.matrix");
    testing::internal::CaptureStdout();
    proc->setProperty(&print);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), readRefText("multivariate", file));
  }
}

}  // namespace
