// GLMSpecElementWriter: the GeneralRegressionModel element of a specification byte for byte
// (model type per family, predictor lists, powers as repeated TermVar, escaping, name,
// intercept, weights; a term is named by its R label, backquotes included) and its failures.
#include "qmxmisc/glm/GLMSpecElementWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelFormula.h"
#include "support/RefCompare.h"
#include "support/ThrownMessage.h"

namespace {

std::vector<DataColumn> columns() {
  return {DataColumn::numeric("y"), DataColumn::numeric("x"), DataColumn::factor("a&b", {"p", "q"}),
          DataColumn::numeric("w")};
}

std::string element(const ModelSpecKindWriter& writer, const MiningModel& model) {
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
  EXPECT_TRUE(qmxtest::matchesRefText(text, "glm", "model_spec_element_poisson.xml"));
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
  std::ostringstream os;
  EXPECT_EQ(thrownMessage([&] {
              GLMSpecElementWriter::fromSettings(settings("gaussian"))->begin(os, noResponse);
            }),
            "a GLM specification needs a response");
  EXPECT_EQ(thrownMessage([] { GLMSpecElementWriter::fromSettings(settings("gamma", "logit")); }),
            "link function is incompatible with Gamma Family");
}
