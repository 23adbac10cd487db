#include "qmxbase/QMXPipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestProcs.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"

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

QMXSchema copySchema() {
  return {{"twice", QMXColumnType::Double, {}},
          {"size", QMXColumnType::Factor, {}},
          {"g", QMXColumnType::Factor, {}}};
}

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

TEST(QMXPipeline, PropertiesThenOnePassSum) {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1, 2, 3}).addDoubleColumn("b", {10, NAN, 30});
  QMXMemorySource source(table);
  SumProc proc;
  QMXPipeline run(proc, "SumProc");
  run.addInput(source);
  run.setChunkRows(2);
  QMXPropertyInfo column("sum.column", {"1"});
  ASSERT_TRUE(run.setProperty(column)) << run.error();
  ASSERT_TRUE(run.run()) << run.error();
  QMXPropertyInfo sum("sum");
  ASSERT_TRUE(run.getProperty(sum));
  EXPECT_EQ(sum.answerText(), "40");
  QMXPropertyInfo scaled("scaled.sum", {"0.5"});
  ASSERT_TRUE(run.getProperty(scaled));
  EXPECT_EQ(scaled.answerText(), "20");
  EXPECT_EQ(proc.getNumRows(), 2);
  EXPECT_EQ(proc.getExecuteCount(), 2);
}

TEST(QMXPipeline, PropertyErrors) {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1});
  QMXMemorySource source(table);
  struct Case {
    bool set;
    const char* name;
    std::vector<std::string> values;
    std::string message;
  };
  const std::vector<Case> cases = {
      {true, "sum.column", {"abc"}, "property sum.column: 'abc' is not an integer"},
      {true, "no.such.thing", {"1"}, "unknown property no.such.thing"},
      {false, "cor.entry", {}, "unknown property cor.entry"},
  };
  for (const Case& c : cases) {
    SumProc proc;
    QMXPipeline run(proc, "SumProc");
    run.addInput(source);
    QMXPropertyInfo property(c.name, c.values);
    EXPECT_FALSE(c.set ? run.setProperty(property) : run.getProperty(property));
    EXPECT_EQ(run.error(), c.message);
  }
}

TEST(QMXPipeline, ThreePassesThroughRewinds) {
  const QMXMemoryTable table = sampleTable(23);
  for (long chunk : {1L, 7L, 23L}) {
    QMXMemorySource source(table);
    MultiPassProc proc;
    QMXPipeline run(proc, "MultiPassProc");
    run.addInput(source);
    run.setChunkRows(chunk);
    // The column holds NaNs: count rows per pass here, compare sums on a clean column below.
    ASSERT_TRUE(run.run()) << run.error();
    EXPECT_EQ(proc.rowsPerPass, (std::vector<std::int64_t>{23, 23, 23})) << chunk;
    EXPECT_EQ(source.rewindCount(), 2);
    EXPECT_TRUE(proc.isDone());
  }
  QMXMemoryTable clean;
  clean.addDoubleColumn("x", {1, 2, 3, 4, 5});
  QMXMemorySource source(clean);
  MultiPassProc proc;
  QMXPipeline run(proc, "MultiPassProc");
  run.addInput(source);
  run.setChunkRows(2);
  ASSERT_TRUE(run.run()) << run.error();
  EXPECT_EQ(proc.passSums, (std::vector<double>{15, 15, 15}));
}

TEST(QMXPipeline, NoProgressStopsTheRun) {
  const QMXMemoryTable table = sampleTable(10);
  QMXMemorySource source(table);
  NoReleaseProc proc;
  QMXPipeline run(proc, "NoReleaseProc");
  run.addInput(source);
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(),
            "proc NoReleaseProc made no progress: 3 calls to execute released no rows, wrote no "
            "rows and did not finish");
  EXPECT_EQ(run.executeCalls(), 3);
}

TEST(QMXPipeline, OutputRowsReachTheSinkInOrder) {
  const QMXMemoryTable table = sampleTable(17);
  for (long chunk : {1L, 7L, 17L}) {
    QMXMemorySource source(table);
    QMXMemorySink sink;
    CopyProc proc;
    QMXPipeline run(proc, "CopyProc");
    run.addInput(source);
    run.setOutput(copySchema(), &sink);
    run.setChunkRows(chunk);
    ASSERT_TRUE(run.run()) << run.error();
    EXPECT_EQ(sink.state(), QMXSinkState::Committed);
    const QMXMemoryTable& out = sink.table();
    ASSERT_EQ(out.numRows(), 17u);
    std::vector<std::string> sizes;
    for (int row = 0; row < 17; ++row) {
      const double x = table.number(row, 0);
      if (std::isnan(x)) {
        EXPECT_TRUE(std::isnan(out.number(row, 0)));
        sizes.push_back("");
      } else {
        EXPECT_DOUBLE_EQ(out.number(row, 0), 2 * x);
        sizes.push_back(x > 2 ? "big" : "small");
      }
    }
    EXPECT_EQ(out.texts("size"), sizes);
    EXPECT_EQ(out.texts("g"), table.texts("g"));
    EXPECT_EQ(out.schema()[1].levels, (std::vector<std::string>{"small", "big"}));
    EXPECT_EQ(proc.getOutputRowsDone(), 17);
  }
}

