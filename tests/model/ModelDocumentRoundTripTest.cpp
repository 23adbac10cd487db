// Write -> read -> write over the frame documents of tests/ref/model (frame_*.xml): each is
// read by a small test kind built on the element table and the writer API, written again and
// compared byte for byte with the file (the written local time is checked for its form, then
// replaced by the file's). Also the writers' stream-state rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "qmxmisc/model/ElementTableHandler.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelParse.h"
#include "qmxmisc/model/VtmlWriter.h"
#include "support/RefCsv.h"
#include "support/ThrownMessage.h"

namespace {

// A mining model whose element holds one number, and one extra column (role "predicted").
class DummyModel : public MiningModel {
 public:
  double value = 0.0;
  std::string extraColumn;
  std::string note;
  bool beginXMLModel(std::ostream& os) const override {
    ModelTerms::beginXMLModel(os);
    VtmlWriter w(os, 1);
    w.begin("DummyModel").attr("modelName", modelName()).open();
    getXMLSchema(os);
    VtmlWriter w2(os, 2);
    w2.begin("Dummy").attr("value", value).leaf();
    if (!note.empty()) w2.text("Note", note);
    return os.good();
  }
  bool endXMLModel(std::ostream& os) const override {
    VtmlWriter(os, 1).close("DummyModel");
    return ModelTerms::endXMLModel(os);
  }

 protected:
  bool specialColDefinitions(std::ostream& os) const override {
    if (!extraColumn.empty())
      VtmlWriter(os, 3)
          .begin("ColumnInfo")
          .attr("name", extraColumn)
          .attr("type", "continuous")
          .attr("role", "predicted")
          .leaf();
    return os.good();
  }
};

class DummyHandler : public ElementTableHandler<MiningModelHandler> {
 public:
  explicit DummyHandler(DummyModel& model) : ElementTableHandler(model), model_(model) {
    table().add({"DummyModel", "", [this](ElementAttributes& a) {
                   if (auto name = a.text("modelName")) model_.setModelName(*name);
                 }});
    table().add({"Dummy", "DummyModel", [this](ElementAttributes& a) {
                   model_.value = a.number("value", "no value", "bad value");
                 }});
    table().add(
        {"Note", "DummyModel", {}, {}, [this](const std::string& text) { model_.note = text; }});
    table().unknown("bad %s element", {"MiningSchema", "MiningField"});
  }
  void endDocument() override {
    ElementTableHandler::endDocument();
    // The column that is neither a response, a variable nor the weights.
    for (const FactorInfo& column : columns()) {
      bool known = model_.weights() == column.name();
      for (const String& variable : model_.termsTable().getRowNames())
        known = known || variable == column.name();
      for (const FactorInfo& response : model_.responses())
        known = known || response.name() == column.name();
      if (!known) model_.extraColumn = column.name().str();
    }
  }

 private:
  DummyModel& model_;
};

std::string written(const DummyModel& model, const std::string& stamp) {
  std::ostringstream os;
  EXPECT_TRUE(model.beginXMLModel(os));
  EXPECT_TRUE(model.endXMLModel(os));
  const std::regex form(
      "<Timestamp>[0-9]{1,4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}</Timestamp>");
  EXPECT_TRUE(std::regex_search(os.str(), form));
  return std::regex_replace(os.str(), form, stamp);
}

class FailingSyncBuf : public std::stringbuf {
 protected:
  int sync() override { return -1; }
};

}  // namespace

TEST(ModelDocumentRoundTrip, FrameDocumentsReadAndWriteBackToTheSameBytes) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(refPath("model", ""))) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("frame_", 0) != 0 || entry.path().extension() != ".xml") continue;
    const std::string text = readRefText("model", name);
    DummyModel model;
    ModelParseXMLString(DummyHandler(model), text.c_str());
    EXPECT_EQ(written(model, "<Timestamp>2007/01/31 09:05:07</Timestamp>"), text) << name;
    ++files;
  }
  EXPECT_GE(files, 4);
}

// A field of unwritable_texts.tsv with its escapes (\t \n \r \xHH \\) decoded.
static std::string unescaped(const std::string& field) {
  std::string text;
  for (std::size_t at = 0; at < field.size(); ++at) {
    if (field[at] != '\\' || at + 1 == field.size()) {
      text += field[at];
      continue;
    }
    const char kind = field[++at];
    if (kind == 'x') {
      text += static_cast<char>(std::stoi(field.substr(at + 1, 2), nullptr, 16));
      at += 2;
    } else {
      text += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind;
    }
  }
  return text;
}

TEST(ModelDocumentRoundTrip, TextsADocumentCannotCarryAreRefused) {
  std::istringstream table(readRefText("model", "unwritable_texts.tsv"));
  int cases = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#' || line.rfind("column\t", 0) == 0) continue;
    const std::size_t tab = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab + 1);
    const std::vector<DataColumn> columns = {
        DataColumn::numeric("y"),
        DataColumn::factor(unescaped(line.substr(0, tab)),
                           {"ok", unescaped(line.substr(tab + 1, tab2 - tab - 1))})};
    const MiningModel model = modelFromFormula("y ~ .", columns);
    std::ostringstream os;
    EXPECT_EQ(thrownMessage([&] { model.beginXMLModel(os); }), line.substr(tab2 + 1)) << line;
    ++cases;
  }
  EXPECT_EQ(cases, 11);
}

TEST(ModelDocumentRoundTrip, FatalErrorErasesWhatWasRead) {
  DummyModel model;
  const std::string broken = "<VTML><DummyModel modelName=\"m\">\n<Dummy value=\"1\"/></VTML>";
  EXPECT_EQ(thrownMessage([&] { ModelParseXMLString(DummyHandler(model), broken.c_str()); }),
            "fatal error in XML parser. Line #2");
  EXPECT_TRUE(model.modelName().empty());
  EXPECT_EQ(thrownMessage([&] {
              ModelParseXMLString(DummyHandler(model),
                                  "<VTML><DummyModel><Dummy value=\"1x\"/></DummyModel></VTML>");
            }),
            "bad value");
}

TEST(ModelDocumentRoundTrip, StreamStateRules) {
  DummyModel model;
  model.setResponse("y");
  std::ostringstream os;
  os.setstate(std::ios::failbit);
  EXPECT_TRUE(model.getXMLHeader(os));  // the header clears the error state
  os.setstate(std::ios::failbit);
  EXPECT_TRUE(model.getXMLDataDict(os));
  EXPECT_TRUE(model.getXMLSchema(os));
  FailingSyncBuf buf;
  std::ostream failing(&buf);
  EXPECT_FALSE(model.endXMLModel(failing));
  EXPECT_TRUE(failing.bad());
  EXPECT_EQ(buf.str(), "  </DummyModel>\n</VTML>\n");
}
