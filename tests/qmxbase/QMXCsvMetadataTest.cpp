#include "qmxbase/QMXCsvMetadata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvTestFiles.h"
#include "qmxbase/QMXDataError.h"
#include "support/RefCsv.h"

namespace {

const std::string kRefDir = QMX_TEST_REF_DIR "/qmxbase";
const std::string kExamplesDir = QMX_TEST_REF_DIR "/../../examples";

std::string levelsText(const QMXCsvColumnSummary& column) {
  std::string out;
  for (std::size_t levelIdx = 0; levelIdx < column.info.levels.size(); ++levelIdx) {
    if (levelIdx > 0) out += ";";
    out += column.info.levels[levelIdx] + ":" + std::to_string(column.levelCounts[levelIdx]);
  }
  return out;
}

}  // namespace

// Column types, counts, levels in byte order and min/max/mean/sd against R's read.csv,
// min, max, mean and sd (tests/ref/qmxbase/csv_metadata.R). Tolerance: 1e-13 relative
// (Welford's running mean and R's two-pass mean differ in the last bits).
TEST(QMXCsvMetadata, MatchesRSummaries) {
  std::string currentFile;
  QMXCsvMetadata meta;
  std::size_t colIdx = 0;
  int checked = 0;
  for (const RefRow& row : readRefCsv("qmxbase", "csv_metadata_summary.csv")) {
    if (row.text("file") != currentFile) {
      currentFile = row.text("file");
      const std::string dir = currentFile.rfind("csv_metadata", 0) == 0 ? kRefDir : kExamplesDir;
      meta = scanCsvMetadata(dir + "/" + currentFile);
      colIdx = 0;
      EXPECT_EQ(meta.rows, row.num("rows")) << currentFile;
    }
    ASSERT_LT(colIdx, meta.columns.size()) << currentFile;
    const QMXCsvColumnSummary& column = meta.columns[colIdx++];
    SCOPED_TRACE(currentFile + " " + row.text("column"));
    EXPECT_EQ(column.info.name, row.text("column"));
    EXPECT_EQ(QMXColumnTypeName(column.info.type), row.text("type"));
    EXPECT_EQ(column.count, row.num("n"));
    EXPECT_EQ(column.missing, row.num("missing"));
    if (row.text("type") == "double") {
      EXPECT_EQ(column.min, row.num("min"));
      EXPECT_EQ(column.max, row.num("max"));
      EXPECT_NEAR(column.mean, row.num("mean"), 1e-13 * std::fabs(row.num("mean")));
      EXPECT_NEAR(column.sd, row.num("sd"), 1e-13 * row.num("sd"));
    } else {
      EXPECT_EQ(levelsText(column), row.text("levels"));
    }
    ++checked;
  }
  EXPECT_EQ(checked, 12 + 5 + 3);
}

// Small hand-computed cases: missing markers, NaN and Inf in numeric columns, byte order
// of levels, numbers that make a column a factor when mixed with text.
TEST(QMXCsvMetadata, HandComputedColumns) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("h.csv",
                                     "num,inf,nan,mix,empty\n"
                                     "1,Inf,NaN,10,\n"
                                     "2,1,1,b,NA\n"
                                     "NA,-3,3,10,\n"
                                     "6,4,NA,B,\n"
                                     ",2,5,a,NA\n");
  const QMXCsvMetadata meta = scanCsvMetadata(path);
  EXPECT_EQ(meta.rows, 5);
  ASSERT_EQ(meta.columns.size(), 5u);
  const auto& num = meta.columns[0];
  EXPECT_EQ(num.info.type, QMXColumnType::Double);
  EXPECT_EQ(num.count, 3);
  EXPECT_EQ(num.missing, 2);
  EXPECT_EQ(num.min, 1.0);
  EXPECT_EQ(num.max, 6.0);
  EXPECT_DOUBLE_EQ(num.mean, 3.0);
  EXPECT_DOUBLE_EQ(num.sd, std::sqrt(7.0));  // deviations -2,-1,3: 14 / 2
  const auto& inf = meta.columns[1];
  EXPECT_EQ(inf.info.type, QMXColumnType::Double);
  EXPECT_EQ(inf.count, 5);
  EXPECT_EQ(inf.min, -3.0);
  EXPECT_TRUE(std::isinf(inf.max) && inf.max > 0);
  EXPECT_TRUE(std::isinf(inf.mean) && inf.mean > 0);  // R: mean(c(Inf,1,-3,4,2)) is Inf
  EXPECT_TRUE(std::isnan(inf.sd));                    // R: sd(...) is NaN
  const auto& nan = meta.columns[2];
  EXPECT_EQ(nan.info.type, QMXColumnType::Double);
  EXPECT_EQ(nan.count, 3);  // "NaN" is read as a number and stored as missing
  EXPECT_EQ(nan.missing, 2);
  EXPECT_DOUBLE_EQ(nan.mean, 3.0);
  EXPECT_DOUBLE_EQ(nan.sd, 2.0);
  const auto& mix = meta.columns[3];
  EXPECT_EQ(mix.info.type, QMXColumnType::Factor);
  EXPECT_EQ(mix.info.levels, (std::vector<std::string>{"10", "B", "a", "b"}));
  EXPECT_EQ(mix.levelCounts, (std::vector<std::int64_t>{2, 1, 1, 1}));
  EXPECT_TRUE(std::isnan(mix.mean));
  const auto& empty = meta.columns[4];
  EXPECT_EQ(empty.info.type, QMXColumnType::Double);
  EXPECT_EQ(empty.count, 0);
  EXPECT_EQ(empty.missing, 5);
  EXPECT_TRUE(std::isnan(empty.min) && std::isnan(empty.max) && std::isnan(empty.mean) &&
              std::isnan(empty.sd));
  EXPECT_EQ(meta.schema()[3].levels, mix.info.levels);
}

