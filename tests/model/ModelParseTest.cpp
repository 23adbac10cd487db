// ModelParseXMLString on hostile documents: external entities and DTDs naming a local file or
// a network address, nested entity expansion, very deep nesting and a 10 MB attribute. Each
// must end with a QMXException or a clean parse within seconds, never reading the file.
// Also the parser and platform lifetimes.
#include "qmxmisc/model/ModelParse.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "model/ModelReaderTestSupport.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/model/SAXParserFactory.h"
#include "qmxmisc/model/XMLPlatformGuard.h"

using qmx_test::vtml;

namespace {

// Seconds any hostile document may take (sanitizer builds included).
constexpr double kTimeLimitSeconds = 10.0;

constexpr const char* kSecret = "QMXSECRETCONTENTS";

// A local file whose text would define the entity `leak` as the secret, if it were read.
class SecretFile {
 public:
  SecretFile() {
    path_ = std::string(QMX_TEST_BINARY_DIR) + "/model_parse_secret_" + std::to_string(::getpid()) +
            ".dtd";
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file != nullptr) {
      std::fprintf(file, "<!ENTITY leak \"%s\">\n", kSecret);
      std::fclose(file);
    }
  }
  ~SecretFile() { std::remove(path_.c_str()); }
  std::string url() const { return "file://" + path_; }

 private:
  std::string path_;
};

// Parses into a mining model and returns the thrown message ("<no exception>" when clean),
// checking the time taken and that the secret reached no name or level of the model.
std::string parseHostile(const std::string& document, const char* label) {
  MiningModel model;
  const auto start = std::chrono::steady_clock::now();
  const std::string message =
      thrownMessage([&] { ModelParseXMLString(MiningModelHandler(model), document.c_str()); });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, kTimeLimitSeconds) << label;
  EXPECT_EQ(message.find(kSecret), std::string::npos) << label;
  for (const FactorInfo& info : model.responses()) {
    EXPECT_EQ(info.name().str().find(kSecret), std::string::npos) << label;
    for (const String& level : info.levels()) {
      EXPECT_EQ(level.str().find(kSecret), std::string::npos) << label;
    }
  }
  for (const FactorInfo& info : model.factors()) {
    for (const String& level : info.levels()) {
      EXPECT_EQ(level.str().find(kSecret), std::string::npos) << label;
    }
  }
  for (const String& name : model.termsTable().getRowNames()) {
    EXPECT_EQ(name.str().find(kSecret), std::string::npos) << label;
  }
  return message;
}

const char* kColumnsUsingLeak =
    "<VTML>\n<XTMetaData><ColumnDefinitions>\n"
    "<ColumnInfo name=\"f\" role=\"independent\"><Level value=\"&leak;\"/></ColumnInfo>\n"
    "</ColumnDefinitions></XTMetaData>\n</VTML>\n";

}  // namespace

