// ModelHandler: the frame rules of the document reader, every reader message, the accepted
// alternative forms, the state mask and the 512-byte buffers.
#include "qmxmisc/model/ModelHandler.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/ModelReaderTestSupport.h"
#include "qmxmisc/model/ModelParse.h"
#include "qmxmisc/model/ModelTerms.h"

using qmx_test::vtml;
using qmx_test::withColumns;

namespace {

std::vector<std::string> levelsOf(const FactorInfo& info) {
  return names(info.levels());
}

// A handler that exposes the protected reading helpers and records the element and
// attribute buffers of <Probe value="..."/> elements.
class ProbeHandler : public ModelHandler {
 public:
  explicit ProbeHandler(const ModelTerms& model) : ModelHandler(model) {}
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override {
    getElement(name);
    if (isElement("Probe") || std::string(element()).size() > 100) {
      elements.emplace_back(element());
      getAttribute(attributes, "value", lastValue);
      if (isElement("Probe")) model().setIntercept(false);
    }
    ModelHandler::startElement(name, attributes);
  }
  std::vector<std::string> elements;
  String lastValue;
};

// A handler made without a model.
class NoModelHandler : public ModelHandler {
 public:
  NoModelHandler() = default;
};

}  // namespace

TEST(ModelHandler, ReadsTheWrittenFrame) {
  ModelTerms model;
  ModelParseXMLString(ModelHandler(model), qmx_test::kFrameDocument);
  ASSERT_EQ(model.nResponse(), 1);
  EXPECT_EQ(model.response(0).name().str(), "y");
  EXPECT_EQ(levelsOf(model.response(0)), (std::vector<std::string>{"no", "yes"}));
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factors()[0].name().str(), "f");
  EXPECT_EQ(levelsOf(model.factors()[0]), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(model.weights().str(), "w");
  // The plain frame handler reads no mining schema: identity over the independents.
  const TMatrix<long>& terms = model.termsTable();
  ASSERT_EQ(terms.getNRow(), 2);
  ASSERT_EQ(terms.getNCol(), 2);
  EXPECT_EQ(names(terms.getRowNames()), (std::vector<std::string>{"x", "f"}));
  EXPECT_EQ(names(terms.getColNames()), (std::vector<std::string>{"x", "f"}));
  for (long row = 0; row < 2; ++row) {
    for (long col = 0; col < 2; ++col)
      EXPECT_EQ(terms(row, col), row == col ? 1 : 0);
  }
  EXPECT_TRUE(model.isClassification());
}

TEST(ModelHandler, ConstructorFromDocument) {
  const ModelTerms model(qmx_test::kFrameDocument);
  EXPECT_EQ(model.nVariables(), 2);
  EXPECT_EQ(model.weights().str(), "w");
  EXPECT_EQ(thrownMessage([] { ModelTerms bad("<VTML><XTMetaData></VTML>"); }),
            "fatal error in XML parser. Line #1");
}

TEST(ModelHandler, AcceptsAlternativeForms) {
  // DataDictionary directly under the root, DataField and Value, numberOfFields.
  ModelTerms model;
  ModelParseXMLString(ModelHandler(model), vtml(R"(<DataDictionary numberOfFields="2">
<DataField name="g" role="dependent"><Value value="lo"/><Value value="hi"/></DataField>
<DataField name="h" type="ignored" role="independent"><Value value="u"/></DataField>
</DataDictionary>
)")
                                               .c_str());
  ASSERT_EQ(model.nResponse(), 1);
  EXPECT_EQ(levelsOf(model.response(0)), (std::vector<std::string>{"lo", "hi"}));
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(levelsOf(model.factors()[0]), (std::vector<std::string>{"u"}));
  // DataDictionary inside XTMetaData, with fieldCount on a DataDictionary as well.
  ModelTerms inside;
  ModelParseXMLString(ModelHandler(inside), vtml(R"(<XTMetaData><DataDictionary fieldCount="1">
<DataField name="a" role="independent"/></DataDictionary></XTMetaData>
)")
                                                .c_str());
  EXPECT_EQ(inside.nVariables(), 1);
  EXPECT_EQ(inside.nFactors(), 0);
}

TEST(ModelHandler, RepeatedColumnKeepsTheLastColumnCurrent) {
  ModelTerms model;
  ModelHandler handler(model);
  ModelParseXMLString(handler, withColumns(R"(<ColumnInfo name="a" role="independent"/>
<ColumnInfo name="b" role="independent"><Level value="b1"/></ColumnInfo>
<ColumnInfo name="a" role="dependent"><Level value="late"/></ColumnInfo>
)")
                                   .c_str());
  ASSERT_EQ(handler.columns().size(), 2u);
  EXPECT_EQ(levelsOf(handler.columns()[0]), std::vector<std::string>{});
  EXPECT_EQ(levelsOf(handler.columns()[1]), (std::vector<std::string>{"b1", "late"}));
  // The repeated column's role is not read again: no response.
  EXPECT_EQ(model.nResponse(), 0);
  EXPECT_EQ(names(handler.independentNames()), (std::vector<std::string>{"a", "b"}));
}

