#include "qmxbase/QMXPropertyInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CaseFile.h"

namespace {

// Makes the call of one line of cases/property.txt; returns its result.
std::string call(QMXPropertyInfo& prop, const std::string& name) {
  const char* value = prop.getString();
  if (name == "long") return std::to_string(prop.getLong());
  if (name == "double") return show(prop.getDouble());
  if (name == "bool") return std::to_string(prop.getBool());
  if (name == "string") return show(value);
  if (name == "hasAnswer") return std::to_string(prop.hasAnswer());
  if (name == "valueCount") return std::to_string(prop.valueCount());
  if (name == "next") return call(*prop.getNext(), "double");
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
