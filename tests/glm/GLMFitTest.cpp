// GLMFit: the fields and their rules, and the GeneralRegressionModel document: two hand-built
// fits (R's lm and glm on mtcars) written and compared byte for byte with expected documents,
// and the statistics the writer derives (t, Pr, scaledDev, stat, R2, importance tests)
// compared with R's values.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>

#include "GlmTestSupport.h"
#include "glm/GLMFitTestSupport.h"
#include "qmxmisc/glm/GLMFit.h"

namespace {

// The attributes of every line of `document` that opens `element`, as name -> text maps.
std::vector<std::map<std::string, std::string>> elementAttributes(const std::string& document,
                                                                  const std::string& element) {
  std::vector<std::map<std::string, std::string>> found;
  std::istringstream lines(document);
  std::string line;
  const std::regex attribute("([A-Za-z0-9]+)=\"([^\"]*)\"");
  while (std::getline(lines, line)) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos ||
        line.compare(start, element.size() + 2, "<" + element + " ") != 0)
      continue;
    std::map<std::string, std::string> attributes;
    for (std::sregex_iterator it(line.begin(), line.end(), attribute), end; it != end; ++it) {
      attributes[(*it)[1]] = (*it)[2];
    }
    found.push_back(attributes);
  }
  return found;
}

double number(const std::map<std::string, std::string>& attributes, const std::string& name) {
  return std::stod(attributes.at(name));
}

// Written statistics agree with R: 1e-9 relative (15 written digits; DCDFLIB tails).
void expectStatisticsMatchR(const std::string& document, const FitRef& ref) {
  for (const auto& cell : elementAttributes(document, "PCell")) {
    const std::string& name = cell.at("parameterName");
    if (cell.at("df") == "0") continue;
    EXPECT_TRUE(closeTo(number(cell, "t"), refValue(ref, "t", name, NAN), 1e-12, 0)) << name;
    EXPECT_TRUE(closeTo(number(cell, "Pr"), refValue(ref, "Pr", name, NAN), 1e-9, 0)) << name;
  }
  for (const auto& cell : elementAttributes(document, "DevCell")) {
    const std::string& source = cell.at("source");
    if (cell.count("scaledDev") != 0) {
      EXPECT_TRUE(
          closeTo(number(cell, "scaledDev"), refValue(ref, "scaledDev", source, NAN), 1e-13, 0))
          << source;
    }
    if (cell.count("stat") != 0) {
      EXPECT_TRUE(closeTo(number(cell, "stat"), refValue(ref, "stat", source, NAN), 1e-12, 0))
          << source;
      EXPECT_TRUE(closeTo(number(cell, "Pr"), refValue(ref, "devPr", source, NAN), 1e-9, 0))
          << source;
    }
  }
  const auto devMatrix = elementAttributes(document, "DevMatrix");
  ASSERT_EQ(devMatrix.size(), 1u);
  EXPECT_TRUE(closeTo(number(devMatrix[0], "R2"), refValue(ref, "R2", "", NAN), 1e-13, 0));
  for (const auto& effect : elementAttributes(document, "Effect")) {
    const std::string& name = effect.at("name");
    if (effect.at("df") == "0") continue;
    if (effect.count("stat") != 0) {
      EXPECT_TRUE(closeTo(number(effect, "stat"), refValue(ref, "effectStat", name, NAN), 1e-12, 0))
          << name;
    }
    EXPECT_TRUE(closeTo(number(effect, "Pr"), refValue(ref, "effectPr", name, NAN), 1e-9, 0))
        << name;
  }
}

}  // namespace

TEST(GLMFit, GaussianDocumentMatchesExpectedBytes) {
  EXPECT_EQ(fitDocument(gaussianFit()), readGlmRef("fit_gaussian.xml"));
}

TEST(GLMFit, BinomialDocumentMatchesExpectedBytes) {
  EXPECT_EQ(fitDocument(binomialFit()), readGlmRef("fit_binomial.xml"));
}

