// The document frame: whole documents of a small mining model compared byte for byte with
// hand-written expected files (the Timestamp text is checked for its form, then replaced by
// the expected file's time), and the stream-state rules of the writers.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>

#include "model/ModelTestSupport.h"
#include "qmxmisc/model/MiningModel.h"
#include "support/RefCsv.h"

namespace {

// A mining model whose element holds one dummy line, with an optional extra column.
class DummyModel : public MiningModel {
 public:
  bool beginXMLModel(std::ostream& os) const override {
    ModelTerms::beginXMLModel(os);
    os << Indent("<DummyModel modelName=", 1) << Quote(modelName().c_str()) << XMLEOL();
    getXMLSchema(os);
    os << Indent("<Dummy value=", 2) << QFormat(0.1) << XMLSEOL();
    return os.good();
  }
  bool endXMLModel(std::ostream& os) const override {
    os << Indent("</DummyModel>\n", 1);
    return ModelTerms::endXMLModel(os);
  }
  std::string extraColumn;

 protected:
  bool specialColDefinitions(std::ostream& os) const override {
    if (!extraColumn.empty()) {
      os << Indent("<ColumnInfo name=", 3) << Quote(extraColumn.c_str());
      os << " type=\"continuous\" role=\"predicted\"/>\n";
    }
    return os.good();
  }
};

// The whole document, with a well-formed local time replaced by the reference time.
std::string document(const DummyModel& model) {
  std::ostringstream os;
  EXPECT_TRUE(model.beginXMLModel(os));
  EXPECT_TRUE(model.endXMLModel(os));
  const std::regex stamp(
      "\n    <Timestamp>[0-9]{1,4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"
      "</Timestamp>\n");
  std::string text = os.str();
  EXPECT_TRUE(std::regex_search(text, stamp)) << text;
  return std::regex_replace(text, stamp, "\n    <Timestamp>2007/01/31 09:05:07</Timestamp>\n");
}

// y continuous; x continuous and f with levels a, b; weights w.
DummyModel frameExample() {
  DummyModel model;
  model.setTermsTable(mainEffects({"x", "f"}));
  model.setFactors(factVector{makeFactor("f", {"a", "b"})});
  model.setResponse("y");
  model.setWeights("w");
  model.setModelName("dummy");
  return model;
}

// A stream buffer that accepts text but fails every flush.
class FailingSyncBuf : public std::stringbuf {
 protected:
  int sync() override { return -1; }
};

}  // namespace

TEST(ModelTermsXML, FrameOfContinuousResponseFactorAndWeights) {
  EXPECT_EQ(document(frameExample()), readRefText("model", "frame_example.xml"));
}

TEST(ModelTermsXML, ModelWithoutResponse) {
  DummyModel model = frameExample();
  model.setResponses(strVector{});
  model.setWeights("");
  EXPECT_EQ(document(model), readRefText("model", "frame_no_response.xml"));
}

TEST(ModelTermsXML, CategoricalResponseEscapingAndExtraColumn) {
  DummyModel model;
  TMatrix<long> table = mainEffects({"g", "x"});
  table(0, 1) = 1;  // a g:x interaction does not change the frame
  model.setTermsTable(table);
  model.setFactors(factVector{makeFactor("g", {"<&\">'", "b&b"})});
  model.setResponse(makeFactor("class", {"no", "yes"}));
  model.setResponse("second", 1);
  model.setModelName("m \"1\"");
  model.extraColumn = "score";
  EXPECT_EQ(document(model), readRefText("model", "frame_categorical_response.xml"));
}

TEST(ModelTermsXML, StreamStateRules) {
  DummyModel model = frameExample();
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
