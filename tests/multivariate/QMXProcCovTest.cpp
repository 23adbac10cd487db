#include "qmxmisc/multivariate/QMXProcCov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "multivariate/CovTestData.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "support/RefCsv.h"

extern "C" QMXProc* qmx_s_create_QMXProcCov(QMXProc** out);

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::unique_ptr<QMXProc> createCov() {
  QMXProc* out = nullptr;
  std::unique_ptr<QMXProc> proc(qmx_s_create_QMXProcCov(&out));
  EXPECT_EQ(proc.get(), out);
  return proc;
}

void setLong(QMXProc& proc, const char* name, long value) {
  QMXPropertyInfo prop(name, {std::to_string(value)});
  proc.setProperty(&prop);
}

void defineColumns(QMXProc& proc, const std::vector<long>& targets,
                   const std::vector<long>& correlations) {
  for (const long col : targets)
    setLong(proc, "define.target.column", col);
  for (const long col : correlations)
    setLong(proc, "define.correlation.column", col);
}

QMXPropertyInfo::Answer get(QMXProc& proc, const char* name, std::vector<long> values = {}) {
  std::vector<std::string> texts;
  for (const long v : values)
    texts.push_back(std::to_string(v));
  QMXPropertyInfo prop(name, texts);
  proc.getProperty(&prop);
  return prop.answer();
}

double getDouble(QMXProc& proc, const char* name, std::vector<long> values) {
  return std::get<double>(get(proc, name, std::move(values)));
}

long long rowsProcessed(QMXProc& proc) {
  return std::get<long long>(get(proc, "total.rows.processed"));
}

long allocatedNodes(QMXProc& proc) {
  return std::get<long>(get(proc, "allocated.nodes"));
}

// Runs a new covariance proc over the table through the host driver.
struct CovRun {
  std::unique_ptr<QMXProc> proc;
  bool ok = false;
  std::string error;
  std::int64_t executeCalls = 0;
};

CovRun runCov(const QMXMemoryTable& table, const std::vector<long>& targets,
              const std::vector<long>& correlations, long chunkRows) {
  CovRun run;
  run.proc = createCov();
  QMXMemorySource source(table);
  QMXPipeline pipeline(*run.proc, "QMXProcCov");
  pipeline.addInput(source);
  pipeline.setChunkRows(chunkRows);
  pipeline.attach();
  defineColumns(*run.proc, targets, correlations);
  run.ok = pipeline.run();
  run.error = pipeline.error();
  run.executeCalls = pipeline.executeCalls();
  return run;
}

QMXMemoryTable toMemoryTable(const covtest::Table& data) {
  QMXMemoryTable table;
  for (std::size_t c = 0; c < data.values.size(); ++c)
    table.addDoubleColumn("x" + std::to_string(c), data.values[c]);
  return table;
}