TEST(ModelHandler, EveryReaderMessage) {
  const std::string xy = R"(<ColumnInfo name="y" role="dependent"/>
<ColumnInfo name="f" role="independent"><Level value="a"/><Level value="b"/></ColumnInfo>
<ColumnInfo name="x" role="independent"/>
)";
  auto stats = [&xy](const std::string& inner) {
    return withColumns(xy, "<XTMetaData>" + inner + "</XTMetaData>\n");
  };
  struct Case {
    const char* label;
    std::string document;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"nested XTMetaData", vtml("<XTMetaData><XTMetaData/></XTMetaData>"),
       "unexpected XTMetaData element"},
      {"XTMetaData inside ColumnDefinitions",
       vtml("<ColumnDefinitions><XTMetaData/></ColumnDefinitions>"),
       "unexpected XTMetaData element"},
      {"zero fieldCount", vtml("<ColumnDefinitions fieldCount=\"0\"/>"),
       "cad fieldCount or numberOfFields attribute in the ColumnDefinitions element"},
      {"text numberOfFields", vtml("<DataDictionary numberOfFields=\"three\"/>"),
       "cad fieldCount or numberOfFields attribute in the DataDictionary element"},
      {"negative fieldCount", vtml("<ColumnDefinitions fieldCount=\"-2\"/>"),
       "cad fieldCount or numberOfFields attribute in the ColumnDefinitions element"},
      {"ColumnInfo without name", withColumns("<ColumnInfo role=\"independent\"/>"),
       "bad name attribute in ColumnInfo element"},
      {"DataField with empty name", vtml("<DataDictionary><DataField name=\"\"/></DataDictionary>"),
       "bad name attribute in DataField element"},
      {"Level without value", withColumns("<ColumnInfo name=\"f\"><Level/></ColumnInfo>"),
       "bad category level in Level element"},
      {"Value without value", withColumns("<ColumnInfo name=\"f\"><Value val=\"a\"/></ColumnInfo>"),
       "bad category level in Value element"},
      {"UnivariateStats without name", stats("<UnivariateStats/>"),
       "no field or variable name in UnivariateStats element"},
      {"UnivariateStats unknown field", stats("<UnivariateStats field=\"z\"/>"),
       "variable name z in UnivariateStats element not defined in the ColumnDefinitions or "
       "DataDictionary"},
      {"UnivariateStats unknown name", stats("<UnivariateStats name=\"zz\"/>"),
       "variable name zz in UnivariateStats element not defined in the ColumnDefinitions or "
       "DataDictionary"},
      {"NumericInfo outside", stats("<NumericInfo/>"), "unexpected NumericInfo element"},
      {"no mean",
       stats(R"(<UnivariateStats field="x"><NumericInfo minimum="0" maximum="1" )"
             R"(standardDeviation="1"/></UnivariateStats>)"),
       "no mean for variable x in NumericInfo element"},
      {"no minimum",
       stats(R"(<UnivariateStats field="x"><NumericInfo mean="0" maximum="1" )"
             R"(standardDeviation="1"/></UnivariateStats>)"),
       "no minimum for variable x in NumericInfo element"},
      {"no maximum",
       stats(R"(<UnivariateStats name="x"><NumericInfo mean="0" minimum="0" )"
             R"(standardDeviation="1"/></UnivariateStats>)"),
       "no maximum for variable x in NumericInfo element"},
      {"no standard deviation",
       stats(R"(<UnivariateStats field="x"><NumericInfo mean="0" minimum="0" )"
             R"(maximum="1"/></UnivariateStats>)"),
       "no standard deviation for variable x in NumericInfo element"},
      {"mean not a number",
       stats(R"(<UnivariateStats field="x"><NumericInfo mean="1.5x" minimum="0" maximum="1" )"
             R"(standardDeviation="1"/></UnivariateStats>)"),
       "no mean for variable x in NumericInfo element"},
      {"Counts outside", stats("<Counts totalFreq=\"3\"/>"), "unexpected Counts element"},
      {"no totalFreq", stats("<UnivariateStats field=\"f\"><Counts/></UnivariateStats>"),
       "no totalFreq for variable f in Counts element"},
      {"Category outside Counts",
       stats("<UnivariateStats field=\"f\"><Category value=\"a\" freq=\"1\"/></UnivariateStats>"),
       "Unexpected Category element"},
      {"Category of a continuous column",
       stats(R"(<UnivariateStats field="x"><Counts totalFreq="3">)"
             R"(<Category value="a" freq="1"/></Counts></UnivariateStats>)"),
       "Unexpected Category element"},
      {"Category without value",
       stats(R"(<UnivariateStats field="f"><Counts totalFreq="3">)"
             R"(<Category freq="1"/></Counts></UnivariateStats>)"),
       "no value attribute for variable f in Category element"},
      {"Category of an undeclared level",
       stats(R"(<UnivariateStats field="f"><Counts totalFreq="3">)"
             R"(<Category value="c" freq="1"/></Counts></UnivariateStats>)"),
       "factor level c was not specifed for variable f in the ColumnDefinitions or "
       "DataDictionary"},
      {"Category without freq",
       stats(R"(<UnivariateStats field="f"><Counts totalFreq="3">)"
             R"(<Category value="a"/></Counts></UnivariateStats>)"),
       "no freq attribute for variable f in Category element"},
      {"Category with fractional freq",
       stats(R"(<UnivariateStats field="f"><Counts totalFreq="3">)"
             R"(<Category value="a" freq="1.5"/></Counts></UnivariateStats>)"),
       "no freq attribute for variable f in Category element"},
      // A second ColumnDefinitions empties the columns but not the roles read before.
      {"dependent lost",
       vtml("<ColumnDefinitions><ColumnInfo name=\"y\" role=\"dependent\"/></ColumnDefinitions>"
            "<ColumnDefinitions><ColumnInfo name=\"x\" role=\"independent\"/>"
            "</ColumnDefinitions>"),
       "dependent variable y was not defined in the ColumnDefinitions or DataDictionary"},
      {"independent lost",
       vtml("<ColumnDefinitions><ColumnInfo name=\"x\" role=\"independent\"/>"
            "</ColumnDefinitions><ColumnDefinitions/>"),
       "independent variable x was not defined in the ColumnDefinitions or DataDictionary"},
      {"malformed", vtml("<XTMetaData>\n<ColumnDefinitions>\n</XTMetaData>\n"),
       "fatal error in XML parser. Line #5"},
      {"not XML at all", "this is not a model document", "Failed to initialized XLM parser"},
      {"validity error",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ELEMENT VTML EMPTY>\n]>\n"
       "<VTML>\n<Undeclared/>\n</VTML>\n",
       // Line 6 (undeclared element) is replaced by line 7 (VTML's content is not EMPTY).
       "recoverable error in XML parser. Line #7"},
      {"warning",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ELEMENT VTML (Missing)*>\n]>\n"
       "<VTML/>\n",
       "warning in XML parser. Line #4"},
  };
  for (const Case& c : cases) {
    ModelTerms model;
    EXPECT_EQ(thrownMessage([&] { ModelParseXMLString(ModelHandler(model), c.document.c_str()); }),
              c.message)
        << c.label;
  }
}

