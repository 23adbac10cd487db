// The driver: reader windows, passes, outputs and failures, with the procs of TestProcs.h.
#include "qmxbase/QMXPipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <new>
#include <numeric>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "CaseFile.h"
#include "TestProcs.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryStatus.h"
#include "qmxbase/QMXMemoryTable.h"
#include "support/ProcHarness.h"

namespace {

QMXMemoryTable sampleTable(int rows) {
  std::vector<double> x(rows);
  std::vector<std::string> g(rows);
  for (int row = 0; row < rows; ++row) {
    x[row] = row % 5 == 4 ? NAN : row % 5;
    g[row] = row % 3 == 0 ? "" : (row % 3 == 1 ? "u" : "v");
  }
  QMXMemoryTable table;
  table.addDoubleColumn("x", x).addFactorColumn("g", g);
  return table;
}

const QMXSchema kCopySchema = {{"twice", QMXColumnType::Double, {}},
                               {"size", QMXColumnType::Factor, {}},
                               {"g", QMXColumnType::Factor, {}}};

// A source that fails on its second read.
class FailingSource : public QMXMemorySource {
 public:
  using QMXMemorySource::QMXMemorySource;
  std::size_t read(std::size_t maxRows, QMXRowBlock& block) override {
    if (++reads_ == 2) throw QMXDataError("data.csv: line 3: bad number 'x1'");
    return QMXMemorySource::read(maxRows, block);
  }

 private:
  int reads_ = 0;
};

}  // namespace

// One call per chunk: usable = min(ready, request), EOF once the last row is in the window,
// chunk position = global number of the first ready row. The release that exhausts the
// input marks the proc done, so no call sees a negative count, except on an empty input.
TEST(QMXPipeline, ReaderWindowAtChunkSizes) {
  for (int rows : {0, 20}) {
    std::vector<double> x(rows);
    std::iota(x.begin(), x.end(), 1.0);
    QMXMemoryTable table;
    table.addDoubleColumn("x", x);
    for (long chunk : {1L, 7L, 20L, 50L}) {
      for (std::size_t perRead : {0u, 3u}) {  // 3: a source that delivers fewer rows than asked
        QMXMemorySource source(table);
        source.setMaxRowsPerRead(perRead);
        SumProc proc;
        QMXPipeline run(proc, "SumProc");
        run.addInput(source);
        run.setChunkRows(chunk);
        ASSERT_TRUE(run.run()) << run.error();
        std::vector<SumProc::Call> expected;
        for (long first = 0; first < rows; first += chunk) {
          const long usable = std::min<long>(chunk, rows - first);
          expected.push_back({usable, usable, first + usable == rows, first, rows});
        }
        if (rows == 0) expected.push_back({-1, 0, true, 0, 0});
        EXPECT_EQ(proc.calls, expected) << "chunk " << chunk << " per read " << perRead;
        EXPECT_EQ(proc.sum, rows * (rows + 1) / 2.0);
        EXPECT_EQ(proc.getRowsDone(), rows);
        EXPECT_TRUE(proc.isDone());
        EXPECT_EQ(run.executeCalls(), static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(proc.getExecuteCount(), run.executeCalls());
      }
    }
  }
}

TEST(QMXPipeline, ThreePassesThroughRewinds) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3, 4, 5});
  for (long chunk : {1L, 2L, 5L}) {
    QMXMemorySource source(table);
    MultiPassProc proc;
    QMXPipeline run(proc, "MultiPassProc");
    run.addInput(source);
    run.setChunkRows(chunk);
    ASSERT_TRUE(run.run()) << run.error();
    EXPECT_EQ(proc.rowsPerPass, (std::vector<std::int64_t>{5, 5, 5})) << chunk;
    EXPECT_EQ(proc.passSums, (std::vector<double>{15, 15, 15})) << chunk;
    EXPECT_EQ(source.rewindCount(), 2);
  }
}

TEST(QMXPipeline, OutputRowsReachTheSinkInOrder) {
  const QMXMemoryTable table = sampleTable(17);
  for (long chunk : {1L, 7L, 17L}) {
    QMXMemorySource source(table);
    QMXMemorySink sink;
    CopyProc proc;
    QMXPipeline run(proc, "CopyProc");
    run.addInput(source);
    run.setOutput(kCopySchema, &sink);
    run.setChunkRows(chunk);
    std::vector<std::int64_t> progress;
    run.setProgressCallback([&](std::int64_t done, std::int64_t total) {
      progress.push_back(done);
      EXPECT_EQ(total, 17);
    });
    ASSERT_TRUE(run.run()) << run.error();
    EXPECT_EQ(sink.state(), QMXSinkState::Committed);
    const QMXMemoryTable& out = sink.table();
    ASSERT_EQ(out.numRows(), 17u);
    for (int row = 0; row < 17; ++row) {
      const double x = table.number(row, 0);
      EXPECT_EQ(show(out.number(row, 0)), show(2 * x)) << row;
      EXPECT_EQ(out.texts("size")[row], std::isnan(x) ? "" : x > 2 ? "big" : "small") << row;
    }
    EXPECT_EQ(out.texts("g"), table.texts("g"));
    EXPECT_EQ(proc.getOutputRowsDone(), 17);
    EXPECT_EQ(progress.back(), 17);
    EXPECT_EQ(progress.size(), static_cast<std::size_t>((17 + chunk - 1) / chunk));
  }
}

