// The frame reader (ModelHandler, MiningModelHandler, ModelParse): every message of the
// malformed-document table for the frame and mining readers, hostile documents (external
// resources, entity expansion, depth, huge values) and what the good documents
// tests/ref/model/reader_*.xml read into.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/ModelDocumentTable.h"
#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/model/ModelParse.h"
#include "qmxmisc/model/SAXParserFactory.h"

using modeltest::names;

namespace {

constexpr const char* kSecret = "QMXSECRETCONTENTS";

// A local file that would define the entity `leak` as the secret, if it were ever read.
struct SecretFile {
  std::string path =
      std::string(QMX_TEST_BINARY_DIR) + "/secret_" + std::to_string(::getpid()) + ".dtd";
  SecretFile() {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
      std::fprintf(file, "<!ENTITY leak \"%s\">\n", kSecret);
      std::fclose(file);
    }
  }
  ~SecretFile() { std::remove(path.c_str()); }
};

// "Billion laughs": ten levels of ten references each.
std::string laughs() {
  std::string entities = "<!ENTITY lol0 \"lol\">\n";
  for (int level = 1; level <= 9; ++level) {
    std::string refs;
    for (int i = 0; i < 10; ++i)
      refs += "&lol" + std::to_string(level - 1) + ";";
    entities += "<!ENTITY lol" + std::to_string(level) + " \"" + refs + "\">\n";
  }
  return entities;
}

std::string vtml(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<VTML version=\"3.0\">\n" + body + "</VTML>\n";
}

}  // namespace

TEST(ModelReader, EveryMessageOfTheTable) {
  const SecretFile secret;
  const auto times = [](const char* text, int count) {
    std::string repeated;
    for (int i = 0; i < count; ++i)
      repeated += text;
    return repeated;
  };
  const std::map<std::string, std::string> extra = {
      {"SECRET", "file://" + secret.path},   {"LAUGHS", laughs()},
      {"OPEN3000", times("<a>", 3000)},      {"OPEN4000", times("<a>", 4000)},
      {"CLOSE4000", times("</a>", 4000)},    {"OPEN100000", times("<a>", 100000)},
      {"CLOSE100000", times("</a>", 100000)}};
  const auto frame = qmx_test::documentCases("frame", extra);
  EXPECT_GE(frame.size(), 35u);
  for (const auto& c : frame) {
    EXPECT_EQ(thrownMessage([&] { ModelTerms model(c.document.c_str()); }), c.message)
        << c.document;
  }
  const auto mining = qmx_test::documentCases("mining", extra);
  EXPECT_GE(mining.size(), 15u);
  for (const auto& c : mining) {
    MiningModel model;
    EXPECT_EQ(
        thrownMessage([&] { ModelParseXMLString(MiningModelHandler(model), c.document.c_str()); }),
        c.message)
        << c.document;
    for (const FactorInfo& factor : model.factors())
      EXPECT_EQ(factor.level(0).str().find(kSecret), std::string::npos);
    for (const String& name : model.termsTable().getRowNames())
      EXPECT_EQ(name.str().find(kSecret), std::string::npos);
  }
}

TEST(ModelReader, FrameAlternativesAndOutOfPlaceElements) {
  // DataDictionary/DataField/Value and numberOfFields; stray frame elements and unknown ones
  // are passed over; a repeated column keeps its place and role, and the current column (x)
  // takes its levels.
  ModelTerms model;
  ModelHandler handler(model);
  ModelParseXMLString(handler, readRefText("model", "reader_frame_alternatives.xml").c_str());
  ASSERT_EQ(handler.columns().size(), 3u);
  EXPECT_EQ(names(model.response(0).levels()), (std::vector<std::string>{"lo", "hi"}));
  EXPECT_EQ(names(model.termsTable().getColNames()), (std::vector<std::string>{"h", "x"}));
  EXPECT_EQ(std::vector<long>(model.termsTable().constData(), model.termsTable().constData() + 4),
            (std::vector<long>{1, 0, 0, 1}));
  ASSERT_EQ(model.nFactors(), 2);
  EXPECT_EQ(names(model.factors()[1].levels()), std::vector<std::string>{"late"});
}

