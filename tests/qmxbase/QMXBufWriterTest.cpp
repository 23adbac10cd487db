#include "qmxbase/QMXBufWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"

namespace {

QMXSchema outputSchema() {
  return {{"d", QMXColumnType::Double, {}},
          {"f", QMXColumnType::Factor, {"no"}},
          {"s", QMXColumnType::String, {}}};
}

}  // namespace

TEST(QMXBufWriter, CellsAndFactorByName) {
  QMXBuf buf(outputSchema(), 4);
  buf.setLabel("output buffer");
  QMXBufWriter writer(&buf);
  writer.setDouble(0, 0, 1.25);
  writer.setConvertFactor(0, 1, "yes");  // new level: added as level 1
  writer.setString(0, 2, "first");
  writer.setDouble(1, 0, NAN);
  writer.setLevelNum(1, 1, 0);
  writer.setDouble(1, 2, 2.5);  // a number into a string column becomes its text
  writer.setLevelNum(2, 1, QMXObj::getLevelNumNA());
  writer.setString(2, 1, "yes");  // a text into a factor column is converted by name
  writer.setString(2, 2, nullptr);
  EXPECT_EQ(buf.schema()[1].levels, (std::vector<std::string>{"no", "yes"}));
  writer.releaseRows(3);
  EXPECT_EQ(writer.releasedTotal(), 3);
  EXPECT_EQ(buf.accessProblem(), "");

  QMXMemoryTable got(buf.schema());
  got.appendRows(writer.pending(), 0, writer.pending().rows);
  EXPECT_EQ(got.numRows(), 3u);
  EXPECT_DOUBLE_EQ(got.number(0, 0), 1.25);
  EXPECT_TRUE(std::isnan(got.number(1, 0)));
  EXPECT_TRUE(std::isnan(got.number(2, 0)));  // never written: missing
  EXPECT_EQ(got.texts("f"), (std::vector<std::string>{"yes", "no", "yes"}));
  EXPECT_EQ(got.texts("s"), (std::vector<std::string>{"first", "2.5", ""}));

  // Released rows start missing again.
  QMXBufReader check(&buf);
  EXPECT_TRUE(std::isnan(buf.block().numbers[0][0]));
  EXPECT_TRUE(buf.block().missingText[2][0]);
}

TEST(QMXBufWriter, ReleaseMovesLaterRowsDown) {
  QMXBuf buf(outputSchema(), 3);
  QMXBufWriter writer(&buf);
  for (long row = 0; row < 3; ++row) {
    writer.setDouble(row, 0, static_cast<double>(row));
    writer.setString(row, 2, std::to_string(row).c_str());
  }
  writer.releaseRows(1);
  EXPECT_DOUBLE_EQ(buf.block().numbers[0][0], 1.0);
  EXPECT_DOUBLE_EQ(buf.block().numbers[0][1], 2.0);
  EXPECT_TRUE(std::isnan(buf.block().numbers[0][2]));
  EXPECT_EQ(buf.block().texts[2][1], "2");
  EXPECT_TRUE(buf.block().missingText[2][2]);
  writer.releaseRows(2);
  QMXMemoryTable got(buf.schema());
  got.appendRows(writer.pending(), 0, writer.pending().rows);
  EXPECT_EQ(got.numbers("d"), (std::vector<double>{0, 1, 2}));
}

TEST(QMXBufWriter, CopyBufDataKeepsTheColumnType) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {4.5, NAN})
      .addFactorColumn("g", {"b", ""}, {"a", "b"})
      .addStringColumn("s", {"t1", "t2"});
  QMXBuf in(table.schema(), 2);
  QMXMemorySource source(table);
  source.read(2, in.block());
  QMXBufReader reader(&in);
  reader.setRequestRows(2);

  QMXBuf out({{"x", QMXColumnType::Double, {}},
              {"g", QMXColumnType::Factor, {}},
              {"s", QMXColumnType::String, {}},
              {"gs", QMXColumnType::String, {}}},
             2);
  QMXBufWriter writer(&out);
  for (long row = 0; row < 2; ++row) {
    writer.copyBufData(row, 0, reader, row, 0);
    writer.copyBufData(row, 1, reader, row, 1);
    writer.copyBufData(row, 2, reader, row, 2);
    writer.copyBufData(row, 3, reader, row, 1);
  }
  writer.releaseRows(2);
  QMXMemoryTable got(out.schema());
  got.appendRows(writer.pending(), 0, 2);
  EXPECT_DOUBLE_EQ(got.number(0, 0), 4.5);
  EXPECT_TRUE(std::isnan(got.number(1, 0)));
  // The output factor has its own levels: "b" becomes its level 0.
  EXPECT_EQ(out.schema()[1].levels, std::vector<std::string>{"b"});
  EXPECT_EQ(got.texts("g"), (std::vector<std::string>{"b", ""}));
  EXPECT_EQ(got.texts("s"), (std::vector<std::string>{"t1", "t2"}));
  EXPECT_EQ(got.texts("gs"), (std::vector<std::string>{"b", ""}));
  EXPECT_EQ(out.accessProblem(), "");
}

TEST(QMXBufWriter, BadIndexesNeverCrash) {
  struct Case {
    std::function<void(QMXBufWriter&)> write;
    const char* problem;
  };
  const std::vector<Case> cases = {
      {[](QMXBufWriter& w) { w.setDouble(0, 3, 1.0); },
       "column index 3 is outside the output buffer (3 columns)"},
      {[](QMXBufWriter& w) { w.setDouble(4, 0, 1.0); },
       "row index 4 is outside the output buffer (4 rows)"},
      {[](QMXBufWriter& w) { w.setDouble(0, 1, 2.0); },
       "setDouble: 2 is not a level of column 1 of the output buffer (1 levels)"},
      {[](QMXBufWriter& w) { w.setLevelNum(0, 0, 1); },
       "setLevelNum: column 0 of the output buffer is not a factor column"},
      {[](QMXBufWriter& w) { w.setString(0, 0, "x"); },
       "setString: column 0 of the output buffer is a double column"},
      {[](QMXBufWriter& w) { w.setConvertFactor(0, 0, "x"); },
       "setConvertFactor: column 0 of the output buffer is a double column"},
      {[](QMXBufWriter& w) { w.releaseRows(5); },
       "cannot release 5 rows of the output buffer: it holds 4 rows"},
  };
  for (const Case& c : cases) {
    QMXBuf buf(outputSchema(), 4);
    buf.setLabel("output buffer");
    QMXBufWriter writer(&buf);
    c.write(writer);
    EXPECT_EQ(buf.accessProblem(), c.problem);
  }
}
