// One way to run a proc in a test: over in-memory tables through the host pipeline, at a given
// chunk size, with properties set in order; the run's output table, messages and the
// properties read afterwards come back in one ProcResult.
//
//   extern "C" QMXProc* qmx_s_create_QMXProcILM(QMXProc** out);
//   qmxtest::ProcHarness ilm(qmx_s_create_QMXProcILM, "QMXProcILM");   // or (proc, "name")
//   ilm.input(table).set("model.vtml", {spec}).get("fitted.model.pmml");
//   const qmxtest::ProcResult run = ilm.run(7);
//   ASSERT_TRUE(run.ok) << run.error;  then run.properties.at("fitted.model.pmml"),
//   run.output.numbers("fit"), run.texts(QMXMessageKind::Warning), ilm.as<QMXProcILM>()
//
// Each run() builds a new pipeline around the same proc: create a new harness for a new proc.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXMemorySink.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXPropertyInfo.h"

namespace qmxtest {

struct ProcResult {
  bool ok = false;
  std::string error;                              // why the run failed ("" when ok)
  QMXMemoryTable output;                          // committed output rows
  std::vector<QMXMessage> messages;               // the proc's messages after the run
  std::map<std::string, std::string> properties;  // answers (as text) of the get() requests

  std::vector<std::string> texts(QMXMessageKind kind) const {
    std::vector<std::string> selected;
    for (const QMXMessage& message : messages)
      if (message.kind == kind) selected.push_back(message.text);
    return selected;
  }
};

class ProcHarness {
 public:
  using Factory = QMXProc* (*)(QMXProc**);

  // A proc made by its exported factory, owned by the harness.
  ProcHarness(Factory factory, std::string className) : className_(std::move(className)) {
    QMXProc* out = nullptr;
    owned_.reset(factory(&out));
    proc_ = owned_.get();
  }
  // A proc owned by the caller.
  ProcHarness(QMXProc& proc, std::string className)
      : className_(std::move(className)), proc_(&proc) {}

  // At most two inputs (copied).
  ProcHarness& input(QMXMemoryTable table) {
    inputs_.push_back(std::move(table));
    return *this;
  }
  ProcHarness& output(QMXSchema schema) {
    schema_ = std::move(schema);
    return *this;
  }
  ProcHarness& set(std::string name, std::vector<std::string> values = {}) {
    sets_.emplace_back(std::move(name), std::move(values));
    return *this;
  }
  ProcHarness& get(std::string name) {
    gets_.push_back(std::move(name));
    return *this;
  }

  // Sets the properties in order, then runs; a refused property ends the run unrun.
  ProcResult run(long chunkRows = qmxDefaultChunkRows()) {
    EXPECT_NE(proc_, nullptr) << className_ << ": the factory made no proc";
    ProcResult result;
    if (proc_ == nullptr) return result;
    std::vector<std::unique_ptr<QMXMemorySource>> sources;
    QMXMemorySink sink;
    {
      QMXPipeline pipeline(*proc_, className_);
      for (const QMXMemoryTable& table : inputs_) {
        sources.push_back(std::make_unique<QMXMemorySource>(table));
        pipeline.addInput(*sources.back());
      }
      if (schema_) pipeline.setOutput(*schema_, &sink);
      pipeline.setChunkRows(chunkRows);
      pipeline.attach();
      result.ok = true;
      for (const auto& [name, values] : sets_) {
        QMXPropertyInfo request(name, values);
        if (!pipeline.setProperty(request)) {
          result.ok = false;
          break;
        }
      }
      result.ok = result.ok && pipeline.run();
      result.error = pipeline.error();
      for (const std::string& name : gets_) {
        QMXPropertyInfo request(name);
        if (pipeline.getProperty(request)) result.properties[name] = request.answerText();
      }
    }
    result.output = sink.table();
    result.messages = proc_->getMessages();
    return result;
  }

  QMXProc& proc() { return *proc_; }
  // The proc as its own class (a failed test when it is not one).
  template <class Proc>
  Proc& as() {
    Proc* typed = dynamic_cast<Proc*>(proc_);
    EXPECT_NE(typed, nullptr) << className_ << " is not the class asked for";
    return *typed;
  }

 private:
  std::string className_;
  std::unique_ptr<QMXProc> owned_;
  QMXProc* proc_ = nullptr;
  std::vector<QMXMemoryTable> inputs_;
  std::optional<QMXSchema> schema_;
  std::vector<std::pair<std::string, std::vector<std::string>>> sets_;
  std::vector<std::string> gets_;
};

}  // namespace qmxtest