// Relative closeness, |a - b| <= tol * max(1, |b|); NaN only matches NaN.
::testing::AssertionResult close(double a, double b, double tol) {
  if (std::isnan(a) || std::isnan(b)) {
    if (std::isnan(a) && std::isnan(b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " vs " << b;
  }
  if (covtest::near(a, b, tol)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " vs " << b << " (tol " << tol << ")";
}

TEST(QMXProcCov, FactoryCreatesTheProc) {
  std::unique_ptr<QMXProc> proc = createCov();
  ASSERT_NE(proc, nullptr);
  EXPECT_NE(dynamic_cast<QMXProcCov*>(proc.get()), nullptr);
}

TEST(QMXProcCov, MatchesRAndDirectComputationAtEveryChunkSize) {
  const auto data = readRefNumbers("multivariate", "cov_random_data.csv");  // t1,t2,c1,c2,c3; NA
  const auto ref = readRefCsv("multivariate", "cov_random.csv");
  covtest::Table direct;
  direct.rows = data.size();
  direct.values.assign(5, std::vector<double>(data.size()));
  for (std::size_t r = 0; r < data.size(); ++r)
    for (std::size_t c = 0; c < 5; ++c)
      direct.values[c][r] = data[r][c];
  const QMXMemoryTable table = toMemoryTable(direct);
  // Targets and correlation columns out of table order: position i is column targetCols[i].
  const std::vector<long> targetCols = {1, 0};
  const std::vector<long> withCols = {4, 2, 3};
  const std::vector<long> all = {0, 1, 2, 3, 4};

  // t1 is well conditioned: 1e-12 relative. t2 has mean 1e6 and sd 0.25 (coefficient of
  // variation 2.5e-7): the pairwise update r * S_A - S_B cancels about seven digits of sums
  // near 1e6 * rows, so small chunks agree only to about 1e-11 there; 1e-9 relative.
  const double kTol[] = {1e-9, 1e-12};
  const long chunkSizes[] = {1, 7, 1000, static_cast<long>(table.numRows())};
  CovRun first;
  for (const long chunk : chunkSizes) {
    SCOPED_TRACE("chunk rows " + std::to_string(chunk));
    CovRun run = runCov(table, targetCols, withCols, chunk);
    ASSERT_TRUE(run.ok) << run.error;
    QMXProc& proc = *run.proc;
    EXPECT_EQ(rowsProcessed(proc), 174);
    for (const RefRow& row : ref) {
      const long i = row.text("target") == "t1" ? 1 : 0;
      const std::string& with = row.text("with");
      const long j = with == "c3" ? 0 : with == "c1" ? 1 : 2;
      SCOPED_TRACE(row.text("target") + "," + with);
      // R reference: 1e-10 relative (R's cov centres with a corrected mean).
      EXPECT_TRUE(close(getDouble(proc, "cov.entry", {i, j}), row.num("cov"), 1e-10));
      EXPECT_TRUE(close(getDouble(proc, "cor.entry", {i, j}), row.num("cor"), 1e-10));
      EXPECT_EQ(row.num("n"), 174);
      EXPECT_TRUE(close(getDouble(proc, "target.mean", {i}), row.num("target_mean"), 1e-12));
      EXPECT_TRUE(close(getDouble(proc, "correlation.mean", {j}), row.num("with_mean"), 1e-12));
      // Direct two-pass computation in long double over the complete rows, relative
      // tolerance kTol[i].
      const covtest::PairStats s = covtest::directStats(direct, all, targetCols[i], withCols[j]);
      EXPECT_EQ(s.n, 174);
      EXPECT_TRUE(close(getDouble(proc, "cov.entry", {i, j}), s.cov, kTol[i]));
      EXPECT_TRUE(close(getDouble(proc, "cor.entry", {i, j}), s.cor, kTol[i]));
      EXPECT_TRUE(close(getDouble(proc, "matrix.entry", {i, j}), s.crossSum, kTol[i]));
    }
    if (!first.proc) {
      first = std::move(run);
      continue;
    }
    // Chunk invariance against the one-row-per-chunk run, relative tolerance kTol[i].
    for (long i = 0; i < 2; ++i) {
      for (long j = 0; j < 3; ++j) {
        for (const char* name : {"cov.entry", "cor.entry", "matrix.entry"})
          EXPECT_TRUE(
              close(getDouble(proc, name, {i, j}), getDouble(*first.proc, name, {i, j}), kTol[i]))
              << name << " " << i << "," << j;
      }
    }
  }
}

TEST(QMXProcCov, AllocatedNodesGrowWithTheLogarithmOfTheCallCount) {
  struct Case {
    long calls;
    long nodes;  // floor(log2 calls) + 1
  };
  for (const Case c : {Case{1, 1}, Case{2, 2}, Case{8, 4}, Case{13, 4}, Case{1024, 11}}) {
    SCOPED_TRACE(c.calls);
    const QMXMemoryTable table = toMemoryTable(covtest::makeTable(c.calls * 2, 2, 3, 0.0));
    CovRun run = runCov(table, {0}, {1}, 2);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.executeCalls, c.calls);
    EXPECT_EQ(allocatedNodes(*run.proc), c.nodes);
    EXPECT_EQ(rowsProcessed(*run.proc), c.calls * 2);
  }
}

// Drives the proc by hand over one buffer, to watch single execute calls.
class ManualCov {
 public:
  ManualCov(const QMXMemoryTable& table, long requestRows)
      : buf_(table.schema(), requestRows), reader_(&buf_), proc_(createCov()) {
    buf_.block().reset(table.schema());
    buf_.block() = table.block();
    reader_.setRequestRows(requestRows);
    reader_.setTotalNumRows(static_cast<std::int64_t>(table.numRows()));
    reader_.setEOF(true);  // every row is in the window
    proc_->attachInput(&reader_);
    proc_->setNumRows(requestRows);
  }
  QMXProc& proc() { return *proc_; }
  QMXBufReader& reader() { return reader_; }

 private:
  QMXBuf buf_;
  QMXBufReader reader_;
  std::unique_ptr<QMXProc> proc_;
};

TEST(QMXProcCov, OneCallExaminesAndReleasesAtMost1000Rows) {
  // Rows 0..999 hold 1 and 2, rows 1000..2499 hold 100 and 200: the means after the first call
  // show which rows it used.
  std::vector<double> x(2500, 100.0), y(2500, 200.0);
  for (long r = 0; r < 1000; ++r) {
    x[r] = 1.0 + (r % 2);
    y[r] = 2.0;
  }
  QMXMemoryTable table;
  table.addDoubleColumn("x", x).addDoubleColumn("y", y);
  ManualCov manual(table, 2500);
  defineColumns(manual.proc(), {0}, {1});
  manual.proc().init();
  ASSERT_EQ(manual.proc().getError(), nullptr);
  EXPECT_EQ(manual.reader().getRowsReady(), 2500);

  manual.proc().execute();
  EXPECT_EQ(manual.reader().releasedTotal(), 1000);
  EXPECT_EQ(manual.reader().getRowsReady(), 1500);
  EXPECT_EQ(rowsProcessed(manual.proc()), 1000);
  EXPECT_DOUBLE_EQ(getDouble(manual.proc(), "target.mean", {0}), 1.5);
  EXPECT_DOUBLE_EQ(getDouble(manual.proc(), "correlation.mean", {0}), 2.0);
  EXPECT_FALSE(manual.proc().isDone());

  manual.proc().execute();
  EXPECT_EQ(manual.reader().releasedTotal(), 2000);
  manual.proc().execute();
  EXPECT_EQ(manual.reader().releasedTotal(), 2500);
  EXPECT_TRUE(manual.proc().isDone());  // marked by the host after the last release
  EXPECT_EQ(rowsProcessed(manual.proc()), 2500);
  EXPECT_EQ(allocatedNodes(manual.proc()), 2);
  EXPECT_TRUE(manual.proc().getMessages().empty());
}

TEST(QMXProcCov, AllMissingChunkAddsNoRecordButReleasesItsRows) {
  // Three chunks of 4 rows; the middle chunk has a missing value in every row.
  std::vector<double> x = {1, 2, 3, 4, kNaN, 6, kNaN, 8, 9, 10, 11, 12};
  std::vector<double> y = {1, 0, 1, 0, 5, kNaN, 5, QMXObj::getDoubleNA(), 1, 1, 0, 0};
  QMXMemoryTable table;
  table.addDoubleColumn("x", x).addDoubleColumn("y", y);
  ManualCov manual(table, 12);
  manual.reader().setRequestRows(4);
  defineColumns(manual.proc(), {0}, {1});
  manual.proc().init();
  manual.proc().execute();
  EXPECT_EQ(rowsProcessed(manual.proc()), 4);
  EXPECT_EQ(allocatedNodes(manual.proc()), 1);

  manual.proc().execute();
  EXPECT_EQ(manual.reader().releasedTotal(), 8);
  EXPECT_EQ(rowsProcessed(manual.proc()), 4);
  EXPECT_EQ(allocatedNodes(manual.proc()), 1);

  manual.proc().execute();
  EXPECT_TRUE(manual.proc().isDone());
  EXPECT_EQ(rowsProcessed(manual.proc()), 8);
  EXPECT_EQ(allocatedNodes(manual.proc()), 2);
  EXPECT_DOUBLE_EQ(getDouble(manual.proc(), "target.mean", {0}), 6.5);
}

TEST(QMXProcCov, UndefinedAnswersAreNotANumber) {
  // No used row at all.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("x", {1, kNaN, 3}).addDoubleColumn("y", {kNaN, 2, kNaN});
    CovRun run = runCov(table, {0}, {1}, 2);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(rowsProcessed(*run.proc), 0);
    for (const char* name : {"cov.entry", "cor.entry", "matrix.entry"})
      EXPECT_TRUE(std::isnan(getDouble(*run.proc, name, {0, 0}))) << name;
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "target.mean", {0})));
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "correlation.mean", {0})));
  }
  // Exactly one used row.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("x", {1, kNaN, 3}).addDoubleColumn("y", {kNaN, 2, 5});
    CovRun run = runCov(table, {0}, {1}, 1);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(rowsProcessed(*run.proc), 1);
    EXPECT_EQ(getDouble(*run.proc, "matrix.entry", {0, 0}), 0.0);
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "cov.entry", {0, 0})));
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "cor.entry", {0, 0})));
    EXPECT_EQ(getDouble(*run.proc, "target.mean", {0}), 3.0);
  }
  // A constant target: covariance 0, correlation undefined.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("c", {4, 4, 4, 4, 4})
        .addDoubleColumn("y", {1, 5, 2, 8, 3})
        .addDoubleColumn("z", {2, 1, 2, 1, 2});
    for (const long chunk : {1L, 2L, 5L}) {
      CovRun run = runCov(table, {0, 1}, {1, 2}, chunk);
      ASSERT_TRUE(run.ok) << run.error;
      EXPECT_EQ(getDouble(*run.proc, "cov.entry", {0, 0}), 0.0);
      EXPECT_EQ(getDouble(*run.proc, "cov.entry", {0, 1}), 0.0);
      EXPECT_TRUE(std::isnan(getDouble(*run.proc, "cor.entry", {0, 0})));
      EXPECT_TRUE(std::isnan(getDouble(*run.proc, "cor.entry", {0, 1})));
      EXPECT_DOUBLE_EQ(getDouble(*run.proc, "cor.entry", {1, 0}), 1.0);
    }
  }
  // Positions out of range.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("x", {1, 2, 3}).addDoubleColumn("y", {3, 1, 2});
    CovRun run = runCov(table, {0}, {1}, 10);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_DOUBLE_EQ(getDouble(*run.proc, "cov.entry", {0, 0}), -0.5);
    const std::vector<std::vector<long>> bad = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {0}};
    for (const auto& index : bad) {
      for (const char* name : {"cov.entry", "cor.entry", "matrix.entry"})
        EXPECT_TRUE(std::isnan(getDouble(*run.proc, name, index))) << name;
    }
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "target.mean", {1})));
    EXPECT_TRUE(std::isnan(getDouble(*run.proc, "correlation.mean", {-1})));
  }
}

