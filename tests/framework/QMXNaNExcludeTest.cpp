// Row filtering of a chunk: missing and infinite values in the variables, run copies after the
// first read, variable order, samples, level names and the error texts.
#include "qmxmisc/framework/QMXNaNExclude.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "qmxbase/QMXMemoryTable.h"
#include "support/TableChunk.h"
#include "support/ThrownMessage.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QMXMemoryTable sampleTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1, kInf, 3, 4, kNaN, 6, 7, 8})
      .addDoubleColumn("b", {10, 20, -kInf, 40, 50, 60, 70, kNaN})
      .addDoubleColumn("c", {kNaN, 200, 300, kInf, 500, 600, 700, 800})
      .addFactorColumn("g", {"x", "y", "x", "z", "y", "x", "z", "y"});
  return table;
}

// Rows where every named column is finite, read directly from the table.
std::vector<long> completeRows(const QMXMemoryTable& table, const std::vector<int>& cols) {
  std::vector<long> rows;
  for (std::size_t r = 0; r < table.numRows(); ++r) {
    bool ok = true;
    for (int c : cols)
      ok = ok && std::isfinite(table.number(r, c));
    if (ok) rows.push_back(static_cast<long>(r));
  }
  return rows;
}

}  // namespace

// Every column, read in any order (the first read finds the excluded rows, later reads copy
// the runs between them), holds the rows whose variables x and y are finite among the ready
// rows; z is not a variable, so its missing and infinite values pass through.
TEST(QMXNaNExclude, ReadsTheRowsWhoseVariablesAreFinite) {
  std::vector<double> x(50), y(50), z(50);
  for (int r = 0; r < 50; ++r) {
    x[r] = r % 7 == 3 ? kNaN : r;
    y[r] = r % 11 == 0 ? (r % 2 ? -kInf : kInf) : 100.0 + r;
    z[r] = r % 5 == 4 ? kNaN : (r % 9 == 0 ? kInf : 1000.0 + r);
  }
  QMXMemoryTable table;
  table.addDoubleColumn("x", x).addDoubleColumn("y", y).addDoubleColumn("z", z);
  for (long request : {3L, 50L, 80L}) {
    SCOPED_TRACE(request);
    TableChunk chunk(table, request);
    QMXNaNExclude filter(chunk.reader);
    EXPECT_EQ(filter.setVariables(strVector{"x", "y"}), 2);
    const long ready = std::min(request, 50L);
    EXPECT_EQ(filter.rowsReady(), ready);
    EXPECT_EQ(filter.N(), ready) << "before any read";
    std::vector<long> rows = completeRows(table, {0, 1});
    rows.erase(std::lower_bound(rows.begin(), rows.end(), ready), rows.end());
    for (int col : {2, 0, 1, 2}) {
      std::vector<double> out(50, -1.0);
      ASSERT_EQ(col == 1 ? filter.getDoubleArray("y", out.data())
                         : filter.getDoubleArray(col, out.data()),
                static_cast<long>(rows.size()));
      for (std::size_t k = 0; k < rows.size(); ++k) {
        const double want = table.number(rows[k], col);
        EXPECT_TRUE(out[k] == want || (std::isnan(want) && std::isnan(out[k]))) << col << " " << k;
      }
    }
    Index excluded;
    for (long r = 0; r < ready; ++r)
      if (!std::binary_search(rows.begin(), rows.end(), r)) excluded.push_back(r);
    EXPECT_EQ(filter.rowsExcluded(), excluded);
    EXPECT_EQ(filter.nExcluded(), static_cast<long>(excluded.size()));
    EXPECT_EQ(filter.N(), static_cast<long>(rows.size()));
  }
}

