// Numbers as the CSV files show them: the shortest text that reads back to the same bits,
// for a table of hard doubles (tests/ref/qmxbase/number_text.csv), directly and through the
// sink, with NA, Inf and -Inf for the values that are not finite.
#include "qmxbase/QMXNumberText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "CaseFile.h"
#include "qmxbase/QMXCsvSink.h"
#include "support/RefCsv.h"

namespace {

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(QMXNumberText, ShortestTextsReadBackExactly) {
  const auto rows = readRefCsv("qmxbase", "number_text.csv");
  ASSERT_GT(rows.size(), 30u);
  QMXRowBlock block;
  const QMXSchema schema = {{"x", QMXColumnType::Double, {}}};
  block.reset(schema);
  std::string expected = "x\n";
  for (const auto& row : rows) {
    const double x = std::strtod(row.text("bits").c_str(), nullptr);
    const std::string text = QMXCsvNumberText(x);
    EXPECT_EQ(text, row.text("text")) << row.text("value");
    EXPECT_TRUE(sameBits(std::strtod(text.c_str(), nullptr), x)) << text;
    block.numbers[0].push_back(x);
    expected += row.text("text") + "\n";
  }
  for (const char* special : {"nan", "inf", "-inf"})
    block.numbers[0].push_back(std::strtod(special, nullptr));
  expected += "NA\nInf\n-Inf\n";
  block.rows = block.numbers[0].size();

  TempDir dir;
  const std::string path = dir.path("numbers.csv");
  QMXCsvSink sink(path);
  sink.begin(schema);
  sink.write(schema, block, 0, block.rows);
  sink.commit();
  EXPECT_EQ(readFile(path), expected);
}
