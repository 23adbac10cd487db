// GLM documents: write -> read -> write over the expected documents of tests/ref/glm (same
// bytes), their statistics against R (fit_*.csv), every reader message of the
// malformed-document table (reader "glm"), and what the reader rebuilds that the writer does
// not write (terms, coefficient ranges, family from extras or model type, specifications).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "GlmTestSupport.h"
#include "model/ModelDocumentTable.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/model/ModelParse.h"
#include "support/RefCsv.h"

namespace {

std::string written(const GLMFit& fit) {
  std::ostringstream os;
  EXPECT_TRUE(fit.getXML(os));
  const std::regex stamp("<Timestamp>[0-9]{1,4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}<");
  EXPECT_TRUE(std::regex_search(os.str(), stamp));
  return std::regex_replace(os.str(), stamp, "<Timestamp>2007/01/31 09:05:07<");
}

// A document of y (dependent), x (continuous), f (levels a, b) around a model element body.
std::string spec(const std::string& body, const std::string& type = "generalLinear") {
  return "<VTML><XTMetaData><ColumnDefinitions><ColumnInfo name=\"y\" role=\"dependent\"/>"
         "<ColumnInfo name=\"x\" role=\"independent\"/><ColumnInfo name=\"f\" role=\"independent\">"
         "<Level value=\"a\"/><Level value=\"b\"/></ColumnInfo></ColumnDefinitions></XTMetaData>"
         "<GeneralRegressionModel modelName=\"m\" targetVariableName=\"y\" modelType=\"" +
         type + "\">" + body + "</GeneralRegressionModel></VTML>";
}

}  // namespace

TEST(GLMFitHandler, ExpectedDocumentsReadAndWriteBackToTheSameBytes) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(refPath("glm", ""))) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("fit_") || entry.path().extension() != ".xml") continue;
    const std::string text = readRefText("glm", name);
    EXPECT_EQ(written(GLMFit(text.c_str())), text) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 2);
}

TEST(GLMFitHandler, DocumentStatisticsMatchR) {
  const std::vector<RefRow> map = readRefCsv("glm", "document_statistics.csv");
  for (const char* name : {"fit_gaussian", "fit_binomial"}) {
    std::map<std::pair<std::string, std::string>, double> ref;
    for (const RefRow& row : readRefCsv("glm", std::string(name) + ".csv"))
      ref[{row.text("what"), row.text("name")}] = row.num("value");
    std::istringstream lines(readRefText("glm", std::string(name) + ".xml"));
    int compared = 0;
    for (std::string line; std::getline(lines, line);) {
      for (const RefRow& m : map) {
        const std::string &element = m.text("element"), &key = m.text("key");
        const std::string &attribute = m.text("attribute"), &what = m.text("what");
        const double tolerance = m.num("tolerance");
        const std::regex open("^ *<" + element + " .*"), value(" " + attribute + "=\"([^\"]*)\"");
        const std::regex keyed(" " + key + "=\"([^\"]*)\"");
        std::smatch v, k;
        if (!std::regex_match(line, open) || !std::regex_search(line, v, value)) continue;
        const std::string label =
            key.empty() || !std::regex_search(line, k, keyed) ? "" : k[1].str();
        const auto found = ref.find({what, label});
        if (found == ref.end() || v[1] == "NaN") continue;
        EXPECT_TRUE(qmxtest::near(std::stod(v[1]), found->second, tolerance, 0))
            << name << ": " << line;
        ++compared;
      }
    }
    EXPECT_GE(compared, 30) << name;
  }
}

TEST(GLMFitHandler, EveryMessageOfTheTable) {
  const auto cases = qmx_test::documentCases("glm");
  EXPECT_GE(cases.size(), 70u);
  for (const auto& c : cases) {
    EXPECT_TRUE(throwsMessage([&] { GLMFit fit(c.document.c_str()); }, c.message)) << c.document;
  }
  EXPECT_TRUE(throwsMessage([&] { ModelParseXMLString(GLMFitHandler(), spec("").c_str()); },
                            "Bad model object"));
}