TEST(QMXNaNExclude, AddVariablesFollowsBufferOrder) {
  const QMXMemoryTable table = sampleTable();
  TableChunk chunk(table);
  QMXNaNExclude filter(chunk.reader);
  EXPECT_EQ(filter.addVariables(strVector{"c", "nope", "a", "c"}), 2);
  EXPECT_EQ(filter.variables(), (strVector{"a", "c"}));
  EXPECT_EQ(filter.addVariables(strVector{}), 2);
  EXPECT_EQ(filter.addVariable("zzz"), 2);
  EXPECT_EQ(filter.addVariable("a"), 2);
  EXPECT_EQ(filter.addVariable("b"), 3);
  EXPECT_EQ(filter.variables(), (strVector{"a", "c", "b"}));
  EXPECT_EQ(filter.setVariables(strVector{"b", "g"}), 2);
  EXPECT_EQ(filter.variables(), (strVector{"b", "g"}));
}

TEST(QMXNaNExclude, Samples) {
  const QMXMemoryTable table = sampleTable();
  TableChunk chunk(table);
  QMXNaNExclude filter(chunk.reader);
  filter.setVariables(strVector{"a", "b"});
  const std::vector<long> complete = completeRows(table, {0, 1});
  // Fewer ready rows than asked: every complete row in order.
  EXPECT_EQ(filter.createSampleIndex(9, 5), 4);
  EXPECT_EQ(filter.rowIndex(), (Index{0, 3, 5, 6}));
  EXPECT_EQ(filter.createSampleIndex(0, 5), 0);
  EXPECT_TRUE(filter.rowIndex().empty());
  // Drawn samples: equal seeds give equal samples of distinct complete rows.
  EXPECT_EQ(filter.createSampleIndex(3, 42), 3);
  const Index first = filter.rowIndex();
  EXPECT_EQ(filter.N(), 3);
  std::vector<double> out(8);
  ASSERT_EQ(filter.getDoubleArray(1, out.data()), 3);
  for (std::size_t k = 0; k < 3; ++k)
    EXPECT_EQ(out[k], table.number(first[k], 1));
  EXPECT_EQ(filter.createSampleIndex(3, 42), 3);
  EXPECT_EQ(filter.rowIndex(), first);
  const std::set<std::uint32_t> distinct(first.begin(), first.end());
  EXPECT_EQ(distinct.size(), 3u);
  for (std::uint32_t r : first)
    EXPECT_NE(std::find(complete.begin(), complete.end(), static_cast<long>(r)), complete.end());
}

TEST(QMXNaNExclude, LevelNames) {
  const QMXMemoryTable table = sampleTable();
  TableChunk chunk(table);
  QMXNaNExclude filter(chunk.reader);
  filter.setVariables(strVector{"a", "b"});
  std::vector<const char*> out(8);
  for (int pass = 0; pass < 2; ++pass) {  // first computation, then known exclusions
    ASSERT_EQ(filter.getCharArray("g", out.data()), 4);
    EXPECT_STREQ(out[0], "x");
    EXPECT_STREQ(out[1], "z");
    EXPECT_STREQ(out[2], "x");
    EXPECT_STREQ(out[3], "z");
  }
  EXPECT_EQ(thrownMessage([&] { filter.getCharArray(1, out.data()); }),
            "data in column number 1 is not categorical");
}

TEST(QMXNaNExclude, Errors) {
  const QMXMemoryTable table = sampleTable();
  TableChunk chunk(table);
  QMXNaNExclude filter(chunk.reader);
  std::vector<double> out(8);
  EXPECT_EQ(thrownMessage([&] { filter.getDoubleArray("missing", out.data()); }),
            "variable missing is not in the buffer");
  EXPECT_EQ(thrownMessage([&] { filter.getDoubleArray(0, nullptr); }), "invalid data pointer");
  EXPECT_EQ(filter.getDoubleArray("c", out.data()), 8);

  QMXNaNExclude invalid;
  EXPECT_FALSE(invalid.valid());
  EXPECT_EQ(invalid.rowsReady(), 0);
  for (const auto& action : std::vector<std::function<void()>>{
           [&] { invalid.validate(); }, [&] { invalid.reader(); }, [&] { invalid.buffer(); },
           [&] { invalid.addVariable("a"); }, [&] { invalid.getDoubleArray(0, out.data()); }}) {
    EXPECT_EQ(thrownMessage(action), "Invalid QMXBufReader");
  }
  invalid = chunk.reader;
  EXPECT_TRUE(invalid.valid());
}
