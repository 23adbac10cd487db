// GLMSpecElementWriter: the GeneralRegressionModel element of a specification byte for byte
// (model type per family, predictor lists, powers as repeated TermVar, escaping, name,
// intercept, weights; a term is named by its R label, backquotes included) and its failures.
#include "qmxmisc/glm/GLMSpecElementWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/framework/QMXException.h"
#include "qmxmisc/model/ModelFormula.h"

namespace {

std::vector<DataColumn> columns() {
  return {DataColumn::numeric("y"), DataColumn::numeric("x"), DataColumn::factor("a&b", {"p", "q"}),
          DataColumn::numeric("w")};
}

std::string element(const SpecElementWriter& writer, const MiningModel& model) {
  std::ostringstream os;
  EXPECT_TRUE(writer.begin(os, model));
  EXPECT_TRUE(writer.end(os, model));
  return os.str();
}

SpecSettings settings(const char* family, const char* link = "", const char* variance = "") {
  SpecSettings result;
  result.values = {{"family", family}, {"link", link}, {"variance", variance}};
  return result;
}

}  // namespace

TEST(GLMSpecElementWriter, WritesTheElement) {
  MiningModel model = modelFromFormula("y ~ x * `a&b` + I(x^3) - 1", columns(), "w");
  model.setModelName(String("m<1>"));
  const std::string text =
      element(*GLMSpecElementWriter::fromSettings(settings("poisson", "sqrt")), model);
  EXPECT_EQ(text,
            "  <GeneralRegressionModel modelName=\"m&lt;1&gt;\" targetVariableName=\"y\" "
            "modelType=\"loglinear\">\n"
            "    <MiningSchema>\n"
            "      <MiningField name=\"y\" usageType=\"predicted\"/>\n"
            "      <MiningField name=\"x\"/>\n"
            "      <MiningField name=\"a&amp;b\"/>\n"
            "    </MiningSchema>\n"
            "    <Family val=\"Poisson\"/>\n"
            "    <Link val=\"Square Root: sqrt(mu)\"/>\n"
            "    <Var val=\"Identity: mu\"/>\n"
            "    <FactorList>\n"
            "      <Predictor name=\"a&amp;b\"/>\n"
            "    </FactorList>\n"
            "    <CovariateList>\n"
            "      <Predictor name=\"x\"/>\n"
            "    </CovariateList>\n"
            "    <LinearModel>\n"
            "      <Term name=\"x\">\n"
            "        <TermVar value=\"x\"/>\n"
            "      </Term>\n"
            "      <Term name=\"`a&amp;b`\">\n"
            "        <TermVar value=\"a&amp;b\"/>\n"
            "      </Term>\n"
            "      <Term name=\"I(x^3)\">\n"
            "        <TermVar value=\"x\"/>\n"
            "        <TermVar value=\"x\"/>\n"
            "        <TermVar value=\"x\"/>\n"
            "      </Term>\n"
            "      <Term name=\"x:`a&amp;b`\">\n"
            "        <TermVar value=\"x\"/>\n"
            "        <TermVar value=\"a&amp;b\"/>\n"
            "      </Term>\n"
            "    </LinearModel>\n"
            "    <Intercept value=\"false\"/>\n"
            "    <Weights value=\"w\"/>\n"
            "  </GeneralRegressionModel>\n");
}

TEST(GLMSpecElementWriter, ModelTypeByFamily) {
  const MiningModel model = modelFromFormula("y ~ x", columns(), "");
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"", "generalLinear"},
      {"gaussian", "generalLinear"},
      {"binomial", "multinomialLogistic"},
      {"poisson", "loglinear"},
      {"gamma", "GLM"},
      {"inverse.gaussian", "GLM"},
      {"quasi", "GLM"},
  };
  for (const auto& [family, type] : cases) {
    SCOPED_TRACE(family);
    const std::string text = element(*GLMSpecElementWriter::fromSettings(settings(family)), model);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              std::string("  <GeneralRegressionModel targetVariableName=\"y\" modelType=\"") +
                  type + "\">");
    // Only numeric variables: no FactorList; the intercept is on, no weights.
    EXPECT_EQ(text.find("<FactorList>"), std::string::npos);
    EXPECT_NE(text.find("    <Intercept value=\"true\"/>\n  </GeneralRegressionModel>\n"),
              std::string::npos);
  }
}

TEST(GLMSpecElementWriter, Failures) {
  const MiningModel noResponse = modelFromFormula("~ x", columns(), "");
  const std::unique_ptr<SpecElementWriter> writer =
      GLMSpecElementWriter::fromSettings(settings("gaussian"));
  std::ostringstream os;
  try {
    writer->begin(os, noResponse);
    ADD_FAILURE() << "no exception";
  } catch (const QMXException& e) {
    EXPECT_STREQ(e.message(), "a GLM specification needs a response");
  }
  try {
    GLMSpecElementWriter::fromSettings(settings("gamma", "logit"));
    ADD_FAILURE() << "no exception";
  } catch (const QMXException& e) {
    EXPECT_STREQ(e.message(), "link function is incompatible with Gamma Family");
  }
}