TEST(ModelReader, SchemaTermsStatisticsAndCounts) {
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model),
                      readRefText("model", "reader_schema_statistics.xml").c_str());
  // Schema terms in schema order; z keeps a row without a term.
  const TMatrix<long>& terms = model.termsTable();
  EXPECT_EQ(names(terms.getRowNames()), (std::vector<std::string>{"x", "z", "f"}));
  EXPECT_EQ(names(terms.getColNames()), (std::vector<std::string>{"f", "x"}));
  EXPECT_EQ(std::vector<long>(terms.constData(), terms.constData() + 6),
            (std::vector<long>{0, 0, 1, 1, 0, 0}));
  const DoubleMatrix& var = model.varStats();
  EXPECT_EQ(names(var.getColNames()),
            (std::vector<std::string>{"min", "max", "mean", "std.dev", ""}));
  EXPECT_EQ(std::vector<double>({var(0, 0), var(0, 1), var(0, 2), var(0, 3), var(0, 4), var(2, 4)}),
            (std::vector<double>{-1.0, 7.25, 2.5, 1.5e-3, 40.0, 12.0}));
  EXPECT_TRUE(std::isnan(var(2, 2)));  // counts but no NumericInfo
  EXPECT_TRUE(std::isnan(var(1, 4)));  // no statistics at all
  EXPECT_EQ(model.respStats()(0, 4), 9.0);
  EXPECT_EQ(model.factors()[0].counts().toStd(), (std::vector<std::int32_t>{7, 0, 5}));
  EXPECT_EQ(model.response(0).counts().toStd(), (std::vector<std::int32_t>{0, 9}));
  MiningModel empty(vtml("<MiningSchema/>\n").c_str());
  EXPECT_EQ(empty.varStats().getNRow() + empty.respStats().getNRow() + empty.nVariables(), 0);
}

TEST(ModelReader, LongValuesEntitiesAndFiles) {
  // Values are cut at 512 bytes, never inside a UTF-8 character; predefined entities are no
  // expansions, however many.
  std::string escaped, label;
  for (int i = 0; i < 100; ++i) {
    escaped += "&lt;&amp;&quot;&gt;&apos;";
    label += "<&\">'";
  }
  const std::string big(10 * 1024 * 1024, 'q');
  const ModelTerms model(
      vtml("<XTMetaData><ColumnDefinitions><ColumnInfo name=\"" + big +
           "\" role=\"independent\"><Level value=\"" + std::string(511, 'a') +
           "\xC3\xA9tail\"/><Level value=\"" + escaped +
           "\"/><Level value=\"f&#233;\"/></ColumnInfo></ColumnDefinitions></XTMetaData>\n")
          .c_str());
  EXPECT_EQ(model.variable(0).str(), std::string(512, 'q'));
  EXPECT_EQ(names(model.factors()[0].levels()),
            (std::vector<std::string>{std::string(511, 'a'), label, "f\xC3\xA9"}));
  // Files; nothing to read does nothing.
  ModelTerms fromFile;
  ModelParseXMLFile(ModelHandler(fromFile), refPath("model", "frame_example.xml").c_str());
  EXPECT_EQ(fromFile.weights().str(), "w");
  EXPECT_EQ(fromFile.nFactors(), 1);
  EXPECT_EQ(thrownMessage([&] { ModelParseXMLFile(ModelHandler(fromFile), "/nonexistent/x.xml"); }),
            "Failed to initialized XLM parser");
  fromFile.setIntercept(false);
  for (const char* nothing : {static_cast<const char*>(nullptr), ""}) {
    ModelParseXMLString(ModelHandler(fromFile), nothing);
    ModelParseXMLFile(ModelHandler(fromFile), nothing);
  }
  EXPECT_FALSE(fromFile.intercept());
}

TEST(ModelReader, ParserConfigurationOutlivesThePlatformReference) {
  auto outer = std::make_unique<XMLPlatformGuard>();
  MiningModel model;
  MiningModelHandler handler(model);
  SAXParserPtr parser = makeSAXParser(handler);
  outer.reset();
  // External resources and entity expansion are the hostile rows of the table.
  EXPECT_EQ(parser->getSecurityManager()->getEntityExpansionLimit(), kSAXEntityExpansionLimit);
  parser.reset();
  for (int round = 0; round < 2; ++round) {
    ModelParseXMLString(handler, readRefText("model", "frame_example.xml").c_str());
    EXPECT_EQ(model.nFactors(), 1);
  }
}