TEST(QMXCsvMetadata, SingleValueHasNoSd) {
  QMXCsvTempDir dir;
  const QMXCsvMetadata meta = scanCsvMetadata(dir.write("one.csv", "x\n4.5\n"));
  EXPECT_EQ(meta.columns[0].mean, 4.5);
  EXPECT_TRUE(std::isnan(meta.columns[0].sd));
}

TEST(QMXCsvMetadata, CustomMissingMarkers) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("m.csv", "x,g\n1,a\n-999,.\n3,NA\n,b\n");
  QMXCsvOptions options;
  options.naStrings = {"-999", "."};
  const QMXCsvMetadata meta = scanCsvMetadata(path, options);
  // "" is no longer missing, so x holds a text and becomes a factor; "NA" is a level.
  EXPECT_EQ(meta.columns[0].info.type, QMXColumnType::Factor);
  EXPECT_EQ(meta.columns[0].info.levels, (std::vector<std::string>{"", "1", "3"}));
  EXPECT_EQ(meta.columns[0].missing, 1);
  EXPECT_EQ(meta.columns[1].info.levels, (std::vector<std::string>{"NA", "a", "b"}));
  EXPECT_EQ(meta.columns[1].missing, 1);
}

// A column with more than maxLevels distinct texts is a string column; exactly maxLevels
// keeps it a factor. Numeric columns stay Double whatever their number of values.
TEST(QMXCsvMetadata, FactorCapMakesStringColumns) {
  QMXCsvTempDir dir;
  std::string content = "at_cap,over_cap,numbers\n";
  for (int rowIdx = 0; rowIdx < 40; ++rowIdx)
    content += "L" + std::to_string(rowIdx % 4) + ",S" + std::to_string(rowIdx % 5) + "," +
               std::to_string(rowIdx) + "\n";
  const std::string path = dir.write("cap.csv", content);
  QMXCsvOptions options;
  options.maxLevels = 4;
  const QMXCsvMetadata meta = scanCsvMetadata(path, options);
  EXPECT_EQ(meta.columns[0].info.type, QMXColumnType::Factor);
  EXPECT_EQ(meta.columns[0].levelCounts, (std::vector<std::int64_t>{10, 10, 10, 10}));
  EXPECT_EQ(meta.columns[1].info.type, QMXColumnType::String);
  EXPECT_TRUE(meta.columns[1].info.levels.empty());
  EXPECT_EQ(meta.columns[1].count, 40);
  EXPECT_EQ(meta.columns[2].info.type, QMXColumnType::Double);
  EXPECT_EQ(meta.columns[2].max, 39.0);
}

TEST(QMXCsvMetadata, HeaderOnlyAndEmptyFile) {
  QMXCsvTempDir dir;
  const QMXCsvMetadata meta = scanCsvMetadata(dir.write("h.csv", "a,b\n"));
  EXPECT_EQ(meta.rows, 0);
  ASSERT_EQ(meta.columns.size(), 2u);
  for (const auto& column : meta.columns) {
    EXPECT_EQ(column.info.type, QMXColumnType::Double);
    EXPECT_EQ(column.count, 0);
    EXPECT_TRUE(std::isnan(column.mean));
  }
  const std::string empty = dir.write("e.csv", "");
  try {
    scanCsvMetadata(empty);
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_EQ(std::string(e.what()), empty + ": file is empty");
  }
}
