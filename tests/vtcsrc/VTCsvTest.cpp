// The comma-separated reader: column typing from the first data row, header rules, limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

namespace {
int readCsv(TelvarObject* ds, const std::string& text) {
  vttest::TempDir dir;
  std::string file = dir.file("data.csv");
  vttest::writeText(file, text);
  return TelvarDataSet_createFromTextFile(ds, file.c_str());
}

TelvarObject* column(const TelvarObject* ds, int c) {
  TelvarObject* col = nullptr;
  EXPECT_EQ(TelvarDataSet_getColumn(&col, ds, c), TELVAR_OK);
  return col;
}
}  // namespace

TEST(TelvarCsv, TypesFromTheFirstDataRow) {
  Obj ds;
  // "-" or "." at the start of a field in the first data row makes a string column.
  // Quotes are kept; Windows line ends and a missing final newline are accepted.
  ASSERT_EQ(readCsv(&ds, "x, y,z,w\r\n1.5,-2,.5,abc\r\n2,3,4,'d'\n\n3,-1,x,abc"), TELVAR_OK);
  int n = 0;
  TelvarDataSet_getNRows(&n, ds.get());
  EXPECT_EQ(n, 3);
  Obj names;
  ASSERT_EQ(TelvarDataSet_getColumnNames(&names, ds.get()), TELVAR_OK);
  EXPECT_EQ(vttest::strings(names.get()), (std::vector<std::string>{"x", "y", "z", "w"}));
  EXPECT_EQ(column(ds.get(), 0)->mode, TELVAR_DOUBLE);
  EXPECT_EQ(vttest::doubles(column(ds.get(), 0)), (std::vector<double>{1.5, 2, 3}));
  for (int c = 1; c < 4; ++c)
    EXPECT_EQ(column(ds.get(), c)->mode, TELVAR_FACTOR) << c;
  EXPECT_EQ(vttest::strings(elem(column(ds.get(), 1), 1)),
            (std::vector<std::string>{"-2", "3", "-1"}));
  EXPECT_EQ(vttest::longs(elem(column(ds.get(), 3), 0)), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(vttest::strings(elem(column(ds.get(), 3), 1)),
            (std::vector<std::string>{"abc", "'d'"}));
  EXPECT_EQ(vttest::strings(elem(column(ds.get(), 2), 1)),
            (std::vector<std::string>{".5", "4", "x"}));
}

TEST(TelvarCsv, LimitsAndMalformedFiles) {
  std::string longLine(8000, '1');
  struct Case {
    std::string text;
    int status;
  };
  const Case cases[] = {
      {"a\n" + longLine, TELVAR_INVALID},                   // 8000 characters, no newline
      {"a\n1\n" + std::string(7999, '2'), TELVAR_INVALID},  // fills the limit in the row count
      {"a\n" + std::string(7990, '3') + "\n", TELVAR_OK},
      {"a,b\n1,2,3\n", TELVAR_INVALID},   // fewer header names than columns
      {"a,b,c\n1,2\n", TELVAR_OK},        // extra names are ignored
      {"a,b\n1,2\n3\n", TELVAR_INVALID},  // a short data line
      {"a,b\n", TELVAR_INVALID},          // no data row
      {"", TELVAR_INVALID},
      {"name,v\n\"a,b\",1\n", TELVAR_INVALID},  // quotes are ordinary: three fields
      {"a,b\r\n1,x\r\n2,y", TELVAR_OK},         // Windows line ends, no final newline
  };
  for (const Case& c : cases) {
    Obj ds;
    EXPECT_EQ(readCsv(&ds, c.text), c.status) << c.text.substr(0, 40);
    if (c.status != TELVAR_OK) {
      EXPECT_TRUE(TelvarObject_isEmpty(ds.get()));
    }
  }
  Obj none;
  EXPECT_EQ(TelvarDataSet_createFromTextFile(&none, "/nonexistent/file.csv"), TELVAR_INVALID);
}