TEST(QMXProcCov, InitReportsMissingColumnDefinitions) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3}).addDoubleColumn("y", {3, 1, 2});
  {
    CovRun run = runCov(table, {}, {1}, 10);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "no target columns have been defined for correlation calculation");
    EXPECT_STREQ(run.proc->getError(),
                 "no target columns have been defined for correlation calculation");
    EXPECT_EQ(run.executeCalls, 0);
  }
  {
    CovRun run = runCov(table, {0}, {}, 10);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "no correlation columns have been defined for correlation calculation");
    EXPECT_EQ(run.executeCalls, 0);
  }
  // clear.calc.columns empties both lists.
  {
    ManualCov manual(table, 10);
    defineColumns(manual.proc(), {0}, {1});
    QMXPropertyInfo clear("clear.calc.columns");
    manual.proc().setProperty(&clear);
    manual.proc().init();
    EXPECT_STREQ(manual.proc().getError(),
                 "no target columns have been defined for correlation calculation");
    EXPECT_EQ(manual.reader().releasedTotal(), 0);
    // A host that calls execute anyway: no record, the rows are released, no crash.
    manual.proc().execute();
    EXPECT_EQ(manual.reader().releasedTotal(), 3);
    EXPECT_EQ(rowsProcessed(manual.proc()), 0);
  }
}

