// GLMFit: what the writer derives when a statistic cannot be computed or the family changes
// (on the fits of tests/ref/glm/fit_*.xml, read back), the three-row tables of the iterative
// fit, erase/valid/setModel, the family helpers without a family and the writer's messages.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMFit.h"
#include "support/RefCsv.h"

namespace {

GLMFit readFit(const char* name) {
  return GLMFit(readRefText("glm", name).c_str());
}

// The lines of the written document that open `element`.
std::vector<std::string> lines(const GLMFit& fit, const std::string& element) {
  std::ostringstream os;
  EXPECT_TRUE(fit.getXML(os));
  std::istringstream in(os.str());
  std::vector<std::string> found;
  for (std::string line; std::getline(in, line);)
    if (line.find("<" + element + " ") != std::string::npos) found.push_back(line);
  return found;
}

bool has(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

}  // namespace

TEST(GLMFit, ModelTypeAndTotalRowByFamily) {
  const std::vector<std::tuple<GLMFamily::Distribution, GLMLink::Link, const char*, const char*>>
      cases = {
          {GLMFamily::Distribution::Poisson, GLMLink::Link::Log, "loglinear", "Null"},
          {GLMFamily::Distribution::Gamma, GLMLink::Link::Log, "GLM", "Null"},
          {GLMFamily::Distribution::InvGaussian, GLMLink::Link::InverseSquare, "GLM", "Null"},
          {GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity, "generalLinear", "Total"}};
  for (const auto& [distribution, link, modelType, lastRow] : cases) {
    GLMFit fit = readFit("fit_binomial.xml");
    fit.setFamily(distribution, link);
    fit.setDeviance(10.0, 25.0);
    EXPECT_EQ(fit.deviance().getRowNames()[2], String(lastRow)) << modelType;
    EXPECT_TRUE(
        has(lines(fit, "GeneralRegressionModel")[0], std::string("modelType=\"") + modelType));
    EXPECT_TRUE(has(lines(fit, "DevMatrix")[0], "R2=\"0.6\"")) << modelType;
  }
  GLMFit noFamily;  // no family: treated as Gaussian with identity link
  noFamily.setResponse("am");
  noFamily.setDeviance(1.0, 2.0);
  EXPECT_EQ(noFamily.deviance().getRowNames()[2], String("Total"));
}

TEST(GLMFit, StatisticsThatCannotBeComputedAreNaN) {
  GLMFit fit = readFit("fit_gaussian.xml");
  TMatrix<double> se = fit.stdErr();
  se(1, 0) = 0.0;  // a zero standard error has no t
  fit.setStdErr(se);
  TMatrix<long> df = fit.df();
  df(6) = 0;  // no error degrees of freedom: no t probabilities and no F tests
  fit.setDf(df);
  for (const std::string& cell : lines(fit, "PCell")) {
    if (has(cell, "parameterName=\"wt\"")) {
      EXPECT_TRUE(has(cell, "df=\"1\" stdErr=\"0\" t=\"NaN\" Pr=\"NaN\"")) << cell;
    } else {
      EXPECT_TRUE(has(cell, "Pr=\"NaN\"")) << cell;
    }
  }
  for (const std::string& line : lines(fit, "DevCell"))
    EXPECT_TRUE(!has(line, "stat=") || has(line, "stat=\"NaN\" Pr=\"NaN\"")) << line;
  for (const std::string& line : lines(fit, "Effect"))
    EXPECT_TRUE(has(line, "stat=\"NaN\" Pr=\"NaN\"")) << line;
}

TEST(GLMFit, ThreeRowTablesOfTheIterativeFit) {
  GLMFit fit = readFit("fit_binomial.xml");
  fit.setDeviance(30.0, 20.0);  // a deviance above the null deviance: regression row 0
  EXPECT_EQ(std::vector<double>(fit.deviance().constData(), fit.deviance().constData() + 3),
            (std::vector<double>{0.0, 30.0, 20.0}));
  EXPECT_EQ(fit.deviance().getColNames()[0], String("am"));
  fit.setDf(31, 29);
  EXPECT_EQ(std::vector<long>(fit.df().constData(), fit.df().constData() + 3),
            (std::vector<long>{2, 29, 31}));
  EXPECT_EQ(fit.dfE(), 29);
  EXPECT_EQ(GLMFit().dfE(), 0);
}

TEST(GLMFit, EraseValidSetModelAndExtras) {
  GLMFit fit = readFit("fit_gaussian.xml");
  fit.setMissing(3);
  const GLMFit copy = fit;
  fit.erase(true);  // results go, the model stays
  EXPECT_EQ(fit.nCoefficients() + fit.nMissing() + fit.getR().size() + fit.corrLabels().size(), 0);
  EXPECT_EQ(fit.nTerms(), 5);
  EXPECT_TRUE(fit.valid(true) && !fit.valid(false) && copy.valid(false));
  fit.erase(false);
  EXPECT_EQ(fit.nTerms(), 0);
  EXPECT_FALSE(fit.hasFamily());
  GLMFit other = readFit("fit_binomial.xml");
  other.setModel(copy);  // copies do not share results
  EXPECT_EQ(other.nCoefficients() + other.getNumModelExtras(), 0);
  EXPECT_EQ(copy.nCoefficients(), 8);
  EXPECT_EQ(other.distType(), GLMFamily::Distribution::Gaussian);
  GLMFit shapes = copy;
  shapes.setStdErr(TMatrix<double>(2, 1));
  EXPECT_FALSE(shapes.valid(false));  // standard errors of another shape
}

// With a family both delegate to it (values: GLMFamilyTest and the procs against R).
TEST(GLMFit, InitializeAndInverseLinkWithoutFamily) {
  const GLMFit plain;
  TMatrix<double> same(3, 1);
  same(1) = 0.25;
  plain.initialize(same, 0.4, TMatrix<double>());
  EXPECT_EQ(same(1), 0.25);
  EXPECT_TRUE(throwsMessage([&] { plain.invLink(same); }, "Invalid Family"));
}

TEST(GLMFit, WriterMessageAndTheMatrixElement) {
  GLMFit fit = readFit("fit_gaussian.xml");
  fit.setResponses(strVector{});
  std::ostringstream os;
  EXPECT_TRUE(throwsMessage([&] { fit.getXML(os); },
                            "Invalid dependent variable index 0. Model has 0 dependent variables"));
  EXPECT_TRUE(os.str().empty());  // nothing is written before the check
  const double values[] = {1.5, NAN, 0.1, -2.0};
  GLMFit::getDoubleMatrixXML(os, "RMatrix", TMatrix<double>(values, 2, 2), 1);
  EXPECT_EQ(
      os.str(),
      "  <RMatrix nRows=\"2\" nCols=\"2\">\n    <Row num=\"0\">\n"
      "      <Col num=\"0\" val=\"1.5\"/>\n      <Col num=\"1\" val=\"0.1\"/>\n    </Row>\n"
      "    <Row num=\"1\">\n      <Col num=\"0\" val=\"NaN\"/>\n      <Col num=\"1\" val=\"-2\"/>\n"
      "    </Row>\n  </RMatrix>\n");
}