TEST(GLMFit, WrittenStatisticsMatchR) {
  expectStatisticsMatchR(fitDocument(gaussianFit()), readFitRef("fit_gaussian.csv"));
  expectStatisticsMatchR(fitDocument(binomialFit()), readFitRef("fit_binomial.csv"));
}

TEST(GLMFit, ModelTypeAndTotalRowByFamily) {
  // Binomial: multinomialLogistic, R2 from the row named "Null"; Gaussian: "Total".
  const std::string binomial = fitDocument(binomialFit());
  EXPECT_NE(binomial.find("modelType=\"multinomialLogistic\""), std::string::npos);
  const auto binomialRows = elementAttributes(binomial, "DevCell");
  ASSERT_EQ(binomialRows.size(), 3u);
  EXPECT_EQ(binomialRows[2].at("source"), "Null");
  EXPECT_EQ(binomialRows[2].count("stat"), 0u);
  EXPECT_NE(fitDocument(gaussianFit()).find("modelType=\"generalLinear\""), std::string::npos);

  struct Case {
    GLMFamily::Distribution distribution;
    GLMLink::Link link;
    const char* modelType;
    const char* lastRow;
  };
  const Case cases[] = {
      {GLMFamily::Distribution::Poisson, GLMLink::Link::Log, "loglinear", "Null"},
      {GLMFamily::Distribution::Gamma, GLMLink::Link::Log, "GLM", "Null"},
      {GLMFamily::Distribution::InvGaussian, GLMLink::Link::InverseSquare, "GLM", "Null"},
      {GLMFamily::Distribution::Gaussian, GLMLink::Link::Identity, "generalLinear", "Total"},
  };
  for (const Case& c : cases) {
    GLMFit fit = binomialFit();
    fit.setFamily(c.distribution, c.link);
    fit.setDeviance(10.0, 25.0);
    EXPECT_EQ(fit.deviance().getRowNames()[2], String(c.lastRow)) << c.modelType;
    const std::string document = fitDocument(fit);
    EXPECT_NE(document.find(std::string("modelType=\"") + c.modelType + "\""), std::string::npos);
    const auto matrix = elementAttributes(document, "DevMatrix");
    ASSERT_EQ(matrix.size(), 1u);
    EXPECT_EQ(matrix[0].at("R2"), "0.6") << c.modelType;
  }
  GLMFit noFamily;  // no family: treated as Gaussian with identity link
  noFamily.setResponse("am");
  noFamily.setDeviance(1.0, 2.0);
  EXPECT_EQ(noFamily.deviance().getRowNames()[2], String("Total"));
}

TEST(GLMFit, AliasedCoefficientAndZeroDfRow) {
  const std::string document = fitDocument(gaussianFit());
  bool sawAliased = false;
  for (const auto& cell : elementAttributes(document, "PCell")) {
    if (cell.at("parameterName") != "wt2") continue;
    sawAliased = true;
    EXPECT_EQ(cell.at("beta"), "0");
    EXPECT_EQ(cell.at("df"), "0");
    EXPECT_EQ(cell.at("stdErr"), "NaN");
    EXPECT_EQ(cell.at("t"), "NaN");
    EXPECT_EQ(cell.at("Pr"), "NaN");
  }
  EXPECT_TRUE(sawAliased);
  for (const auto& cell : elementAttributes(document, "DevCell")) {
    const bool zeroDf = cell.at("df") == "0";
    EXPECT_EQ(cell.count("scaledDev") == 0, zeroDf) << cell.at("source");
    if (zeroDf) {
      EXPECT_EQ(cell.count("stat"), 0u);
      EXPECT_EQ(cell.count("Pr"), 0u);
    }
  }
  // An effect without degrees of freedom has no test.
  for (const auto& effect : elementAttributes(document, "Effect")) {
    if (effect.at("name") != "wt2") continue;
    EXPECT_EQ(effect.at("stat"), "NaN");
    EXPECT_EQ(effect.at("Pr"), "NaN");
  }
}