TEST(ModelParse, ExternalEntitiesAreNeverRead) {
  const SecretFile secret;
  struct Case {
    const char* label;
    std::string document;
    const char* expected;
  };
  // Every external resource is refused: a document that needs one ends with a parser error
  // (in the prolog, the parse cannot even start); schema locations and XInclude elements are
  // never followed, so those documents parse cleanly without the file.
  const Case cases[] = {
      {"external DTD subset defining the entity",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML SYSTEM \"" + secret.url() + "\">\n" +
           kColumnsUsingLeak,
       "Failed to initialized XLM parser"},
      {"external parameter entity defining the entity",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ENTITY % ext SYSTEM \"" + secret.url() +
           "\">\n%ext;\n]>\n" + kColumnsUsingLeak,
       "Failed to initialized XLM parser"},
      {"external general entity in content",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ENTITY ext SYSTEM \"" + secret.url() +
           "\">\n]>\n<VTML>&ext;</VTML>\n",
       "fatal error in XML parser. Line #5"},
      {"external general entity in an attribute",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ENTITY ext SYSTEM \"" + secret.url() +
           "\">\n]>\n<VTML><XTMetaData><ColumnDefinitions><ColumnInfo name=\"&ext;\" "
           "role=\"independent\"/></ColumnDefinitions></XTMetaData></VTML>\n",
       "fatal error in XML parser. Line #5"},
      {"network DTD",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML SYSTEM "
       "\"http://127.0.0.1:9/model.dtd\">\n<VTML/>\n",
       "Failed to initialized XLM parser"},
      {"schema location",
       "<?xml version=\"1.0\"?>\n<VTML xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
       "xsi:noNamespaceSchemaLocation=\"" +
           secret.url() + "\"/>\n",
       "<no exception>"},
      {"XInclude-looking element",
       "<?xml version=\"1.0\"?>\n<VTML xmlns:xi=\"http://www.w3.org/2001/XInclude\">"
       "<xi:include href=\"" +
           secret.url() + "\" parse=\"text\"/></VTML>\n",
       "<no exception>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parseHostile(c.document, c.label), c.expected) << c.label;
  }
}

TEST(ModelParse, EntityExpansionIsBounded) {
  // "Billion laughs": ten levels of ten references each.
  std::string entities = "<!ENTITY lol0 \"lol\">\n";
  std::string refs;
  for (int level = 1; level <= 9; ++level) {
    refs.clear();
    for (int i = 0; i < 10; ++i)
      refs += "&lol" + std::to_string(level - 1) + ";";
    entities += "<!ENTITY lol" + std::to_string(level) + " \"" + refs + "\">\n";
  }
  const std::string inAttribute =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n" + entities +
      "]>\n<VTML><XTMetaData><ColumnDefinitions><ColumnInfo name=\"&lol9;\"/>"
      "</ColumnDefinitions></XTMetaData></VTML>\n";
  EXPECT_EQ(parseHostile(inAttribute, "billion laughs in an attribute"),
            "fatal error in XML parser. Line #14");
  const std::string inContent =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n" + entities + "]>\n<VTML>&lol9;</VTML>\n";
  EXPECT_EQ(parseHostile(inContent, "billion laughs in content"),
            "fatal error in XML parser. Line #14");
  // A few internal entities are fine.
  const std::string few =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE VTML [\n<!ENTITY lvl \"a\">\n"
      "<!ATTLIST ColumnInfo name CDATA #IMPLIED role CDATA #IMPLIED>\n]>\n"
      "<VTML><XTMetaData><ColumnDefinitions><ColumnInfo name=\"&lvl;\" role=\"independent\"/>"
      "</ColumnDefinitions></XTMetaData></VTML>\n";
  MiningModel model;
  // The DOCTYPE switches validation on; undeclared elements are recoverable errors.
  EXPECT_EQ(thrownMessage([&] { ModelParseXMLString(MiningModelHandler(model), few.c_str()); }),
            "recoverable error in XML parser. Line #6");
}

TEST(ModelParse, DeepNestingAndHugeAttribute) {
  auto nested = [](int depth, bool closed) {
    std::string document = "<?xml version=\"1.0\"?>\n<VTML>";
    document.reserve(static_cast<std::size_t>(depth) * 8 + 200);
    for (int i = 0; i < depth; ++i)
      document += "<a>";
    document +=
        "<XTMetaData><ColumnDefinitions><ColumnInfo name=\"x\" role=\"independent\"/>"
        "</ColumnDefinitions></XTMetaData>";
    if (closed) {
      for (int i = 0; i < depth; ++i)
        document += "</a>";
      document += "</VTML>\n";
    }
    return document;
  };
  // 4000 levels of nesting (plus root and frame) parse cleanly; 100000 levels are stopped at
  // the depth limit, closed or not.
  const std::string deepMessage = "XML document nests elements deeper than 4096 levels";
  EXPECT_EQ(parseHostile(nested(4000, true), "4000 levels"), "<no exception>");
  EXPECT_EQ(parseHostile(nested(100000, true), "100000 levels"), deepMessage);
  EXPECT_EQ(parseHostile(nested(100000, false), "100000 levels unclosed"), deepMessage);
  EXPECT_EQ(parseHostile(nested(3000, false), "3000 levels unclosed"),
            "fatal error in XML parser. Line #2");
  const MiningModel model4000(nested(4000, true).c_str());
  EXPECT_EQ(model4000.nVariables(), 1);

  const std::string big(10 * 1024 * 1024, 'q');
  const std::string huge = vtml("<XTMetaData><ColumnDefinitions><ColumnInfo name=\"" + big +
                                "\" role=\"independent\"><Level value=\"" + big +
                                "\"/></ColumnInfo></ColumnDefinitions></XTMetaData>\n");
  EXPECT_EQ(parseHostile(huge, "10 MB attributes"), "<no exception>");
  const MiningModel model(huge.c_str());
  ASSERT_EQ(model.nVariables(), 1);
  EXPECT_EQ(model.variable(0).str(), std::string(512, 'q'));
  EXPECT_EQ(model.factors()[0].level(0).str(), std::string(512, 'q'));
}

TEST(ModelParse, HostileCountsAndSizes) {
  const std::string document = vtml(
      "<XTMetaData><ColumnDefinitions fieldCount=\"2147483647\"><ColumnInfo name=\"x\" "
      "role=\"independent\"/></ColumnDefinitions></XTMetaData>\n");
  EXPECT_EQ(parseHostile(document, "huge fieldCount"), "<no exception>");
  EXPECT_EQ(parseHostile(vtml("<ColumnDefinitions fieldCount=\"99999999999999999999\"/>"),
                         "overflowing fieldCount"),
            "cad fieldCount or numberOfFields attribute in the ColumnDefinitions element");
  // A nested ColumnDefinitions empties the columns under an open ColumnInfo and Counts.
  EXPECT_EQ(parseHostile(vtml("<XTMetaData><ColumnDefinitions><ColumnInfo name=\"f\">"
                              "<ColumnDefinitions/><Level value=\"a\"/></ColumnInfo>"
                              "</ColumnDefinitions></XTMetaData>\n"),
                         "level without column"),
            "<no exception>");
  EXPECT_EQ(parseHostile(vtml("<XTMetaData><ColumnDefinitions><ColumnInfo name=\"f\"><Level "
                              "value=\"a\"/></ColumnInfo></ColumnDefinitions><UnivariateStats "
                              "field=\"f\"><Counts totalFreq=\"1\"><ColumnDefinitions/><Category "
                              "value=\"a\" freq=\"1\"/></Counts></UnivariateStats></XTMetaData>\n"),
                         "category without column"),
            "Unexpected Category element");
  EXPECT_EQ(parseHostile(vtml("<XTMetaData><UnivariateStats field=\"f\"/></XTMetaData>"),
                         "statistics before columns"),
            "variable name f in UnivariateStats element not defined in the ColumnDefinitions "
            "or DataDictionary");
  // Statistics inside ColumnDefinitions, before its end sized the statistics.
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model),
                      vtml("<XTMetaData><ColumnDefinitions><ColumnInfo name=\"x\" "
                           "role=\"independent\"/><UnivariateStats field=\"x\"><NumericInfo "
                           "mean=\"1\" minimum=\"0\" maximum=\"2\" standardDeviation=\"1\"/>"
                           "</UnivariateStats><ColumnInfo name=\"z\" role=\"independent\"/>"
                           "</ColumnDefinitions></XTMetaData>\n")
                          .c_str());
  ASSERT_EQ(model.varStats().getNRow(), 2);
  EXPECT_EQ(model.varStats()(0, 2), 1.0);
}

