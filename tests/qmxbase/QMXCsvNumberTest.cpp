#include "qmxbase/QMXCsvNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

// The forms R's as.numeric (and so read.csv) accepts, checked against R 4.2 by hand:
// as.numeric(c(" 1 ", "+5", "0x1A", "inf", "1e400", "-Inf", "NaN")).
TEST(QMXCsvNumber, AcceptsWhatRReadsAsNumbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0", 0.0},          {"-12", -12.0}, {"3.25", 3.25},
      {".5", 0.5},         {"5.", 5.0},    {"1e3", 1000.0},
      {"-2.5E-2", -0.025}, {" 1 ", 1.0},   {"\t7\t", 7.0},
      {"+5", 5.0},         {"0x1A", 26.0}, {"-0X10", -16.0},
      {"Inf", inf},        {"-Inf", -inf}, {"inf", inf},
      {"infinity", inf},   {"1e400", inf}, {"-1e400", -inf},
      {"1e-400", 0.0},     {"0.1", 0.1},   {"123456789012345678", 123456789012345678.0},
  };
  for (const auto& c : cases) {
    double value = -1;
    EXPECT_TRUE(QMXCsvParseNumber(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  for (const char* text : {"NaN", "nan", "-NaN"}) {
    double value = 0;
    EXPECT_TRUE(QMXCsvParseNumber(text, value)) << text;
    EXPECT_TRUE(std::isnan(value)) << text;
  }
}

TEST(QMXCsvNumber, RejectsText) {
  for (const char* text : {"", " ", "abc", "1a", "1 2", "--1", "+-1", "+", "-", "1,5", "NA", "0x",
                           "0xZ", "0x-1", "TRUE", "1e", "e5", "1.2.3"}) {
    double value = 0;
    EXPECT_FALSE(QMXCsvParseNumber(text, value)) << "'" << text << "'";
  }
}
