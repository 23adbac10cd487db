// Write -> read -> write: a mining model written as a VTML document, read back through
// MiningModelHandler and written again gives the same bytes (the header's local time is
// normalised in both texts after checking its form); the frame writer's expected files read
// back into the descriptions they were written from.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "model/ModelTestSupport.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/model/ModelParse.h"
#include "support/RefCsv.h"

namespace {

// A mining model whose element holds only the mining schema.
class EchoModel : public MiningModel {
 public:
  bool beginXMLModel(std::ostream& os) const override {
    ModelTerms::beginXMLModel(os);
    os << Indent("<EchoModel", 1) << XMLEOL();
    getXMLSchema(os);
    return os.good();
  }
  bool endXMLModel(std::ostream& os) const override {
    os << Indent("</EchoModel>\n", 1);
    return ModelTerms::endXMLModel(os);
  }
};

std::string write(const EchoModel& model) {
  std::ostringstream os;
  EXPECT_TRUE(model.beginXMLModel(os));
  EXPECT_TRUE(model.endXMLModel(os));
  const std::regex stamp(
      "<Timestamp>[0-9]{1,4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}</Timestamp>");
  const std::string text = os.str();
  EXPECT_TRUE(std::regex_search(text, stamp)) << text;
  return std::regex_replace(text, stamp, "<Timestamp>T</Timestamp>");
}

}  // namespace

TEST(ModelDocumentRoundTrip, WriteReadWriteGivesTheSameBytes) {
  std::vector<EchoModel> models(4);
  // Continuous response, covariate and factor, weights.
  models[0].setTermsTable(mainEffects({"x", "f"}));
  models[0].setFactors(factVector{makeFactor("f", {"a", "b"})});
  models[0].setResponse("y");
  models[0].setWeights("w");
  // No response, no weights.
  models[1].setTermsTable(mainEffects({"x1", "x2", "x3"}));
  // Two responses (the first categorical), escaped labels and names, two factors.
  models[2].setTermsTable(mainEffects({"g & h", "x", "k"}));
  models[2].setFactors(
      factVector{makeFactor("g & h", {"<&\">'", "b&b", " "}), makeFactor("k", {"1", "2"})});
  models[2].setResponse(makeFactor("class", {"no", "yes"}));
  models[2].setResponse("second", 1);
  models[2].setWeights("wt \"1\"");
  // Intercept only with a response: no independent variables.
  models[3].setResponse(makeFactor("only", {"u"}));
  for (std::size_t modelIdx = 0; modelIdx < models.size(); ++modelIdx) {
    const std::string first = write(models[modelIdx]);
    EchoModel reread;
    ModelParseXMLString(MiningModelHandler(reread), first.c_str());
    EXPECT_EQ(write(reread), first) << "model " << modelIdx;
    EXPECT_EQ(reread.nResponse(), models[modelIdx].nResponse()) << "model " << modelIdx;
    EXPECT_EQ(reread.nFactors(), models[modelIdx].nFactors()) << "model " << modelIdx;
    EXPECT_EQ(reread.weights(), models[modelIdx].weights()) << "model " << modelIdx;
  }
}

TEST(ModelDocumentRoundTrip, ReadsTheWritersExpectedFiles) {
  const MiningModel example(readRefText("model", "frame_example.xml").c_str());
  EXPECT_EQ(example.response(0).name().str(), "y");
  EXPECT_EQ(example.weights().str(), "w");
  EXPECT_EQ(names(example.termsTable().getRowNames()), (std::vector<std::string>{"x", "f"}));
  EXPECT_EQ(names(example.termsTable().getColNames()), (std::vector<std::string>{"x", "f"}));
  ASSERT_EQ(example.nFactors(), 1);
  EXPECT_EQ(names(example.factors()[0].levels()), (std::vector<std::string>{"a", "b"}));

  const MiningModel noResponse(readRefText("model", "frame_no_response.xml").c_str());
  EXPECT_EQ(noResponse.nResponse(), 0);
  EXPECT_EQ(noResponse.nVariables(), 2);

  // The extra column with role "predicted" is a column but neither a response nor a variable.
  const MiningModel categorical(readRefText("model", "frame_categorical_response.xml").c_str());
  ASSERT_EQ(categorical.nResponse(), 2);
  EXPECT_EQ(names(categorical.response(0).levels()), (std::vector<std::string>{"no", "yes"}));
  EXPECT_EQ(categorical.response(1).name().str(), "second");
  EXPECT_TRUE(categorical.isClassification());
  ASSERT_EQ(categorical.nFactors(), 1);
  EXPECT_EQ(names(categorical.factors()[0].levels()), (std::vector<std::string>{"<&\">'", "b&b"}));
  EXPECT_EQ(names(categorical.termsTable().getRowNames()), (std::vector<std::string>{"g", "x"}));
  EXPECT_EQ(categorical.respStats().getNRow(), 2);
}