TEST(QMXPipeline, FailureAbandonsTheSink) {
  const QMXMemoryTable table = sampleTable(17);
  QMXMemorySource source(table);
  QMXMemorySink sink;
  CopyProc proc;
  QMXPipeline run(proc, "CopyProc");
  run.addInput(source);
  run.setOutput(copySchema(), &sink);
  run.setChunkRows(5);
  QMXPropertyInfo failAt("fail.at.row", {"12"});
  ASSERT_TRUE(run.setProperty(failAt));
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(), "bad row: 12");
  EXPECT_EQ(sink.state(), QMXSinkState::Abandoned);
  EXPECT_EQ(sink.table().numRows(), 0u);
}

TEST(QMXPipeline, SourceErrorAbandonsTheSink) {
  const QMXMemoryTable table = sampleTable(17);
  FailingSource source(table);
  QMXMemorySink sink;
  CopyProc proc;
  QMXPipeline run(proc, "CopyProc");
  run.addInput(source);
  run.setOutput(copySchema(), &sink);
  run.setChunkRows(5);
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(), "data.csv: line 3: bad number 'x1'");
  EXPECT_EQ(sink.state(), QMXSinkState::Abandoned);
}

TEST(QMXPipeline, BufferCountsAreChecked) {
  const QMXMemoryTable table = sampleTable(3);
  struct Case {
    int inputs;
    bool output;
    const char* error;
  };
  for (const Case& c : std::vector<Case>{
           {0, true, "this proc takes 1 input buffer, 0 were attached"},
           {2, true, "this proc takes 1 input buffer, 2 were attached"},
           {1, false, "this proc takes 1 output buffer, 0 were attached"},
       }) {
    QMXMemorySource first(table);
    QMXMemorySource second(table);
    CopyProc proc;
    QMXPipeline run(proc, "CopyProc");
    if (c.inputs > 0) run.addInput(first);
    if (c.inputs > 1) run.addInput(second);
    if (c.output) run.setOutput(copySchema(), nullptr);
    EXPECT_FALSE(run.run());
    EXPECT_EQ(run.error(), c.error);
  }
  QMXMemorySource source(table);
  MultiPassProc proc;  // checkBufs(1, 1, 0, 1)
  QMXPipeline run(proc, "MultiPassProc");
  run.setOutput(copySchema(), nullptr);
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(), "this proc takes 1 input buffer, 0 were attached");
  QMXProc plain;
  plain.checkBufs(0, 2, 1, 3);
  EXPECT_STREQ(plain.getError(), "this proc takes 1 to 3 output buffers, 0 were attached");
}

TEST(QMXPipeline, ProcWithoutDoneIsEndedWhenInputIsOver) {
  // Like the covariance proc: returns on a negative row count without setDone.
  class NoDoneProc : public QMXProc {
   public:
    void execute() override {
      const long n = executeRequestRows();
      if (n < 0) return;
      getInputBufReader(0)->releaseRows(n);
    }
  };
  const QMXMemoryTable table = sampleTable(4);
  QMXMemorySource source(table);
  NoDoneProc proc;
  QMXPipeline run(proc, "NoDoneProc");
  run.addInput(source);
  run.setChunkRows(3);
  ASSERT_TRUE(run.run()) << run.error();
  EXPECT_TRUE(proc.isDone());
  EXPECT_EQ(run.executeCalls(), 3);
}

TEST(QMXPipeline, ProgressAndMessages) {
  const QMXMemoryTable table = sampleTable(10);
  QMXMemorySource source(table);
  SumProc proc;
  std::vector<std::string> messages;
  proc.setMessageListener([&](const QMXMessage& m) { messages.push_back(m.text); });
  QMXPipeline run(proc, "SumProc");
  run.addInput(source);
  run.setChunkRows(4);
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  run.setProgressCallback(
      [&](std::int64_t done, std::int64_t total) { progress.emplace_back(done, total); });
  ASSERT_TRUE(run.run()) << run.error();
  EXPECT_EQ(progress,
            (std::vector<std::pair<std::int64_t, std::int64_t>>{{4, 10}, {8, 10}, {10, 10}}));
  EXPECT_TRUE(messages.empty());
}

TEST(QMXPipeline, EscapingExceptionsEndTheRun) {
  class ThrowingProc : public QMXProc {
   public:
    void execute() override { throw std::runtime_error("chunk 1 broke"); }
  };
  const QMXMemoryTable table = sampleTable(3);
  QMXMemorySource source(table);
  QMXMemorySink sink;
  ThrowingProc proc;
  QMXPipeline run(proc, "ThrowingProc");
  run.addInput(source);
  run.setOutput(copySchema(), &sink);
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(), "proc ThrowingProc failed: chunk 1 broke");
  EXPECT_EQ(sink.state(), QMXSinkState::Abandoned);
}

TEST(QMXPipeline, SecondInputAdvancesAtTheProcsPace) {
  // Reads input 0 a chunk at a time and input 1 one row per call; executeReleaseRows touches
  // input 0 only.
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
      if (n < 0) {
        setDone(1);
        return;
      }
      executeReleaseRows(n, 0);
    }
    std::vector<double> seconds;
  };
  QMXMemoryTable first;
  first.addDoubleColumn("a", {1, 2, 3, 4, 5, 6});
  QMXMemoryTable second;
  second.addDoubleColumn("b", {10, 20, 30, 40, 50});
  QMXMemorySource firstSource(first);
  QMXMemorySource secondSource(second);
  TwoInputProc proc;
  QMXPipeline run(proc, "TwoInputProc");
  run.addInput(firstSource);
  run.addInput(secondSource);
  run.setChunkRows(2);
  ASSERT_TRUE(run.run()) << run.error();
  EXPECT_EQ(proc.seconds, (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(run.inputBuf(1)->label(), "input buffer 2");
  EXPECT_EQ(proc.getRowsDone(), 6);
}
