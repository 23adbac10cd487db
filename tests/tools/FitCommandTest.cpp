// qmx fit end to end: the checks made before the proc runs (options, response against the
// family, formula and family names) and the proc's own refusals, each as a full message with
// its exit status and no output file (nor temporary file) left behind; fits against R's glm
// (factor response, missing predictors, weights, proportions); the text summary against R's
// printed summary.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tools/QmxCliRunner.h"

#include <cmath>
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

}  // namespace

TEST(FitCommand, Failures) {
  const std::string output = tempPath("failed.xml");
  // y: a count with one negative value; z: positive but for one zero; v: a predictor missing
  // in the row of the negative y; label: a text column (more distinct values than a factor
  // may have levels).
  const std::string badData = tempPath("bad.csv");
  {
    std::ofstream data(badData);
    data << "y,z,x,v,label\n-1,1,1,,t0\n2,0,2,1,t1\n";
    for (int row = 2; row < 1100; ++row)
      data << 0.5 + row % 2 << "," << row << "," << row % 7 << "," << row % 3 << ",t" << row
           << "\n";
  }
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
      {"lm examples/mtcars.csv --formula 'mpg ~ weight'",
       "qmx: formula \"mpg ~ weight\", position 7: unknown column 'weight'; available columns: "
       "model, mpg, cyl, disp, hp, drat, wt, qsec, vs, am, gear, carb\n"},
      {"glm " + badData + " --formula 'y ~ x' --family poisson",
       "qmx: poisson response 'y' must not be negative (its smallest value is -1)\n"},
      {"glm " + badData + " --formula 'z ~ x' --family gamma",
       "qmx: gamma response 'z' must be positive (its smallest value is 0)\n"},
      {"glm " + badData + " --formula 'z ~ x' --family inverse.gaussian",
       "qmx: inverse.gaussian response 'z' must be positive (its smallest value is 0)\n"},
      // Only the rows the fit uses count: -1 is in a row whose predictor is missing.
      {"glm " + badData + " --formula 'y ~ x + v' --family binomial",
       "qmx: binomial response 'y' must lie between 0 and 1 (it ranges from 0.5 to 2)\n"},
      {"glm " + badData + " --formula 'label ~ x' --family gaussian",
       "qmx: formula \"label ~ x\", position 1: the response 'label' is a text column; a "
       "response must be numeric or a factor\n"},
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
  std::remove(badData.c_str());
}

TEST(FitCommand, ProcRefusals) {
  // Refusals of the proc itself, after its init message: every row misses a value (the proc
  // counts them first), or a weight is negative.
  const std::string allMissing = tempPath("allmissing.csv");
  std::ofstream(allMissing) << "y,x\n,1\n2,\nNA,4\n";
  const std::string negative = tempPath("negative.csv");
  std::ofstream(negative) << "y,x,w\n1,1,1\n0,2,-0.5\n1,3,2\n0,4,1\n";
  const std::string output = tempPath("refused.xml");
  const std::string init =
      "info: specified model will generate 2 coefficients requiring 0.02 Mb per chunk for the "
      "model matrix\n";
  struct Case {
    std::string arguments, err;
  };
  const std::vector<Case> cases = {
      {"lm " + allMissing + " --formula 'y ~ x'",
       "info: Data set has 3 rows with one or more missing values\n"
       "error: there is no valid data to fit the regression model\n"
       "qmx: there is no valid data to fit the regression model\n"},
      {"glm " + allMissing + " --formula 'y ~ x' --family poisson",
       "info: Data set has 3 rows with one or more missing values\n"
       "error: there is no valid data to fit the model\n"
       "qmx: there is no valid data to fit the model\n"},
      {"lm " + negative + " --formula 'y ~ x' --weights w",
       "error: weight vector, w, has negative values\n"
       "qmx: weight vector, w, has negative values\n"},
      {"glm " + negative + " --formula 'y ~ x' --weights w --family binomial",
       "error: weight vector, w, has negative values\n"
       "qmx: weight vector, w, has negative values\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    // An explicit chunk size: the init message reports the model matrix size per chunk.
    const Outcome run = runQmx("fit " + c.arguments + " --chunk-rows 1000 -o " + output);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, init + c.err);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(exists(output));
    EXPECT_FALSE(exists(output + ".tmp"));
  }
  std::remove(allMissing.c_str());
  std::remove(negative.c_str());
}

TEST(FitCommand, HelpNamesTheModelledLevel) {
  for (const std::string command : {"fit --help", "fit glm --help", "spec --help"}) {
    const Outcome run = runQmx(command);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("second level"), std::string::npos) << command << run.out;
  }
}

