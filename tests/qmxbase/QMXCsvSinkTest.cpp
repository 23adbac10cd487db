// The sink's file handling; its text format is checked by the case table (QMXCsvCasesTest).
#include "qmxbase/QMXCsvSink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "CaseFile.h"

namespace {

const QMXSchema kSchema = {{"x", QMXColumnType::Double, {}},
                           {"g, \"q\"", QMXColumnType::Factor, {"a", "b", "c"}}};

QMXRowBlock block(double level) {
  QMXRowBlock rows;
  rows.reset(kSchema);
  rows.numbers = {{1.5, 2}, {0, level}};
  rows.rows = 2;
  return rows;
}

}  // namespace

// Rows go to <path>.tmp, renamed on commit; abandon, destruction without commit and every
// failure leave neither file.
TEST(QMXCsvSink, OnlyACommittedFileAppears) {
  TempDir dir;
  const std::string path = dir.path("out.csv");
  const auto written = [&](const std::function<void(QMXCsvSink&)>& end) {
    {
      QMXCsvSink sink(path);
      sink.begin(kSchema);
      sink.write(kSchema, block(2), 0, 2);
      EXPECT_TRUE(std::filesystem::exists(path + ".tmp"));
      EXPECT_FALSE(std::filesystem::exists(path));
      end(sink);
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    const bool exists = std::filesystem::exists(path);
    std::filesystem::remove(path);
    return exists;
  };
  EXPECT_TRUE(written([](QMXCsvSink& sink) { sink.commit(); }));
  EXPECT_FALSE(written([](QMXCsvSink& sink) { sink.abandon(); }));
  EXPECT_FALSE(written([](QMXCsvSink&) {}));

  const std::string nowhere = dir.path("no/such/dir/out.csv");
  EXPECT_EQ(dataErrorOf([&] { QMXCsvSink sink(nowhere); }),
            "cannot create " + nowhere + ".tmp: No such file or directory");
  QMXCsvSink bad(path);
  bad.begin(kSchema);
  EXPECT_EQ(dataErrorOf([&] { bad.write(kSchema, block(3), 0, 2); }),
            path + ".tmp: column 'g, \"q\"': level number 3 out of range (3 levels)");
  // A directory in the way of the final name: the rename fails.
  std::filesystem::create_directories(path + "/inside");
  EXPECT_EQ(dataErrorOf([&] { bad.commit(); }),
            "cannot rename " + path + ".tmp to " + path + ": Is a directory");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

// A full disk: the temporary name points at /dev/full, so the write fails with ENOSPC.
TEST(QMXCsvSink, DiskFullIsAnError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  const std::string path = dir.path("full.csv");
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  QMXCsvSink sink(path);
  sink.begin(kSchema);
  sink.write(kSchema, block(1), 0, 2);
  EXPECT_EQ(dataErrorOf([&] { sink.commit(); }),
            "cannot write " + path + ".tmp: No space left on device");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));

  // Megabytes of rows reach the file while they are written (on the formatting thread when
  // there is one): the failure comes out of a later write or the commit.
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  QMXRowBlock many;
  many.reset(kSchema);
  many.numbers = {std::vector<double>(5000, 0.1), std::vector<double>(5000, 1)};
  many.rows = 5000;
  QMXCsvSink big(path);
  big.begin(kSchema);
  int chunks = 0;
  EXPECT_EQ(dataErrorOf([&] {
              for (; chunks < 200; ++chunks)
                big.write(kSchema, many, 0, many.rows);
              big.commit();
            }),
            "cannot write " + path + ".tmp: No space left on device");
  EXPECT_LT(chunks, 200);  // a write failed, not only the commit
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::is_symlink(path + ".tmp"));
}