TEST(ModelParse, PlatformOutlivesEveryParser) {
  // A parser made while another reference exists keeps working after that reference goes.
  auto outer = std::make_unique<XMLPlatformGuard>();
  MiningModel model;
  MiningModelHandler handler(model);
  SAXParserPtr parser = makeSAXParser(handler);
  outer.reset();
  EXPECT_EQ(parser->getValidationScheme(), xercesc::SAXParser::Val_Auto);
  EXPECT_TRUE(parser->getDoNamespaces());
  EXPECT_TRUE(parser->getDoSchema());
  EXPECT_FALSE(parser->getLoadExternalDTD());
  EXPECT_FALSE(parser->getLoadSchema());
  EXPECT_TRUE(parser->getDisableDefaultEntityResolution());
  ASSERT_NE(parser->getSecurityManager(), nullptr);
  EXPECT_EQ(parser->getSecurityManager()->getEntityExpansionLimit(), kSAXEntityExpansionLimit);
  parser.reset();
  // Parses one after another and one inside a live handler's lifetime.
  for (int round = 0; round < 3; ++round) {
    ModelParseXMLString(handler, qmx_test::kFrameDocument);
    EXPECT_EQ(model.nFactors(), 1);
    const MiningModel other(qmx_test::kFrameDocument);
    EXPECT_EQ(other.nResponse(), 1);
  }
}
