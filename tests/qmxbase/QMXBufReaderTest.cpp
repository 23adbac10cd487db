// Reader window semantics as a proc sees them through the driver.
#include "qmxbase/QMXBufReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "TestProcs.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"

namespace {

QMXMemoryTable numbersTable(int rows) {
  std::vector<double> x(rows);
  std::iota(x.begin(), x.end(), 1.0);
  QMXMemoryTable table;
  table.addDoubleColumn("x", x);
  return table;
}

}  // namespace

TEST(QMXBufReader, WindowAtChunkSizes) {
  const int rows = 20;
  const QMXMemoryTable table = numbersTable(rows);
  for (long chunk : {1L, 7L, 20L, 50L}) {
    for (std::size_t perRead : {0u, 3u}) {  // 3: a source that delivers fewer rows than asked
      QMXMemorySource source(table);
      source.setMaxRowsPerRead(perRead);
      SumProc proc;
      QMXPipeline run(proc, "SumProc");
      run.addInput(source);
      run.setChunkRows(chunk);
      ASSERT_TRUE(run.run()) << run.error();
      EXPECT_DOUBLE_EQ(proc.sum, rows * (rows + 1) / 2.0);
      EXPECT_FALSE(proc.mismatch);
      EXPECT_EQ(proc.getRowsDone(), rows);
      EXPECT_TRUE(proc.isDone());
      // One call per chunk: usable = min(ready, request), EOF once the last row is in the
      // window, chunk position = global number of the first ready row. The release that
      // exhausts the input marks the proc done, so no call sees a negative count.
      std::vector<SumProc::Call> expected;
      for (long first = 0; first < rows; first += chunk) {
        const long usable = std::min<long>(chunk, rows - first);
        expected.push_back({usable, usable, first + usable == rows, first, rows});
      }
      EXPECT_EQ(proc.calls, expected) << "chunk " << chunk << " per read " << perRead;
      EXPECT_EQ(run.executeCalls(), static_cast<std::int64_t>(expected.size()));
    }
  }
}

TEST(QMXBufReader, EmptyInputEndsAtOnce) {
  const QMXMemoryTable table = numbersTable(0);
  QMXMemorySource source(table);
  SumProc proc;
  QMXPipeline run(proc, "SumProc");
  run.addInput(source);
  ASSERT_TRUE(run.run()) << run.error();
  EXPECT_EQ(proc.calls, (std::vector<SumProc::Call>{{-1, 0, true, 0, 0}}));
}

TEST(QMXBufReader, CellAccessByColumnType) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1.5, NAN, 3})
      .addFactorColumn("g", {"b", "", "a"})
      .addStringColumn("s", {"one", "two", "three"});
  QMXBuf buf(table.schema(), 3);
  buf.setLabel("input buffer");
  QMXMemorySource source(table);
  ASSERT_EQ(source.read(10, buf.block()), 3u);
  QMXBufReader reader(&buf);
  reader.setRequestRows(3);
  reader.addRowsDelivered(3);  // as the driver does after a read
  EXPECT_EQ(reader.getRowsReady(), 3);
  EXPECT_EQ(reader.getChunkPosition(), 0);
  EXPECT_DOUBLE_EQ(reader.getDouble(0, 0), 1.5);
  EXPECT_TRUE(std::isnan(reader.getDouble(1, 0)));
  EXPECT_DOUBLE_EQ(reader.getDouble(0, 1), 0.0);  // levels in order of appearance: b, a
  EXPECT_DOUBLE_EQ(reader.getDouble(2, 1), 1.0);
  EXPECT_TRUE(std::isnan(reader.getDouble(1, 1)));
  EXPECT_TRUE(std::isnan(reader.getDouble(0, 2)));  // string columns have no numbers
  EXPECT_EQ(reader.getLevelNum(0, 1), 0);
  EXPECT_EQ(reader.getLevelNum(1, 1), QMXObj::getLevelNumNA());
  EXPECT_STREQ(reader.getString(2, 1), "a");
  EXPECT_EQ(reader.getString(1, 1), nullptr);
  EXPECT_STREQ(reader.getString(1, 2), "two");
  EXPECT_STREQ(buf.mapDoubleToLevel(1, 1.0), "a");
  EXPECT_EQ(buf.mapDoubleToLevel(1, NAN), nullptr);
  EXPECT_EQ(buf.mapDoubleToLevel(1, 2.0), nullptr);
  EXPECT_EQ(buf.getNumLevels(1), 2);
  EXPECT_STREQ(buf.getLevelName(1, 0), "b");
  EXPECT_TRUE(buf.columnTypeIsFactor(1));
  EXPECT_TRUE(buf.columnTypeIsString(2));
  EXPECT_FALSE(buf.columnTypeIsFactor(0));
  double out[3];
  EXPECT_EQ(reader.getDoubleArray(1, 1, 2, out), 2);
  EXPECT_TRUE(std::isnan(out[0]));
  EXPECT_DOUBLE_EQ(out[1], 1.0);
  EXPECT_EQ(buf.accessProblem(), "");

  reader.releaseRows(2);
  EXPECT_EQ(reader.getRowsReady(), 1);
  EXPECT_STREQ(reader.getString(0, 2), "three");
  EXPECT_EQ(reader.getChunkPosition(), 2);
  reader.releaseAll();
  EXPECT_EQ(reader.getRowsReady(), 0);
}

