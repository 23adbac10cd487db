#include "qmxbase/QMXMemoryTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"

TEST(QMXMemoryTable, BuildsColumnsFromVectors) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, NAN, 3})
      .addFactorColumn("g", {"b", "a", ""})
      .addFactorColumn("h", {"lo", "hi", "lo"}, {"hi", "lo"})
      .addStringColumn("s", {"p", "", "r"});
  EXPECT_EQ(table.numRows(), 3u);
  EXPECT_EQ(table.numColumns(), 4);
  EXPECT_EQ(table.columnIndex("h"), 2);
  EXPECT_EQ(table.columnIndex("nope"), -1);
  EXPECT_EQ(table.schema()[1], (QMXColumnInfo{"g", QMXColumnType::Factor, {"b", "a"}}));
  EXPECT_EQ(table.schema()[2].levels, (std::vector<std::string>{"hi", "lo"}));
  EXPECT_EQ(table.numbers("h"), (std::vector<double>{1, 0, 1}));
  EXPECT_EQ(table.texts("g"), (std::vector<std::string>{"b", "a", ""}));
  EXPECT_TRUE(std::isnan(table.number(2, 1)));
  EXPECT_EQ(table.texts("s"), (std::vector<std::string>{"p", "", "r"}));

  try {
    table.addDoubleColumn("short", {1});
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_STREQ(e.what(), "memory table: column short has 1 rows, the table has 3");
  }
  try {
    QMXMemoryTable other;
    other.addFactorColumn("f", {"x"}, {"a", "b"});
    FAIL() << "no error";
  } catch (const QMXDataError& e) {
    EXPECT_STREQ(e.what(), "memory table: 'x' is not a level of column f");
  }
}

TEST(QMXMemoryTable, SourceAndSinkRoundTrip) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3, 4, 5}).addStringColumn("s", {"a", "b", "c", "d", "e"});
  QMXMemorySource source(table);
  EXPECT_EQ(source.totalRows(), 5);
  EXPECT_STREQ(source.describe(), "memory");
  QMXMemorySink sink;
  sink.begin(table.schema());
  EXPECT_EQ(sink.state(), QMXSinkState::Writing);
  QMXRowBlock block;
  block.reset(table.schema());
  EXPECT_EQ(source.read(3, block), 3u);
  EXPECT_FALSE(source.atEnd());
  EXPECT_EQ(source.read(3, block), 2u);
  EXPECT_TRUE(source.atEnd());
  EXPECT_EQ(source.read(3, block), 0u);
  sink.write(table.schema(), block, 1, 4);
  sink.commit();
  EXPECT_EQ(sink.state(), QMXSinkState::Committed);
  EXPECT_EQ(sink.table().numbers("x"), (std::vector<double>{2, 3, 4, 5}));
  EXPECT_EQ(sink.table().texts("s"), (std::vector<std::string>{"b", "c", "d", "e"}));
  source.rewind();
  EXPECT_FALSE(source.atEnd());
  EXPECT_EQ(source.rewindCount(), 1);
  sink.abandon();
  EXPECT_EQ(sink.state(), QMXSinkState::Abandoned);
  EXPECT_EQ(sink.table().numRows(), 0u);
}
