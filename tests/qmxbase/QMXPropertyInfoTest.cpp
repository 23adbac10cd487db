#include "qmxbase/QMXPropertyInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "CaseFile.h"

namespace {

std::string show(double x) {
  std::ostringstream out;
  out << x;
  return std::isnan(x) ? "NaN" : out.str();
}

// Makes the call of one line of cases/property.txt; returns its result.
std::string call(QMXPropertyInfo& prop, const std::string& name) {
  const char* value = prop.getString();
  if (name == "long") return std::to_string(prop.getLong());
  if (name == "double") return show(prop.getDouble());
  if (name == "bool") return std::to_string(prop.getBool());
  if (name == "string") return value ? value : "null";
  if (name == "hasAnswer") return std::to_string(prop.hasAnswer());
  if (name == "setLongLong") prop.setLongLong(std::stoll(value));
  if (name == "setLong") prop.setLong(std::stol(value));
  if (name == "setDouble") prop.setDouble(std::string(value) == "NaN" ? NAN : std::stod(value));
  if (name == "setBool") prop.setBool(std::string(value) == "1");
  if (name == "setString") prop.setString(value);
  return prop.answerText();
}

}  // namespace

TEST(QMXPropertyInfo, ConversionsAndAnswers) {
  for (const CaseBlock& table : readCaseFile("property.txt", "property")) {
    for (const CaseLine& line : table.lines) {
      const ScriptLine step = parseScriptLine(line.text);
      QMXPropertyInfo prop(table.head.at(1).c_str(),
                           std::vector<std::string>(step.call.begin() + 1, step.call.end()));
      std::string problem;
      const std::string result = call(prop, step.call.at(0));
      for (const std::string& text : prop.problems())
        problem += (problem.empty() ? "" : "; ") + text;
      EXPECT_EQ(result, step.result) << table.where << ": " << line.text;
      EXPECT_EQ(problem, step.problem) << table.where << ": " << line.text;
    }
  }
}

TEST(QMXPropertyInfo, ChainOfValues) {
  QMXPropertyInfo prop("cov.entry", {"2", "3.5", "yes", "text"});
  EXPECT_TRUE(prop.isName("cov.entry"));
  EXPECT_FALSE(prop.isName("cor.entry"));
  EXPECT_FALSE(prop.isName(nullptr));
  EXPECT_EQ(prop.valueCount(), 4u);
  EXPECT_EQ(prop.getLong(), 2);
  QMXPropertyInfo* second = prop.getNext();
  ASSERT_TRUE(second && second->getNext() && second->getNext()->getNext());
  EXPECT_TRUE(second->isName("cov.entry"));
  EXPECT_DOUBLE_EQ(second->getDouble(), 3.5);
  EXPECT_TRUE(second->getNext()->getBool());
  EXPECT_STREQ(second->getNext()->getNext()->getString(), "text");
  EXPECT_EQ(second->getNext()->getNext()->getNext(), nullptr);
  EXPECT_EQ(prop.getJavaArray(), nullptr);
  EXPECT_EQ(prop.getJNIEnv(), nullptr);
  EXPECT_TRUE(prop.problems().empty());
}