TEST(GLMFitHandler, TermsRangesAndFamilyRebuiltFromAFit) {
  const std::string text = readRefText("glm", "fit_gaussian.xml");
  const GLMFit fit(text.c_str());
  strVector terms;
  for (long t = 0; t < fit.nTerms(); ++t)
    terms.push_back(fit.term(t));
  EXPECT_EQ(terms, (strVector{String("wt"), String("I(wt^2)"), String("wt2"), String("am"),
                              String("wt:am")}));
  EXPECT_EQ(std::vector<long>(fit.termsTable().constData(), fit.termsTable().constData() + 15),
            (std::vector<long>{1, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1}));
  EXPECT_EQ(fit.termIndices(), (Index{1, 2, 3, 4, 6, 8}));
  EXPECT_TRUE(fit.intercept());
  EXPECT_EQ(fit.factorInfo(0L).levels(), (strVector{String("auto"), String("manual")}));
  // Read into a plain model: the description only.
  EXPECT_EQ(GLMModel(text.c_str()).distType(), GLMFamily::Distribution::Gaussian);
  // A coefficient holding x^2 and level a of f is the term I(x^2):f (as R labels it); an aliased
  // one keeps its beta.
  const GLMFit interaction(readRefText("glm", "read_interaction.vtml").c_str());
  EXPECT_EQ(interaction.term(1), String("I(x^2):f"));
  EXPECT_EQ(interaction.coefTable()(1, 0), 2);
  EXPECT_EQ(interaction.coefTable()(1, 1), 1);
  EXPECT_EQ(interaction.coefficients()(1, 0), 3.0);
  EXPECT_TRUE(std::isnan(interaction.stdErr()(1, 0)));
  EXPECT_FALSE(interaction.intercept());
  // Extras name the family when all three names are given; otherwise the model type's stays.
  const GLMFit gamma(spec("<ModelExtraInfo><Family val=\"Gamma\"/><Link val=\"Log: log(mu)\"/>"
                          "<Mean val=\"2.5\"/><Var val=\"Constant: 1\"/></ModelExtraInfo>",
                          "GLM")
                         .c_str());
  EXPECT_EQ(gamma.distType(), GLMFamily::Distribution::Gamma);
  EXPECT_EQ(gamma.getModelExtras()[5], String("2.5"));
  const GLMFit partial(
      spec("<ModelExtraInfo><Family val=\"Gamma\"/></ModelExtraInfo>", "loglinear").c_str());
  EXPECT_EQ(partial.distType(), GLMFamily::Distribution::Poisson);
  EXPECT_EQ(partial.getFamilyName(), String("Gamma"));
}

TEST(GLMFitHandler, SpecificationDocument) {
  const GLMModel model(readRefText("glm", "read_spec.vtml").c_str());
  EXPECT_EQ(model.name(), String("m"));
  EXPECT_EQ(model.linkType(), GLMLink::Link::Log);
  EXPECT_EQ(model.getVarName(), String("Identity: mu"));
  EXPECT_FALSE(model.intercept());
  EXPECT_EQ(model.weights(), String("w"));
  EXPECT_EQ(model.factor(0), String("f"));
  EXPECT_EQ(model.termsTable().getColNames(),
            (strVector{String("x"), String("f"), String("x^2"), String("x:f")}));
  EXPECT_EQ(std::vector<long>(model.termsTable().constData(), model.termsTable().constData() + 8),
            (std::vector<long>{1, 0, 0, 1, 2, 0, 1, 1}));
  // The model type chooses the family; no LinearModel: one main effect per variable.
  const std::vector<std::pair<const char*, GLMFamily::Distribution>> types = {
      {"regression", GLMFamily::Distribution::Gaussian},
      {"multinomialLogistic", GLMFamily::Distribution::Binomial},
      {"loglinear", GLMFamily::Distribution::Poisson}};
  for (const auto& [type, distribution] : types) {
    const GLMModel typed(spec("<Intercept value=\"true\"/>", type).c_str());
    EXPECT_EQ(typed.distType(), distribution) << type;
    EXPECT_EQ(typed.nTerms(), 2);
    EXPECT_TRUE(typed.intercept());
  }
  EXPECT_FALSE(GLMModel(spec("", "GLM").c_str()).hasFamily());
}