TEST(FitCommand, ProcRefusesAResponseLevelMissingFromTheModel) {
  // A specification whose response levels (auto, manuel) lack the data's level "manual": the
  // proc refuses the buffer at init.
  const std::string data = kSource + "/tests/ref/tools/fit_glm_cases_data.csv";
  const std::string spec = tempPath("levels.xml");
  ASSERT_EQ(runQmx("spec " + data + " --formula 'am_f ~ wt' --family binomial -o " + spec).status,
            0);
  std::string document = readFile(spec);
  for (std::size_t at = document.find("\"manual\""); at != std::string::npos;
       at = document.find("\"manual\"", at))
    document.replace(at, 8, "\"manuel\"");
  std::ofstream(spec, std::ios::trunc) << document;
  const Outcome run =
      runQmx("run QMXProcIGLM --input " + data +
             " --set iglm.family=Binomial --set 'iglm.link=Logit: log(mu/(1 - mu))'"
             " --set 'iglm.var=Binomial: mu(1-mu)' --set iglm.mean=0.5 --set model.vtml=@" +
             spec + " --get fitted.model.pmml");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error: model object categorical variable am_f does not have level "
                         "manual\n"),
            std::string::npos)
      << run.err;
  std::remove(spec.c_str());
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

// The deviance and degrees of freedom of a row ("Null", "Error") of the fitted document.
std::pair<double, long> devCell(const std::string& document, const std::string& source) {
  const std::regex cell("<DevCell source=\"" + source + "\" df=\"([0-9]+)\" dev=\"([^\"]+)\"");
  std::smatch match;
  if (!std::regex_search(document, match, cell)) return {std::nan(""), -1};
  return {std::stod(match[2]), std::stol(match[1])};
}

TEST(FitCommand, GlmMatchesR) {
  // tests/ref/tools/fit_glm_cases.R (R 4.2 glm, epsilon 1e-14; the fits here 1e-12);
  // tolerance 1e-6 relative on coefficients, standard errors, statistics, p-values and both
  // deviances.
  //   factor: a two-level factor response (auto, manual): R models P(manual), and so does
  //     the fit, the levels being swapped in the specification; two rows miss a predictor, so
  //     the null deviance is that of the 30 rows used.
  //   poisson_weights: case weights, a row missing the predictor (and one missing a column
  //     that is not in the formula, which is used).
  //   proportion: a binomial share with the trials as weights.
  //   zero_weights: rows of weight 0 are left out, so the degrees of freedom are R's.
  //   no_intercept: the null model is R's, mu = linkinv(0); the proc counts N - 1 degrees of
  //     freedom for it where R counts N (one fewer for the residual too).
  struct Case {
    std::string name, arguments, modelled;
  };
  const std::string dir = "tests/ref/tools/";
  const std::vector<Case> cases = {
      {"factor", dir + "fit_glm_cases_data.csv --formula 'am_f ~ wt + hp' --family binomial",
       "Response am_f: modelling the probability of level 'manual'\n\n"},
      {"poisson_weights",
       dir + "fit_glm_cases_data.csv --formula 'carb ~ wt' --weights w --family poisson", ""},
      {"proportion",
       dir + "fit_glm_cases_prop.csv --formula 'prop ~ x' --weights n --family binomial", ""},
      {"zero_weights",
       dir + "fit_glm_cases_data.csv --formula 'am_f ~ wt' --weights w0 --family binomial "
             "--chunk-rows 3",
       "Response am_f: modelling the probability of level 'manual'\n\n"},
      {"no_intercept",
       dir + "fit_glm_cases_data.csv --formula 'carb ~ wt - 1' --family poisson --chunk-rows 1",
       ""},
  };
  const auto coef = csvRows(readFile(kSource + "/" + dir + "fit_glm_cases_coef.csv"));
  const auto dev = csvRows(readFile(kSource + "/" + dir + "fit_glm_cases_dev.csv"));
  const std::string output = tempPath("glm_case.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run =
        runQmx("fit glm " + c.arguments + " --epsilon 1e-12 --summary-format csv -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto got = csvRows(run.out);
    std::size_t compared = 0;
    for (const auto& want : coef) {
      if (want[0] != c.name) continue;
      ++compared;
      ASSERT_LT(compared, got.size()) << run.out;
      const auto& row = got[compared];
      ASSERT_EQ(row.size(), 5u);
      EXPECT_EQ(row[0], want[1]);
      for (std::size_t col = 1; col < 5; ++col) {
        const double expected = std::stod(want[col + 1]);
        EXPECT_NEAR(std::stod(row[col]), expected, 1e-6 * std::fabs(expected))
            << want[1] << " column " << col;
      }
    }
    EXPECT_EQ(compared + 1, got.size());
    const std::string document = readFile(output);
    for (const auto& want : dev) {
      if (want[0] != c.name) continue;
      const auto null = devCell(document, "Null");
      const auto residual = devCell(document, "Error");
      EXPECT_NEAR(null.first, std::stod(want[1]), 1e-6 * std::stod(want[1]));
      const long dfShift = c.name == "no_intercept" ? 1 : 0;
      EXPECT_EQ(null.second + dfShift, std::stol(want[2]));
      EXPECT_NEAR(residual.first, std::stod(want[3]), 1e-6 * std::stod(want[3]));
      EXPECT_EQ(residual.second + dfShift, std::stol(want[4]));
    }
    // The text summary names the level a factor response models.
    const Outcome text = runQmx("fit glm " + c.arguments + " -o " + output);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.rfind(c.modelled + "Coefficients:\n", 0), 0u) << text.out;
    if (c.name == "zero_weights") {
      EXPECT_NE(text.out.find("\nRows used: 23, left out (missing values): 1, left out (zero "
                              "weight): 8\n"),
                std::string::npos)
          << text.out;
    }
  }
  std::remove(output.c_str());
}