TEST(GLMFit, StatisticsThatCannotBeComputedAreNaN) {
  GLMFit fit = gaussianFit();
  TMatrix<double> se = fit.stdErr();
  se(1, 0) = 0.0;  // a zero standard error has no t
  fit.setStdErr(se);
  TMatrix<long> df = fit.df();
  df(6) = 0;  // no error degrees of freedom: no F tests
  fit.setDf(df);
  const std::string document = fitDocument(fit);
  for (const auto& cell : elementAttributes(document, "PCell")) {
    if (cell.at("parameterName") == "wt") {
      EXPECT_EQ(cell.at("df"), "1");
      EXPECT_EQ(cell.at("stdErr"), "0");
      EXPECT_EQ(cell.at("t"), "NaN");
      EXPECT_EQ(cell.at("Pr"), "NaN");
    } else if (cell.at("df") == "1") {
      EXPECT_EQ(cell.at("Pr"), "NaN") << "t on 0 degrees of freedom";
    }
  }
  for (const auto& cell : elementAttributes(document, "DevCell")) {
    if (cell.count("stat") != 0) {
      EXPECT_EQ(cell.at("stat"), "NaN");
    }
  }
  for (const auto& effect : elementAttributes(document, "Effect")) {
    EXPECT_EQ(effect.at("stat"), "NaN");
  }
}

TEST(GLMFit, ThreeRowTablesOfTheIterativeFit) {
  GLMFit fit = binomialFit();
  fit.setDeviance(30.0, 20.0);  // a deviance above the null deviance: regression row 0
  EXPECT_EQ(fit.deviance()(0, 0), 0.0);
  EXPECT_EQ(fit.deviance()(1, 0), 30.0);
  EXPECT_EQ(fit.deviance()(2, 0), 20.0);
  EXPECT_EQ(fit.deviance().getColNames()[0], String("am"));
  fit.setDf(31, 29);
  EXPECT_EQ(fit.df()(0), 2);
  EXPECT_EQ(fit.df()(1), 29);
  EXPECT_EQ(fit.df()(2), 31);
  EXPECT_EQ(fit.dfE(), 29);
  EXPECT_EQ(GLMFit().dfE(), 0);
}

TEST(GLMFit, EraseValidSetModelAndExtras) {
  GLMFit fit = gaussianFit();
  EXPECT_TRUE(fit.valid(false));
  EXPECT_EQ(fit.nCoefficients(), 8);
  EXPECT_EQ(fit.nMissing(), 3);
  GLMFit copy = fit;
  fit.erase(true);
  EXPECT_EQ(fit.nCoefficients(), 0);
  EXPECT_EQ(fit.nMissing(), 0);
  EXPECT_EQ(fit.getR().size(), 0);
  EXPECT_TRUE(fit.corrLabels().empty());
  EXPECT_EQ(fit.nTerms(), 5);  // the model is kept
  EXPECT_TRUE(fit.hasFamily());
  EXPECT_TRUE(fit.valid(true));
  EXPECT_FALSE(fit.valid(false));  // no coefficients
  fit.erase(false);
  EXPECT_EQ(fit.nTerms(), 0);
  EXPECT_FALSE(fit.hasFamily());
  EXPECT_EQ(copy.nCoefficients(), 8);  // copies do not share results

  GLMFit other = binomialFit();
  other.setModel(copy);
  EXPECT_EQ(other.nCoefficients(), 0);
  EXPECT_EQ(other.getNumModelExtras(), 0);
  EXPECT_EQ(other.nTerms(), 5);
  EXPECT_EQ(other.distType(), GLMFamily::Distribution::Gaussian);
  EXPECT_TRUE(other.name().empty());

  const GLMFit binomial = binomialFit();
  EXPECT_EQ(binomial.getNumModelExtras(), 5);
  EXPECT_EQ(binomial.getModelExtras()[8], String("Iterations"));
  TMatrix<double> se = copy.stdErr();
  copy.setStdErr(TMatrix<double>(2, 1));
  EXPECT_FALSE(copy.valid(false));  // standard errors of another shape
  copy.setStdErr(se);
  EXPECT_TRUE(copy.valid(false));
}