TEST(QMXProcCov, PrintMatrixWritesTheResultsToStandardOutput) {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1, 2, 3, 4, kNaN})
      .addDoubleColumn("b", {2, 4, 6, 9, 1})
      .addDoubleColumn("c", {10, 10, 10, 10, 10})
      .addDoubleColumn("d", {1, 0, 1, 0, 1});
  CovRun run = runCov(table, {0, 2}, {1, 3}, 2);
  ASSERT_TRUE(run.ok) << run.error;
  QMXPropertyInfo print("print.matrix");
  testing::internal::CaptureStdout();
  run.proc->setProperty(&print);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed,
            "covariance matrix=\n"
            "            1        3 \n"
            "i=0: 3.833333 -0.333333 \n"
            "i=2: 0.000000 0.000000 \n"
            "\n\n"
            "target means=\n"
            "2.500000 10.000000 \n\n"
            "correlation means=\n"
            "5.250000 0.500000 \n\n"
            "used rows = 4\n\n");

  // Before any row is used the means print as not-a-number and the row count as 0.
  QMXMemoryTable empty;
  empty.addDoubleColumn("a", {kNaN}).addDoubleColumn("b", {1});
  CovRun none = runCov(empty, {0}, {1}, 2);
  ASSERT_TRUE(none.ok) << none.error;
  testing::internal::CaptureStdout();
  none.proc->setProperty(&print);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "covariance matrix=\n"
            "            1 \n"
            "i=0: nan \n"
            "\n\n"
            "target means=\n"
            "nan \n\n"
            "correlation means=\n"
            "nan \n\n"
            "used rows = 0\n\n");
}

}  // namespace
