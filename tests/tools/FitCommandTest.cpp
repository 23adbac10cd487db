// qmx fit end to end: the checks made before the proc runs (options, response against the
// family, formula and family names), each as a "qmx: ..." message with its exit status and no
// output file (nor temporary file) left behind.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tools/QmxCliRunner.h"

#include <cmath>
#include <cstdio>
#include <fstream>
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

}  // namespace

TEST(FitCommand, Failures) {
  const std::string output = tempPath("failed.xml");
  struct Case {
    std::string arguments, message;
  };
  const std::vector<Case> cases = {
      {"lm examples/nothing.csv --formula 'y ~ x'",
       "qmx: cannot open examples/nothing.csv: No such file or directory\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt' --summary-format xml",
       "qmx: --summary-format takes text or csv, not 'xml'\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt' --chunk-rows 0",
       "qmx: --chunk-rows must be at least 1\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family binomial --max-iterations 0",
       "qmx: --max-iterations must be at least 1\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family binomial --epsilon 0",
       "qmx: --epsilon must be positive\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt +'",
       "qmx: formula \"mpg ~ wt +\", position 11: expected a term\n"},
      {"lm examples/mtcars.csv --formula '~ wt'", "qmx: the formula has no response\n"},
      {"glm examples/mtcars.csv --formula 'mpg ~ wt' --family binomial",
       "qmx: binomial response 'mpg' must lie between 0 and 1 (it ranges from 10.4 to 33.9)\n"},
      {"glm examples/iris.csv --formula 'Species ~ Petal.Width' --family binomial",
       "qmx: response 'Species' is a factor with 3 levels; only the binomial family takes a "
       "factor response, with two levels\n"},
      {"lm examples/mtcars.csv --formula 'model ~ wt'",
       "qmx: response 'model' is a factor with 32 levels; only the binomial family takes a "
       "factor response, with two levels\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family logistic",
       "qmx: unknown family 'logistic'; accepted: gaussian, binomial, poisson, gamma, "
       "inverse.gaussian, quasi\n"},
      {"glm examples/mtcars.csv --formula 'mpg ~ wt' --family gamma --link logit",
       "qmx: link function is incompatible with Gamma Family\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = runQmx("fit " + c.arguments + " -o " + output);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(exists(output));
    EXPECT_FALSE(exists(output + ".tmp"));
  }
  // A required option left out is a usage error of the command-line parser.
  EXPECT_NE(runQmx("fit glm examples/mtcars.csv --formula 'am ~ wt' -o " + output).status, 0);
  EXPECT_NE(runQmx("fit examples/mtcars.csv --formula 'am ~ wt' -o " + output).status, 0);
  EXPECT_FALSE(exists(output));
}

// Splits CSV lines (no quoted fields in these tables) into rows of fields.
std::vector<std::vector<std::string>> csvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ','))
      fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

TEST(FitCommand, LinearModelMatchesR) {
  // tests/ref/glm/fit_lm_mtcars.R: summary(lm(mpg ~ wt + hp)) of R 4.2; tolerance 1e-8
  // relative on every column.
  const std::string output = tempPath("lm.xml");
  const Outcome run = runQmx(
      "fit lm examples/mtcars.csv --formula 'mpg ~ wt + hp' "
      "--summary-format csv --chunk-rows 7 -o " +
      output);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("wrote " + output + "\n"), std::string::npos) << run.err;
  const auto got = csvRows(run.out);
  const auto want = csvRows(readFile(kSource + "/tests/ref/glm/fit_lm_mtcars.csv"));
  ASSERT_EQ(got.size(), want.size()) << run.out;
  EXPECT_EQ(got[0],
            (std::vector<std::string>{"term", "estimate", "std.error", "statistic", "p.value"}));
  for (std::size_t row = 1; row < want.size(); ++row) {
    ASSERT_EQ(got[row].size(), 5u);
    EXPECT_EQ(got[row][0], want[row][0]);
    for (std::size_t col = 1; col < 5; ++col) {
      const double expected = std::stod(want[row][col]);
      EXPECT_NEAR(std::stod(got[row][col]), expected, 1e-8 * std::fabs(expected))
          << want[row][0] << " column " << col;
    }
  }
  // The fitted document was written in full and its temporary file renamed.
  const std::string document = readFile(output);
  EXPECT_NE(document.find("modelType=\"generalLinear\""), std::string::npos);
  EXPECT_NE(document.find("</VTML>"), std::string::npos);
  EXPECT_FALSE(exists(output + ".tmp"));
  std::remove(output.c_str());
}