TEST(GLMFit, InitializeAndInverseLink) {
  // Binomial starting values without trial counts: logit(0.25) below 0.5, logit(0.75) above.
  const auto rows = readGlmRefCsv("glm_model_helpers.csv");
  GLMFit fit = binomialFit();
  std::vector<double> y, start, eta, expectedMu;
  for (const GlmRefRow& row : rows) {
    if (row.text("family") != "binomial") continue;
    y.push_back(row.num("y"));
    start.push_back(row.num("start"));
    eta.push_back(row.num("eta"));
    expectedMu.push_back(row.num("mu"));
  }
  TMatrix<double> values(y.data(), static_cast<long>(y.size()));
  fit.initialize(values, 0.4, TMatrix<double>());
  for (std::size_t i = 0; i < y.size(); ++i) {
    EXPECT_TRUE(closeTo(values(static_cast<long>(i)), start[i], 1e-14, 0));
  }
  // No family: unchanged.
  GLMFit plain;
  TMatrix<double> same(y.data(), static_cast<long>(y.size()));
  plain.initialize(same, 0.4, TMatrix<double>());
  EXPECT_EQ(same(1), y[1]);

  const TMatrix<double> mu =
      fit.invLink(TMatrix<double>(eta.data(), static_cast<long>(eta.size())));
  for (std::size_t i = 0; i < eta.size(); ++i) {
    EXPECT_TRUE(closeTo(mu(static_cast<long>(i)), expectedMu[i], 1e-15, 0));
  }
  EXPECT_TRUE(throwsMessage([&] { plain.invLink(mu); }, "Invalid Family"));
}

TEST(GLMFit, MessagesOfTheWriterAndTheScoringPackage) {
  GLMFit fit = gaussianFit();
  fit.setResponses(strVector{});
  std::ostringstream os;
  EXPECT_TRUE(throwsMessage([&] { fit.getXML(os); },
                            "Invalid dependent variable index 0. Model has 0 dependent variables"));
  EXPECT_TRUE(os.str().empty());  // nothing is written before the check
  EXPECT_TRUE(
      throwsMessage([&] { fit.generatePredictCSource("", "/tmp"); }, "missing directory names"));
  EXPECT_TRUE(throwsMessage([&] { fit.generatePredictCSource("/tmp", nullptr); },
                            "missing directory names"));
  EXPECT_TRUE(
      throwsMessage([&] { fit.generatePredictCSource("/nonexistent/src", "/nonexistent/dist"); },
                    "cannot access one of directories: /nonexistent/src, /nonexistent/dist"));
}

TEST(GLMFit, DoubleMatrixElement) {
  std::ostringstream os;
  const double values[] = {1.5, NAN, 0.1, -2.0};
  GLMFit::getDoubleMatrixXML(os, "RMatrix", TMatrix<double>(values, 2, 2), 1);
  GLMFit::getDoubleMatrixXML(os, "QTYMatrix", TMatrix<double>(), 1);
  EXPECT_EQ(os.str(),
            "  <RMatrix nRows=\"2\" nCols=\"2\">\n"
            "    <Row num=\"0\">\n"
            "      <Col num=\"0\" val=\"1.5\"/>\n"
            "      <Col num=\"1\" val=\"0.1\"/>\n"
            "    </Row>\n"
            "    <Row num=\"1\">\n"
            "      <Col num=\"0\" val=\"NaN\"/>\n"
            "      <Col num=\"1\" val=\"-2\"/>\n"
            "    </Row>\n"
            "  </RMatrix>\n"
            "  <QTYMatrix nRows=\"0\" nCols=\"0\"/>\n");
}
