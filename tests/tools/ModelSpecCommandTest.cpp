// qmx spec end to end: the document of a formula over the bundled data, byte for byte with
// the Timestamp masked, and its summary line. The failures are rows of cases/spec.tsv
// (CliCasesTest.cpp).
#include <gtest/gtest.h>

#include "tools/QmxCliRunner.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qmxcli::exists;
using qmxcli::kSource;
using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

std::string maskTimestamp(const std::string& text) {
  static const std::regex stamp(
      "<Timestamp>[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"
      "</Timestamp>");
  return std::regex_replace(text, stamp, "<Timestamp>2007/01/31 09:05:07</Timestamp>");
}

TEST(SpecCommand, WritesDocuments) {
  struct Case {
    std::string arguments, expected, summary;
  };
  const std::vector<Case> cases = {
      {"examples/mtcars.csv --formula 'mpg ~ wt * am + I(hp^2)'", "model_spec_mtcars.xml",
       "spec of mpg, 4 terms (wt, am, I(hp^2), wt:am) and an intercept; 32 rows of "
       "examples/mtcars.csv\n"},
      {"examples/iris.csv --formula 'Sepal.Length ~ Petal.Width * Species - 1' --weights "
       "Sepal.Width --kind spec",
       "model_spec_iris.xml",
       "spec of Sepal.Length, 3 terms (Petal.Width, Species, Petal.Width:Species), no "
       "intercept, weights Sepal.Width; 150 rows of examples/iris.csv\n"},
      // --family alone chooses the glm kind; the canonical link and the family's variance.
      {"examples/mtcars.csv --formula 'mpg ~ wt * am' --family gaussian",
       "model_spec_glm_mtcars.xml",
       "glm of mpg, 3 terms (wt, am, wt:am) and an intercept; 32 rows of examples/mtcars.csv\n"},
      // A factor response; the document texts are accepted as well as R's names.
      {"examples/iris.csv --formula 'Species ~ Sepal.Length + Petal.Width' --family Binomial "
       "--link probit",
       "model_spec_glm_iris.xml",
       "glm of Species, 2 terms (Sepal.Length, Petal.Width) and an intercept; 150 rows of "
       "examples/iris.csv\n"},
      // Factors and covariates, a power, no intercept, weights, a quasi variance.
      {"examples/iris.csv --formula 'Sepal.Length ~ Petal.Width * Species + I(Petal.Length^2) "
       "- 1' --weights Sepal.Width --kind glm --family quasi --link log --variance 'mu^2'",
       "model_spec_glm_quasi.xml",
       "glm of Sepal.Length, 4 terms (Petal.Width, Species, I(Petal.Length^2), "
       "Petal.Width:Species), no intercept, weights Sepal.Width; 150 rows of "
       "examples/iris.csv\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string output = tempPath(c.expected);
    const Outcome run = runQmx("spec " + c.arguments + " -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "wrote " + output + ": " + c.summary);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(maskTimestamp(readFile(output)),
              readFile(kSource + "/tests/tools/expected/" + c.expected));
    EXPECT_FALSE(exists(output + ".tmp"));
    std::remove(output.c_str());
  }
  // --kind glm alone is a Gaussian model with the identity link.
  const std::string output = tempPath("glm_default.xml");
  ASSERT_EQ(runQmx("spec examples/mtcars.csv --formula 'mpg ~ wt' --kind glm -o " + output).status,
            0);
  const std::string text = readFile(output);
  EXPECT_NE(text.find("    <Family val=\"Gaussian\"/>\n    <Link val=\"Identity: mu\"/>\n"
                      "    <Var val=\"Constant: 1\"/>\n"),
            std::string::npos)
      << text;
  std::remove(output.c_str());
}

TEST(SpecCommand, BinomialFactorResponseListsTheSecondLevelFirst) {
  // A binomial fit models the first listed level of a factor response; R models the second
  // (levels auto, manual: P(manual)). The binomial specification swaps the two levels, with
  // their counts; another family, or the neutral kind, keeps the data's order.
  const std::string data = "tests/ref/tools/fit_glm_cases_data.csv";
  const std::string output = tempPath("swap.xml");
  struct Case {
    std::string arguments, summary;
    bool swapped;
  };
  const std::vector<Case> cases = {
      {"--family binomial",
       "glm of am_f, 1 term (wt) and an intercept; 32 rows of " + data +
           "; modelling the probability of level 'manual'\n",
       true},
      {"--family binomial --link probit",
       "glm of am_f, 1 term (wt) and an intercept; 32 rows of " + data +
           "; modelling the probability of level 'manual'\n",
       true},
      {"", "spec of am_f, 1 term (wt) and an intercept; 32 rows of " + data + "\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run =
        runQmx("spec " + data + " --formula 'am_f ~ wt' " + c.arguments + " -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "wrote " + output + ": " + c.summary);
    const std::string document = readFile(output);
    const std::string manualFirst = "<Level value=\"manual\"/>\n        <Level value=\"auto\"/>\n";
    const std::string autoFirst = "<Level value=\"auto\"/>\n        <Level value=\"manual\"/>\n";
    EXPECT_NE(document.find(c.swapped ? manualFirst : autoFirst), std::string::npos) << document;
    const std::string counts = c.swapped ? "<Category value=\"manual\" freq=\"13\"/>\n"
                                           "        <Category value=\"auto\" freq=\"19\"/>\n"
                                         : "<Category value=\"auto\" freq=\"19\"/>\n"
                                           "        <Category value=\"manual\" freq=\"13\"/>\n";
    EXPECT_NE(document.find(counts), std::string::npos) << document;
    std::remove(output.c_str());
  }
}

TEST(SpecCommand, CsvOptions) {
  // A semicolon-separated file with "-" as the missing-value text and a two-level factor.
  const std::string data = kSource + "/tests/tools/data/semicolon.csv";
  const std::string output = tempPath("options.xml");
  const Outcome run = runQmx("spec " + data +
                             " --separator ';' --na - --max-levels 2 --formula "
                             "'y ~ g + x' --output " +
                             output);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string text = readFile(output);
  EXPECT_NE(text.find("      <ColumnInfo name=\"g\" type=\"categorical\" role=\"independent\">\n"
                      "        <Level value=\"a\"/>\n        <Level value=\"b\"/>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    <UnivariateStats field=\"x\">\n      <Counts totalFreq=\"2\"/>\n"
                      "      <NumericInfo mean=\"3.5\" minimum=\"2\" maximum=\"5\" "
                      "standardDeviation=\"2.12132034355964\"/>\n"),
            std::string::npos)
      << text;
  std::remove(output.c_str());
}

}  // namespace