TEST(QMXBufReader, BadIndexesNeverCrash) {
  struct Case {
    const char* what;
    std::function<void(QMXBufReader&)> access;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {"column", [](QMXBufReader& r) { EXPECT_TRUE(std::isnan(r.getDouble(0, 12))); },
       "column index 12 is outside the input buffer (10 columns)"},
      {"negative column", [](QMXBufReader& r) { EXPECT_EQ(r.getString(0, -1), nullptr); },
       "column index -1 is outside the input buffer (10 columns)"},
      {"row", [](QMXBufReader& r) { EXPECT_TRUE(std::isnan(r.getDouble(5, 0))); },
       "row index 5 is outside the ready rows of the input buffer (5 rows)"},
      {"array",
       [](QMXBufReader& r) {
         double out[8];
         EXPECT_EQ(r.getDoubleArray(2, 0, 4, out), 0);
       },
       "row index 5 is outside the ready rows of the input buffer (5 rows)"},
      {"level", [](QMXBufReader& r) { EXPECT_EQ(r.getLevelNum(0, 3), -1); },
       "getLevelNum: column 3 of the input buffer is not a factor column"},
      {"string", [](QMXBufReader& r) { EXPECT_EQ(r.getString(0, 3), nullptr); },
       "getString: column 3 of the input buffer is a double column"},
      {"release", [](QMXBufReader& r) { r.releaseRows(6); },
       "cannot release 6 rows of the input buffer: only 5 are ready"},
      {"position", [](QMXBufReader& r) { r.setChunkPosition(3); },
       "setChunkPosition(3) on the input buffer: only 0 (a new pass) is supported"},
  };
  for (const Case& c : cases) {
    QMXMemoryTable table;
    for (int col = 0; col < 10; ++col)
      table.addDoubleColumn("c" + std::to_string(col), {1, 2, 3, 4, 5});
    QMXBuf buf(table.schema(), 5);
    buf.setLabel("input buffer");
    QMXMemorySource source(table);
    source.read(5, buf.block());
    QMXBufReader reader(&buf);
    reader.setRequestRows(5);
    c.access(reader);
    EXPECT_EQ(buf.accessProblem(), c.problem) << c.what;
  }
}

TEST(QMXBufReader, BadIndexEndsTheRun) {
  class BadColumnProc : public QMXProc {
   public:
    void execute() override {
      getInputBufReader(0)->getDouble(0, 12);
      executeReleaseRows(executeRequestRows(), 0);
    }
  };
  QMXMemoryTable table;
  for (int col = 0; col < 10; ++col)
    table.addDoubleColumn("c" + std::to_string(col), {1, 2, 3});
  QMXMemorySource source(table);
  BadColumnProc proc;
  QMXPipeline run(proc, "BadColumnProc");
  run.addInput(source);
  EXPECT_FALSE(run.run());
  EXPECT_EQ(run.error(), "column index 12 is outside the input buffer (10 columns)");
}