// Every way a run can fail ends it with a message and abandons the sink (a proc's setError:
// cases/run.txt).
TEST(QMXPipeline, FailuresAbandonTheSink) {
  class ThrowingProc : public CopyProc {
    void execute() override { throw std::runtime_error("chunk 1 broke"); }
  };
  class NoMemoryProc : public CopyProc {
    void execute() override { throw std::bad_alloc(); }
  };
  class BadColumnProc : public CopyProc {
    void execute() override {
      getInputBufReader(0)->getDouble(0, 12);
      CopyProc::execute();
    }
  };
  const QMXMemoryTable table = sampleTable(17);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"source", "data.csv: line 3: bad number 'x1'"},
      {"throw", "proc ThrowingProc failed: chunk 1 broke"},
      {"bad column", "column index 12 is outside the input buffer (2 columns)"},
      {"no memory", "not enough memory: running proc CopyProc"},
  };
  for (const auto& [what, message] : cases) {
    FailingSource failing(table);
    QMXMemorySource source(table);
    ThrowingProc throwing;
    BadColumnProc badColumn;
    NoMemoryProc noMemory;
    CopyProc copy;
    CopyProc& proc = what == "throw"        ? throwing
                     : what == "bad column" ? badColumn
                     : what == "no memory"  ? noMemory
                                            : copy;
    const std::string name = what == "throw" ? "ThrowingProc" : "CopyProc";
    QMXMemorySink sink;
    QMXPipeline run(proc, name);
    run.addInput(what == "source" ? failing : source);
    run.setOutput(kCopySchema, &sink);
    run.setChunkRows(5);
    EXPECT_FALSE(run.run()) << what;
    EXPECT_EQ(run.error(), message);
    EXPECT_EQ(sink.state(), QMXSinkState::Abandoned) << what;
    EXPECT_EQ(sink.table().numRows(), 0u) << what;
  }
}

// A chunk beyond the memory available fails before any buffer is allocated; one that just
// fits runs.
TEST(QMXPipeline, ChunkBeyondTheMemoryAvailable) {
  QMXSetMemoryBudget(40000);  // 1000 rows of (2 input + 3 output columns) * 8 bytes
  const QMXMemoryTable table = sampleTable(3);
  for (const long chunk : {1000L, 1001L}) {
    QMXMemorySource source(table);
    CopyProc proc;
    QMXMemorySink sink;
    QMXPipeline run(proc, "CopyProc");
    run.addInput(source);
    run.setOutput(kCopySchema, &sink);
    run.setChunkRows(chunk);
    EXPECT_EQ(run.run(), chunk == 1000) << run.error();
    EXPECT_EQ(run.error(), chunk == 1000 ? ""
                                         : "not enough memory: a chunk of 1001 rows of 40 bytes "
                                           "needs 40040 bytes, more than the 40000 available");
  }
  QMXSetMemoryBudget(0);
}

// Buffer counts of a run are checked through qmx run (cases/run.txt); the range form here.
TEST(QMXPipeline, BufferCountMessage) {
  QMXProc plain;
  plain.checkBufs(0, 2, 1, 3);
  EXPECT_STREQ(plain.getError(), "this proc takes 1 to 3 output buffers, 0 were attached");
}

// Like the covariance proc: returns on a negative row count without setDone.
TEST(QMXPipeline, ProcWithoutDoneIsEndedWhenInputIsOver) {
  class NoDoneProc : public QMXProc {
    void execute() override {
      const long n = executeRequestRows();
      if (n >= 0) getInputBufReader(0)->releaseRows(n);
    }
  };
  NoDoneProc proc;
  const qmxtest::ProcResult run =
      qmxtest::ProcHarness(proc, "NoDoneProc").input(sampleTable(4)).run(3);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(proc.isDone());
  EXPECT_EQ(proc.getExecuteCount(), 3);
}

// Reads input 0 a chunk at a time and input 1 one row per call; executeReleaseRows touches
// input 0 only.
TEST(QMXPipeline, SecondInputAdvancesAtTheProcsPace) {
  class TwoInputProc : public QMXProc {
   public:
    void init() override {
      QMXProc::init();
      checkBufs(2, 2, 0, 0);
    }
    void execute() override {
      const long n = executeRequestRows();
      QMXBufReader* second = getInputBufReader(1);
      if (second->getRowsReady() > 0) {
        seconds.push_back(second->getDouble(0, 0));
        second->releaseRows(1);
      }
      if (n < 0) return setDone(1);
      executeReleaseRows(n, 0);
    }
    std::vector<double> seconds;
  };
  QMXMemoryTable first, second;
  first.addDoubleColumn("a", {1, 2, 3, 4, 5, 6});
  second.addDoubleColumn("b", {10, 20, 30, 40, 50});
  TwoInputProc proc;
  const qmxtest::ProcResult run =
      qmxtest::ProcHarness(proc, "TwoInputProc").input(first).input(second).run(2);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(proc.seconds, (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(proc.getRowsDone(), 6);
}
