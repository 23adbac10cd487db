// GLMSpecElementWriter: the GeneralRegressionModel element of a specification byte for byte
// (model type per family, predictor lists, powers as repeated TermVar, escaping, name,
// intercept, weights; a term is named by its R label, backquotes included) and its failures.
#include "qmxmisc/glm/GLMSpecElementWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMModel.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecWriter.h"

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
  const std::unique_ptr<ModelSpecKindWriter> writer =
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

TEST(GLMSpecElementWriter, DocumentReadsBackAsGLMModel) {
  // The whole specification document through the GLM document reader: family, link and
  // variance, terms (a power as its exponent), intercept and weights come back.
  std::vector<DataColumn> data = columns();
  for (DataColumn& column : data)
    column.count = 0;
  struct Case {
    const char* formula;
    const char* weights;
    SpecSettings settings;
    GLMFamily::Distribution distribution;
    GLMLink::Link link;
    const char* variance;
  };
  const std::vector<Case> cases = {
      {"y ~ x * `a&b` + I(x^2)", "w", settings("gaussian"), GLMFamily::Distribution::Gaussian,
       GLMLink::Link::Identity, "Constant: 1"},
      {"y ~ x - 1", "", settings("quasi", "log", "mu^3"), GLMFamily::Distribution::Quasi,
       GLMLink::Link::Log, "Cube: mu^3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula);
    const MiningModel model = modelFromFormula(c.formula, data, c.weights);
    const std::unique_ptr<ModelSpecKindWriter> writer =
        GLMSpecElementWriter::fromSettings(c.settings);
    std::ostringstream document;
    ASSERT_TRUE(ModelSpecWriter(model, data, *writer).write(document));
    const GLMModel read(document.str().c_str());
    EXPECT_EQ(read.distType(), c.distribution);
    EXPECT_EQ(read.linkType(), c.link);
    EXPECT_EQ(read.getVarName().str(), c.variance);
    EXPECT_EQ(read.intercept(), model.intercept());
    EXPECT_EQ(read.weights().str(), c.weights);
    ASSERT_EQ(read.nTerms(), model.nTerms());
    ASSERT_EQ(read.nVariables(), model.nVariables());
    for (long termIdx = 0; termIdx < model.nTerms(); ++termIdx) {
      for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx) {
        EXPECT_EQ(read.termsTable()(varIdx, termIdx), model.termsTable()(varIdx, termIdx))
            << model.term(termIdx).str() << " / " << model.variable(varIdx).str();
      }
    }
    EXPECT_EQ(read.nFactors(), model.nFactors());
  }
}