TEST(FitCommand, GlmTextSummary) {
  // R 4.2: glm(am ~ wt, binomial, mtcars): (Intercept) 12.04037, wt -4.02397, z -2.801,
  // Pr(>|z|) 0.00509; null deviance 43.230 on 31 df, residual 19.176 on 30 df.
  const std::string output = tempPath("glm.xml");
  const Outcome run =
      runQmx("fit glm examples/mtcars.csv --formula 'am ~ wt' --family binomial -o " + output);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = csvRows(run.out);
  ASSERT_GE(rows.size(), 4u) << run.out;
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"term", "estimate", "std.error", "z value", "Pr(>|z|)"}));
  ASSERT_EQ(rows[3].size(), 5u);
  EXPECT_EQ(rows[3][0], "wt");
  EXPECT_NEAR(std::stod(rows[3][1]), -4.02397, 1e-5);  // R prints 6 digits
  EXPECT_NEAR(std::stod(rows[3][4]), 0.005088, 1e-6);
  EXPECT_NE(run.out.find("\nError,30,19.17608"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nNull,31,43.22973"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nRows used: 32, left out (missing values): 0\n"), std::string::npos);
  EXPECT_NE(run.out.find("\nIterations: "), std::string::npos);
  EXPECT_NE(run.err.find("info: converged in "), std::string::npos) << run.err;
  std::remove(output.c_str());
}

TEST(FitCommand, FactorResponseAndMissingRow) {
  // am of mtcars as a two-level factor (auto, manual) and wt missing in the third row. The
  // model matrix codes the first level as 1, so the fit models P(auto): R 4.2's
  // glm(am ~ wt, binomial) on the 31 complete rows (which models P(manual)) gives wt
  // -3.914376 (z -2.700989, Pr 0.006913363) and residual deviance 19.03963 on 29 df (19.0396279
  // here).
  std::ifstream mtcars(kSource + "/examples/mtcars.csv");
  std::string line;
  std::getline(mtcars, line);
  std::ostringstream data("am,wt\n", std::ios::ate);
  for (int row = 1; std::getline(mtcars, line); ++row) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ','))
      fields.push_back(cell);
    data << (fields[9] == "1" ? "manual" : "auto") << "," << (row == 3 ? "" : fields[6]) << "\n";
  }
  const std::string input = tempPath("am.csv");
  std::ofstream(input) << data.str();
  const std::string output = tempPath("am.xml");
  const Outcome run =
      runQmx("fit glm " + input +
             " --formula 'am ~ wt' --family binomial --summary-format text -o " + output);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = csvRows(run.out);
  ASSERT_GE(rows.size(), 4u) << run.out;
  ASSERT_EQ(rows[3].size(), 5u);
  EXPECT_NEAR(std::stod(rows[3][1]), 3.914376, 1e-6);
  EXPECT_NEAR(std::stod(rows[3][3]), 2.700989, 1e-6);
  EXPECT_NEAR(std::stod(rows[3][4]), 0.006913363, 1e-9);
  EXPECT_NE(run.out.find("\nError,29,19.0396"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nRows used: 31, left out (missing values): 1\n"), std::string::npos)
      << run.out;
  std::remove(input.c_str());
  std::remove(output.c_str());
}
