#include "qmxbase/QMXPropertyInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

TEST(QMXPropertyInfo, ChainOfValues) {
  QMXPropertyInfo prop("cov.entry", {"2", "3.5", "yes", "text"});
  EXPECT_TRUE(prop.isName("cov.entry"));
  EXPECT_FALSE(prop.isName("cor.entry"));
  EXPECT_FALSE(prop.isName(nullptr));
  EXPECT_EQ(prop.valueCount(), 4u);
  EXPECT_EQ(prop.getLong(), 2);
  QMXPropertyInfo* second = prop.getNext();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isName("cov.entry"));
  EXPECT_DOUBLE_EQ(second->getDouble(), 3.5);
  QMXPropertyInfo* third = second->getNext();
  ASSERT_NE(third, nullptr);
  EXPECT_TRUE(third->getBool());
  QMXPropertyInfo* fourth = third->getNext();
  ASSERT_NE(fourth, nullptr);
  EXPECT_STREQ(fourth->getString(), "text");
  EXPECT_EQ(fourth->getNext(), nullptr);
  EXPECT_EQ(prop.getJavaArray(), nullptr);
  EXPECT_EQ(prop.getJNIEnv(), nullptr);
  EXPECT_TRUE(prop.problems().empty());
}

TEST(QMXPropertyInfo, ConversionProblemsAreRecordedOnTheRequest) {
  QMXPropertyInfo prop("define.target.column", {"abc", "1.5x", "maybe", "12.5"});
  EXPECT_EQ(prop.getLong(), 0);
  EXPECT_EQ(prop.getNext()->getDouble(), 0.0);
  EXPECT_FALSE(prop.getNext()->getNext()->getBool());
  EXPECT_EQ(prop.getNext()->getNext()->getNext()->getLong(), 0);
  QMXPropertyInfo empty("max.iterations");
  EXPECT_EQ(empty.getLong(), 0);
  EXPECT_EQ(empty.getString(), nullptr);  // a missing text is not a problem
  const std::vector<std::string> expected = {
      "property define.target.column: 'abc' is not an integer",
      "property define.target.column: '1.5x' is not a number",
      "property define.target.column: 'maybe' is not a boolean (true or false)",
      "property define.target.column: '12.5' is not an integer",
  };
  EXPECT_EQ(prop.problems(), expected);
  EXPECT_EQ(empty.problems(),
            std::vector<std::string>{
                "property max.iterations: a value is missing (an integer expected)"});
}

TEST(QMXPropertyInfo, TextConversions) {
  struct Case {
    const char* text;
    long asLong;
    double asDouble;
  };
  for (const Case& c :
       std::vector<Case>{{"0", 0, 0.0}, {"-7", -7, -7.0}, {"+3", 3, 3.0}, {"1e3", 0, 1000.0}}) {
    QMXPropertyInfo prop("x", {c.text});
    if (std::string(c.text) != "1e3") {
      EXPECT_EQ(prop.getLong(), c.asLong) << c.text;
    }
    EXPECT_DOUBLE_EQ(prop.getDouble(), c.asDouble) << c.text;
  }
  QMXPropertyInfo na("x", {"NA"});
  EXPECT_TRUE(std::isnan(na.getDouble()));
  for (const char* yes : {"true", "TRUE", "1", "yes", "T"}) {
    QMXPropertyInfo prop("flag", {yes});
    EXPECT_TRUE(prop.getBool()) << yes;
  }
  for (const char* no : {"false", "False", "0", "no", "F"}) {
    QMXPropertyInfo prop("flag", {no});
    EXPECT_FALSE(prop.getBool()) << no;
    EXPECT_TRUE(prop.problems().empty());
  }
}

TEST(QMXPropertyInfo, TypedAnswers) {
  QMXPropertyInfo prop("total.rows.processed");
  EXPECT_FALSE(prop.hasAnswer());
  EXPECT_EQ(prop.answerText(), "");
  prop.setLongLong(5000000000LL);
  EXPECT_EQ(std::get<long long>(prop.answer()), 5000000000LL);
  EXPECT_EQ(prop.answerText(), "5000000000");
  prop.setLong(-3);
  EXPECT_EQ(prop.answerText(), "-3");
  prop.setDouble(0.1);
  EXPECT_EQ(prop.answerText(), "0.1");
  prop.setDouble(642.8999999999999);
  EXPECT_EQ(prop.answerText(), "642.9");
  prop.setDouble(-1.0 / 3);
  EXPECT_EQ(prop.answerText(), "-0.333333333333333");
  prop.setDouble(1e-300);
  EXPECT_EQ(prop.answerText(), "1e-300");
  prop.setDouble(std::nan(""));
  EXPECT_EQ(prop.answerText(), "NaN");
  prop.setBool(true);
  EXPECT_EQ(prop.answerText(), "true");
  prop.setString("<doc/>");
  EXPECT_EQ(prop.answerText(), "<doc/>");
  EXPECT_TRUE(prop.hasAnswer());
}