// The text of `text` from the line starting with `first` to the end of the line starting
// with `last`.
std::string linesBetween(const std::string& text, const std::string& first,
                         const std::string& last) {
  const std::size_t begin = text.find(first);
  const std::size_t lastLine = text.find("\n" + last, begin);
  if (begin == std::string::npos || lastLine == std::string::npos) return "";
  return text.substr(begin, text.find('\n', lastLine + 1) + 1 - begin);
}

TEST(FitCommand, TextSummaryMatchesR) {
  // tests/ref/tools/fit_summary_text.R: R 4.2's printed summary.lm and summary.glm, compared
  // byte for byte from "Coefficients:" to the F-statistic and residual deviance lines.
  struct Case {
    std::string arguments, reference, last;
  };
  const std::vector<Case> cases = {
      {"lm examples/mtcars.csv --formula 'mpg ~ wt + qsec + cyl + disp'", "fit_summary_lm.txt",
       "F-statistic"},
      {"glm examples/mtcars.csv --formula 'am ~ wt + hp' --family binomial", "fit_summary_glm.txt",
       "Residual deviance"},
  };
  const std::string output = tempPath("text.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = runQmx("fit " + c.arguments + " -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string want = readFile(kSource + "/tests/ref/tools/" + c.reference);
    want.erase(0, want.find('\n') + 1);  // the R version line
    EXPECT_EQ(linesBetween(run.out, "Coefficients:", c.last), want) << run.out;
    EXPECT_NE(run.out.find("\nRows used: 32, left out (missing values): 0\n"), std::string::npos);
  }
  // An aliased coefficient prints as NA throughout, and the heading counts it.
  const std::string collinear = tempPath("collinear.csv");
  std::ofstream(collinear) << "y,x,x2\n1,1,2\n3,2,4\n2,3,6\n5,4,8\n4,5,10\n";
  const Outcome aliased = runQmx("fit lm " + collinear + " --formula 'y ~ x + x2' -o " + output);
  ASSERT_EQ(aliased.status, 0) << aliased.err;
  EXPECT_EQ(aliased.out.rfind("Coefficients: (1 not defined because of singularities)\n", 0), 0u)
      << aliased.out;
  EXPECT_TRUE(std::regex_search(aliased.out, std::regex("\nx2? +NA +NA +NA +NA *\n")))
      << aliased.out;
  std::remove(collinear.c_str());
  // Unscaled standard errors are announced under the table; the iterations are counted.
  const Outcome gamma =
      runQmx("fit glm examples/mtcars.csv --formula 'mpg ~ wt' --family gamma -o " + output);
  ASSERT_EQ(gamma.status, 0) << gamma.err;
  EXPECT_NE(gamma.out.find("\n\n(Standard errors are unscaled: the dispersion is taken to be 1, "
                           "not estimated)\n\n    Null deviance: "),
            std::string::npos)
      << gamma.out;
  EXPECT_NE(gamma.out.find("\nNumber of Fisher Scoring iterations: "), std::string::npos);
  std::remove(output.c_str());
}