TEST(ModelHandler, FatalErrorErasesTheModel) {
  ModelTerms model;
  ProbeHandler handler(model);
  // The probe sets the intercept off; the fatal error after it erases the model.
  EXPECT_EQ(thrownMessage([&] {
              ModelParseXMLString(handler, vtml("<Probe value=\"v\"/>\n<Broken></VTML>").c_str());
            }),
            "fatal error in XML parser. Line #4");
  EXPECT_TRUE(model.intercept());
  EXPECT_EQ(handler.getError().str(), "fatal error in XML parser. Line #4");
  // The same probe in a good document keeps its effect.
  ModelParseXMLString(handler, vtml("<Probe value=\"v\"/>\n").c_str());
  EXPECT_FALSE(model.intercept());
  EXPECT_TRUE(handler.getError().empty());
}

TEST(ModelHandler, WithoutModel) {
  NoModelHandler handler;
  EXPECT_TRUE(handler.done());
  EXPECT_EQ(thrownMessage([&] { ModelParseXMLString(handler, vtml("").c_str()); }),
            "Bad model object");
}

TEST(ModelHandler, EmptyInputDoesNothing) {
  ModelTerms model;
  model.setIntercept(false);
  ModelParseXMLString(ModelHandler(model), nullptr);
  ModelParseXMLString(ModelHandler(model), "");
  ModelParseXMLFile(ModelHandler(model), nullptr);
  ModelParseXMLFile(ModelHandler(model), "");
  EXPECT_FALSE(model.intercept());
}

