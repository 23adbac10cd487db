// Every property of every proc, from data/properties.tsv: each row sets or gets one property
// on a proc made by its class's factory and states the answer and the messages it gives.
// Two test-only procs (FakeBase, FakeDerived) cover what no library proc has yet: warnings,
// each failure route of a table's boundary, and a derived row shadowing a base row.
#include "qmxmisc/framework/QMXPropertyTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "support/TextFiles.h"

extern "C" {
QMXProc* qmx_s_create_QMXProcCov(QMXProc** out);
QMXProc* qmx_s_create_QMXProcILM(QMXProc** out);
QMXProc* qmx_s_create_QMXProcIGLM(QMXProc** out);
QMXProc* qmx_s_create_QMXProcGLMFit(QMXProc** out);
QMXProc* qmx_s_create_QMXProcKMeans(QMXProc** out);
QMXProc* qmx_s_create_QMXProcKMeansPredict(QMXProc** out);
}

namespace {

// "library", "memory" or anything else: a QMXException, bad_alloc, or a foreign exception.
void fail(QMXPropertyInfo& v) {
  const std::string how = v.getString() != nullptr ? v.getString() : "";
  if (how == "library") QMX_ThrowException("refused %s", v.getNext()->getString());
  if (how == "memory") throw std::bad_alloc();
  throw std::runtime_error("foreign");
}

class FakeBase : public QMXProc {
 public:
  static const QMXPropertyTable& properties() {
    using Rows = QMXPropertyRows<FakeBase>;
    static const QMXPropertyTable table(
        nullptr, {"base set failed", "base get failed"},
        {Rows::row(
             "size", QMXPropertyType::Long, "size, at least 1",
             [](FakeBase& p, QMXPropertyInfo& v) { v.setLong(p.size); },
             [](FakeBase& p, QMXPropertyInfo& v) {
               p.size = v.getLong();
               if (p.size >= 1) return;
               p.addWarning("Using default size of 10.");
               p.size = 10;
             }),
         Rows::row(
             "shadowed", QMXPropertyType::Long, "1",
             [](FakeBase&, QMXPropertyInfo& v) { v.setLong(1); }, nullptr),
         Rows::row("fail", QMXPropertyType::Values, "fails", nullptr,
                   [](FakeBase&, QMXPropertyInfo& v) { fail(v); })});
    return table;
  }
  void setProperty(QMXPropertyInfo* prop) override { properties().set(*this, prop); }
  void getProperty(QMXPropertyInfo* prop) override { properties().get(*this, prop); }
  long size = 10;
};

class FakeDerived : public FakeBase {
 public:
  static const QMXPropertyTable& properties() {
    using Rows = QMXPropertyRows<FakeDerived>;
    static const QMXPropertyTable table(
        &FakeBase::properties(), {"derived set failed", "derived get failed", true},
        {Rows::row(
             "shadowed", QMXPropertyType::Long, "2",
             [](FakeDerived&, QMXPropertyInfo& v) { v.setLong(2); }, nullptr),
         Rows::row("fail2", QMXPropertyType::Values, "fails", nullptr,
                   [](FakeDerived&, QMXPropertyInfo& v) { fail(v); })});
    return table;
  }
  void setProperty(QMXPropertyInfo* prop) override { properties().set(*this, prop); }
  void getProperty(QMXPropertyInfo* prop) override { properties().get(*this, prop); }
};

QMX_REGISTER_PROPERTIES(FakeBase, FakeBase::properties)
QMX_REGISTER_PROPERTIES(FakeDerived, FakeDerived::properties)

template <QMXProc* (*factory)(QMXProc**)>
std::unique_ptr<QMXProc> viaFactory() {
  return std::unique_ptr<QMXProc>(factory(nullptr));
}

const std::map<std::string, std::function<std::unique_ptr<QMXProc>()>> kFactories = {
    {"QMXProcCov", viaFactory<qmx_s_create_QMXProcCov>},
    {"QMXProcILM", viaFactory<qmx_s_create_QMXProcILM>},
    {"QMXProcIGLM", viaFactory<qmx_s_create_QMXProcIGLM>},
    {"QMXProcGLMFit", viaFactory<qmx_s_create_QMXProcGLMFit>},
    {"QMXProcKMeans", viaFactory<qmx_s_create_QMXProcKMeans>},
    {"QMXProcKMeansPredict", viaFactory<qmx_s_create_QMXProcKMeansPredict>},
    {"FakeBase", [] { return std::make_unique<FakeBase>(); }},
    {"FakeDerived", [] { return std::make_unique<FakeDerived>(); }}};

// "-": no value; "a|b": a chain; "''": an empty value; "@path": a file under tests/.
std::vector<std::string> valuesOf(const std::string& cell) {
  std::vector<std::string> values;
  if (cell == "-") return values;
  for (const std::string& value : splitText(cell, "|")) {
    if (value == "''") {
      values.emplace_back();
    } else if (value.starts_with("@")) {
      values.push_back(readFile(std::string(QMX_TEST_SOURCE_DIR) + "/" + value.substr(1)));
    } else {
      values.push_back(value);
    }
  }
  return values;
}

// The messages of one step as "kind:text" joined by " ; ": "set:" for the error the step set,
// "problem:" for a conversion problem of the request; "-" when none.
std::string stepMessages(const QMXProc& proc, std::size_t first, bool hadError,
                         const QMXPropertyInfo& prop) {
  std::vector<std::string> items;
  const auto& messages = proc.getMessages();
  bool errorSet = !hadError && proc.getError() != nullptr;
  for (std::size_t i = first; i < messages.size(); ++i) {
    const bool isSet = errorSet && messages[i].kind == QMXMessageKind::Error &&
                       messages[i].text == proc.getError();
    items.push_back(std::string(isSet ? "set" : QMXMessageKindName(messages[i].kind)) + ":" +
                    messages[i].text);
    errorSet = errorSet && !isSet;
  }
  for (const std::string& problem : prop.problems())
    items.push_back("problem:" + problem);
  std::string joined;
  for (const std::string& item : items)
    joined += (joined.empty() ? "" : " ; ") + item;
  return joined.empty() ? "-" : joined;
}

using RowUse = std::pair<const QMXPropertyTable::Row*, QMXPropertyDirection>;

TEST(QMXPropertyTable, EveryPropertyOfEveryProcAsTabled) {
  std::ifstream in(std::string(QMX_TEST_SOURCE_DIR) + "/framework/data/properties.tsv");
  ASSERT_TRUE(in);
  std::set<RowUse> used;
  std::string line, caseName;
  std::unique_ptr<QMXProc> proc;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.starts_with("case\t")) continue;
    const std::vector<std::string> cell = splitText(line, "\t");
    ASSERT_EQ(cell.size(), 7u) << line;  // case class op property values answer messages
    SCOPED_TRACE(line);
    if (cell[0] != caseName) proc = kFactories.at(cell[1])();
    caseName = cell[0];
    ASSERT_NE(proc, nullptr);
    QMXPropertyInfo prop(cell[3], valuesOf(cell[4]));
    const auto direction = cell[2] == "set" ? QMXPropertyDirection::Set : QMXPropertyDirection::Get;
    const auto found = QMXPropertyTable::registered().at(cell[1])().find(prop, direction);
    if (found.row != nullptr) used.insert({found.row, direction});
    const std::size_t first = proc->getMessages().size();
    const bool hadError = proc->getError() != nullptr;
    if (direction == QMXPropertyDirection::Set) {
      proc->setProperty(&prop);
    } else {
      proc->getProperty(&prop);
    }
    // "-": no answer; "~text": an answer containing text; "''": the empty text.
    const std::string& answer = cell[5];
    EXPECT_EQ(prop.hasAnswer(), answer != "-") << prop.answerText();
    if (answer.starts_with("~")) {
      EXPECT_NE(prop.answerText().find(answer.substr(1)), std::string::npos) << prop.answerText();
    } else if (answer != "-") {
      EXPECT_EQ(prop.answerText(), answer == "''" ? "" : answer);
    }
    EXPECT_EQ(stepMessages(*proc, first, hadError, prop), cell[6]);
  }
  // Every property of every registered class, in each direction it has, is exercised (a row
  // named twice for one direction is never found, so it fails here).
  for (const auto& [className, accessor] : QMXPropertyTable::registered()) {
    for (const QMXPropertyTable::Row* row : accessor().allRows()) {
      SCOPED_TRACE(className + " " + row->name);
      EXPECT_EQ(used.count({row, QMXPropertyDirection::Set}), row->set ? 1u : 0u);
      EXPECT_EQ(used.count({row, QMXPropertyDirection::Get}), row->get ? 1u : 0u);
    }
  }
}

}  // namespace
