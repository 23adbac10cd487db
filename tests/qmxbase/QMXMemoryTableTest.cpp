#include "qmxbase/QMXMemoryTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CaseFile.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"

TEST(QMXMemoryTable, ColumnsSourceAndSink) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, NAN, 3})
      .addFactorColumn("g", {"b", "a", ""})
      .addFactorColumn("h", {"lo", "hi", "lo"}, {"hi", "lo"})
      .addStringColumn("s", {"p", "", "r"});
  EXPECT_EQ(table.columnIndex("nope"), -1);
  EXPECT_EQ(table.schema()[1], (QMXColumnInfo{"g", QMXColumnType::Factor, {"b", "a"}}));
  EXPECT_EQ(table.numbers("h"), (std::vector<double>{1, 0, 1}));
  EXPECT_EQ(table.texts("g"), (std::vector<std::string>{"b", "a", ""}));
  EXPECT_TRUE(std::isnan(table.number(2, 1)));
  EXPECT_EQ(table.texts("s"), (std::vector<std::string>{"p", "", "r"}));
  // Reads in several calls are checked by the driver tests; the sink takes rows from an offset.
  QMXMemorySource source(table);
  QMXRowBlock block;
  block.reset(table.schema());
  source.read(3, block);
  QMXMemorySink sink;
  sink.begin(table.schema());
  sink.write(table.schema(), block, 1, 2);
  sink.commit();
  EXPECT_EQ(sink.table().texts("h"), (std::vector<std::string>{"hi", "lo"}));
  EXPECT_EQ(sink.table().texts("s"), (std::vector<std::string>{"", "r"}));

  EXPECT_EQ(dataErrorOf([&] { table.addDoubleColumn("short", {1}); }),
            "memory table: column short has 1 rows, the table has 3");
  EXPECT_EQ(dataErrorOf([] {
              QMXMemoryTable().addFactorColumn("f", {"x"}, {"a", "b"});
            }),
            "memory table: 'x' is not a level of column f");
}