TEST(ModelHandler, StateMask) {
  ModelTerms model;
  ModelHandler handler(model);
  EXPECT_TRUE(handler.isState(0));
  EXPECT_FALSE(handler.anyState(ModelHandler::XML_xtMetaData));
  handler.setStateOn(ModelHandler::XML_xtMetaData | ModelHandler::XML_counts);
  EXPECT_FALSE(handler.isState(0));
  EXPECT_TRUE(handler.isState(ModelHandler::XML_xtMetaData));
  EXPECT_TRUE(handler.isState(ModelHandler::XML_xtMetaData | ModelHandler::XML_counts));
  EXPECT_FALSE(handler.isState(ModelHandler::XML_xtMetaData | ModelHandler::XML_columnInfo));
  EXPECT_TRUE(handler.anyState(ModelHandler::XML_columnInfo | ModelHandler::XML_counts));
  handler.setStateOff(ModelHandler::XML_counts);
  EXPECT_EQ(handler.state(), ModelHandler::XML_xtMetaData);
  handler.resetState();
  EXPECT_EQ(handler.state(), 0u);
  EXPECT_EQ(ModelHandler::XML_columnDefinitions, 0x2u);
  EXPECT_EQ(ModelHandler::XML_columnInfo, 0x4u);
  EXPECT_EQ(ModelHandler::XML_columnStats, 0x8u);
  EXPECT_EQ(ModelHandler::XML_univariateStats, 0x10u);
  EXPECT_EQ(ModelHandler::XML_counts, 0x20u);
  EXPECT_FALSE(handler.done());
}

TEST(ModelHandler, BuffersCutLongNamesAndValues) {
  const std::string longValue(600, 'v');
  // 511 ASCII bytes then a two-byte character: the character does not fit and is left out.
  const std::string accented = std::string(511, 'a') + "\xC3\xA9" + "tail";
  const std::string longName(700, 'N');
  ModelTerms model;
  ProbeHandler handler(model);
  ModelParseXMLString(
      handler,
      withColumns("<ColumnInfo name=\"" + longValue + "\" role=\"independent\"><Level value=\"" +
                      accented + "\"/></ColumnInfo>\n",
                  "<" + longName + "/>\n<Probe value=\"" + longValue + "\"/>\n")
          .c_str());
  ASSERT_EQ(model.nVariables(), 1);
  EXPECT_EQ(model.variable(0).str(), std::string(512, 'v'));
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factors()[0].level(0).str(), std::string(511, 'a'));
  ASSERT_EQ(handler.elements.size(), 2u);
  EXPECT_EQ(handler.elements[0], std::string(512, 'N'));
  EXPECT_EQ(handler.elements[1], "Probe");
  EXPECT_EQ(handler.lastValue.str(), std::string(512, 'v'));
}

TEST(ModelHandler, EscapedTextAndPredefinedEntities) {
  // Far more predefined entities than the expansion limit: they are not expansions.
  std::string label;
  std::string escaped;
  for (int i = 0; i < 100; ++i) {
    label += "<&\">'";
    escaped += "&lt;&amp;&quot;&gt;&apos;";
  }
  ModelTerms model;
  ModelParseXMLString(
      ModelHandler(model),
      withColumns("<ColumnInfo name=\"f&#233;\" role=\"independent\"><Level value=\"" + escaped +
                  "\"/><Level value=\"&lt;&amp;&quot;&gt;&apos;\"/></ColumnInfo>\n")
          .c_str());
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factors()[0].name().str(), "f\xC3\xA9");
  EXPECT_EQ(model.factors()[0].level(0).str(), label);
  EXPECT_EQ(model.factors()[0].level(1).str(), "<&\">'");
}

TEST(ModelHandler, IgnoresElementsOutOfPlaceWithoutAMessage) {
  // ColumnInfo outside ColumnDefinitions, Level outside ColumnInfo, UnivariateStats outside
  // XTMetaData and unknown elements are ignored.
  ModelTerms model;
  ModelHandler handler(model);
  ModelParseXMLString(handler, vtml(R"(<ColumnInfo name="stray" role="independent"/>
<Level value="stray"/>
<UnivariateStats field="nothing"/>
<Unknown><Deeper/></Unknown>
<XTMetaData><ColumnDefinitions><ColumnInfo name="x" role="independent"/></ColumnDefinitions>
</XTMetaData>
)")
                                   .c_str());
  EXPECT_EQ(handler.columns().size(), 1u);
  EXPECT_EQ(model.nVariables(), 1);
  EXPECT_EQ(model.variable(0).str(), "x");
}

TEST(ModelHandler, ReadsFiles) {
  const std::string path = std::string(QMX_TEST_BINARY_DIR) + "/model_handler_test_" +
                           std::to_string(::getpid()) + ".xml";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(qmx_test::kFrameDocument, file);
    std::fclose(file);
  }
  ModelTerms model;
  ModelParseXMLFile(ModelHandler(model), path.c_str());
  std::remove(path.c_str());
  EXPECT_EQ(model.nResponse(), 1);
  EXPECT_EQ(model.nFactors(), 1);
  EXPECT_EQ(thrownMessage([&] { ModelParseXMLFile(ModelHandler(model), path.c_str()); }),
            "Failed to initialized XLM parser");
}
