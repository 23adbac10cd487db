#include "qmxbase/QMXCsvSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXCsvTestFiles.h"
#include "qmxbase/QMXDataError.h"

namespace {

QMXSchema testSchema() {
  QMXSchema schema(3);
  schema[0].name = "x";
  schema[1].name = "g, \"quoted\"";
  schema[1].type = QMXColumnType::Factor;
  schema[1].levels = {"hi, mid", "lo", "say \"hi\""};  // byte order, as read back
  schema[2].name = "s";
  schema[2].type = QMXColumnType::String;
  return schema;
}

QMXRowBlock testBlock(const QMXSchema& schema) {
  QMXRowBlock block;
  block.reset(schema);
  block.numbers[0] = {1.0 / 3.0, -2.5e-7, 1e20, std::nan(""), HUGE_VAL, -HUGE_VAL, 42};
  block.numbers[1] = {0, 1, 2, std::nan(""), 0, 1, 2};
  block.texts[2] = {"plain", "a,b", "line\nbreak", "", "q\"q", "cr\r\nlf", "last"};
  block.missingText[2] = {false, false, false, true, false, false, false};
  block.rows = 7;
  return block;
}

}  // namespace

TEST(QMXCsvSink, WritesRLikeText) {
  QMXCsvTempDir dir;
  const std::string path = dir.path("out.csv");
  const QMXSchema schema = testSchema();
  const QMXRowBlock block = testBlock(schema);
  QMXCsvSink sink(path);
  sink.begin(schema);
  sink.write(schema, block, 0, 4);
  sink.write(schema, block, 4, 3);
  EXPECT_TRUE(std::filesystem::exists(path + ".tmp"));
  EXPECT_FALSE(std::filesystem::exists(path));
  sink.commit();
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_EQ(qmxReadFile(path),
            "x,\"g, \"\"quoted\"\"\",s\n"
            "0.333333333333333,\"hi, mid\",plain\n"
            "-2.5e-07,lo,\"a,b\"\n"
            "1e+20,\"say \"\"hi\"\"\",\"line\nbreak\"\n"
            "NA,NA,NA\n"
            "Inf,\"hi, mid\",\"q\"\"q\"\n"
            "-Inf,lo,\"cr\r\nlf\"\n"
            "42,\"say \"\"hi\"\"\",last\n");
}

// Written rows read back as the same values (numbers to 15 significant digits).
TEST(QMXCsvSink, RoundTripThroughTheSource) {
  QMXCsvTempDir dir;
  const std::string path = dir.path("round.csv");
  const QMXSchema schema = testSchema();
  const QMXRowBlock block = testBlock(schema);
  {
    QMXCsvSink sink(path);
    sink.begin(schema);
    sink.write(schema, block, 0, block.rows);
    sink.commit();
  }
  QMXCsvOptions options;
  options.maxLevels = 5;  // s has 6 distinct texts: a string column again
  QMXCsvSource source(path, options);
  EXPECT_EQ(source.schema(), schema);
  QMXRowBlock back;
  back.reset(source.schema());
  EXPECT_EQ(source.read(100, back), block.rows);
  for (std::size_t rowIdx = 0; rowIdx < block.rows; ++rowIdx) {
    const double want = block.numbers[0][rowIdx];
    const double got = back.numbers[0][rowIdx];
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(got));
    else if (std::isinf(want))
      EXPECT_EQ(got, want);
    else
      EXPECT_NEAR(got, want, std::fabs(want) * 1e-14) << rowIdx;  // 15 significant digits
  }
  EXPECT_EQ(std::memcmp(back.numbers[1].data(), block.numbers[1].data(), 7 * sizeof(double)), 0);
  EXPECT_EQ(back.texts[2], block.texts[2]);
  EXPECT_EQ(back.missingText[2], block.missingText[2]);
}

TEST(QMXCsvSink, AbandonAndDestructionLeaveNoFile) {
  QMXCsvTempDir dir;
  const QMXSchema schema = testSchema();
  const QMXRowBlock block = testBlock(schema);
  const std::string abandoned = dir.path("abandoned.csv");
  {
    QMXCsvSink sink(abandoned);
    sink.begin(schema);
    sink.write(schema, block, 0, block.rows);
    sink.abandon();
    EXPECT_FALSE(std::filesystem::exists(abandoned + ".tmp"));
  }
  const std::string dropped = dir.path("dropped.csv");
  try {
    QMXCsvSink sink(dropped);
    sink.begin(schema);
    sink.write(schema, block, 0, block.rows);
    EXPECT_TRUE(std::filesystem::exists(dropped + ".tmp"));
    throw std::runtime_error("run failed");
  } catch (const std::runtime_error&) {
  }
  for (const std::string& path : {abandoned, dropped}) {
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << path;
  }
}

// A full disk: the temporary name points at /dev/full, so the write fails with ENOSPC.
TEST(QMXCsvSink, DiskFullIsAnError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  QMXCsvTempDir dir;
  const std::string path = dir.path("full.csv");
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  const QMXSchema schema = testSchema();
  QMXCsvSink sink(path);
  sink.begin(schema);
  sink.write(schema, testBlock(schema), 0, 7);
  try {
    sink.commit();
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write " + path + ".tmp: No space left on device");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));
}

TEST(QMXCsvSink, OtherErrors) {
  QMXCsvTempDir dir;
  const std::string nowhere = dir.path("no/such/dir/out.csv");
  try {
    QMXCsvSink sink(nowhere);
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot create " + nowhere + ".tmp: No such file or directory");
  }
  const std::string path = dir.path("bad.csv");
  QMXSchema schema = testSchema();
  QMXRowBlock block = testBlock(schema);
  block.numbers[1][0] = 3;
  QMXCsvSink sink(path);
  sink.begin(schema);
  try {
    sink.write(schema, block, 0, 1);
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_EQ(std::string(e.what()),
              path + ".tmp: column 'g, \"quoted\"': level number 3 out of range (3 levels)");
  }
  // A directory in the way of the final name: the rename fails, nothing is left behind.
  std::filesystem::create_directories(path + "/inside");
  try {
    sink.commit();
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot rename " + path + ".tmp to " + path + ": Is a directory");
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}
