// qmx fit end to end: fits against R's lm and glm (factor response, missing predictors,
// weights, proportions, zero weights, no intercept) and the text summary against R's printed
// summary. The failures, the JSON summaries and the texts R does not print are rows of
// cases/fit.tsv (CliCasesTest.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/ChunkSizes.h"
#include "tools/QmxCliRunner.h"

namespace {

using qmxcli::kSource;
using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

// The deviance and degrees of freedom of a row ("Null", "Error") of the fitted document.
std::pair<double, long> devCell(const std::string& document, const std::string& source) {
  const std::regex cell("<DevCell source=\"" + source + "\" df=\"([0-9]+)\" dev=\"([^\"]+)\"");
  std::smatch match;
  if (!std::regex_search(document, match, cell)) return {std::nan(""), -1};
  return {std::stod(match[2]), std::stol(match[1])};
}

using Rows = std::vector<std::vector<std::string>>;

// The CSV summary `csv` (a header, then term, estimate, std.error, statistic, p.value) against
// R's rows `want` in the same columns, to `tolerance` relative.
void expectCoefficients(const std::string& csv, const Rows& want, double tolerance) {
  const Rows got = qmxcli::csvRows(csv);
  ASSERT_EQ(got.size(), want.size() + 1) << csv;
  EXPECT_EQ(got[0],
            (std::vector<std::string>{"term", "estimate", "std.error", "statistic", "p.value"}));
  for (std::size_t row = 0; row < want.size(); ++row) {
    ASSERT_EQ(got[row + 1].size(), 5u);
    EXPECT_EQ(got[row + 1][0], want[row][0]);
    for (std::size_t col = 1; col < 5; ++col) {
      const double expected = std::stod(want[row][col]);
      EXPECT_NEAR(std::stod(got[row + 1][col]), expected, tolerance * std::fabs(expected))
          << want[row][0] << " column " << col;
    }
  }
}

}  // namespace

TEST(FitCommand, LinearModelMatchesR) {
  // tests/ref/glm/fit_lm_mtcars.R: summary(lm(mpg ~ wt + hp)) of R 4.2; tolerance 1e-8
  // relative on every column.
  const std::string output = tempPath("lm.xml");
  const Outcome run = runQmx(
      "fit lm examples/mtcars.csv --formula 'mpg ~ wt + hp' --summary-format csv --chunk-rows 7 "
      "-o " +
      output);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto want = qmxcli::csvRows(readFile(kSource + "/tests/ref/glm/fit_lm_mtcars.csv"));
  expectCoefficients(run.out, Rows(want.begin() + 1, want.end()), 1e-8);
  EXPECT_NE(readFile(output).find("</VTML>"), std::string::npos) << "written in full";
  std::remove(output.c_str());
}

TEST(FitCommand, GlmMatchesR) {
  // tests/ref/tools/fit_glm_cases.R (R 4.2 glm, epsilon 1e-14, as the fits here);
  // tolerance 1e-6 relative on coefficients, standard errors, statistics, p-values and both
  // deviances. The null deviance rests on the null model's mean, which the proc computes over
  // the rows it uses (no_intercept: R's linkinv(0)).
  //   factor: a two-level factor response (auto, manual): R models P(manual), and so does
  //     the fit, the levels being swapped in the specification; two rows miss a predictor, so
  //     the null deviance is that of the 30 rows used.
  //   poisson_weights: case weights, a row missing the predictor (and one missing a column
  //     that is not in the formula, which is used).
  //   proportion: a binomial share with the trials as weights.
  //   zero_weights: rows of weight 0 are left out, so the degrees of freedom are R's.
  //   no_intercept: the proc counts N - 1 degrees of freedom for the null model where R
  //     counts N (the residual's are R's).
  //   poly_zero_weights: poly()'s coefficients from every row where w is known, those of
  //     weight 0 and the one missing hp included.
  struct Case {
    std::string name, arguments;
  };
  const std::string dir = "tests/ref/tools/";
  const std::vector<Case> cases = {
      {"factor", dir + "fit_glm_cases_data.csv --formula 'am_f ~ wt + hp' --family binomial"},
      {"poisson_weights",
       dir + "fit_glm_cases_data.csv --formula 'carb ~ wt' --weights w --family poisson"},
      {"proportion",
       dir + "fit_glm_cases_prop.csv --formula 'prop ~ x' --weights n --family binomial"},
      {"zero_weights",
       dir + "fit_glm_cases_data.csv --formula 'am_f ~ wt' --weights w0 --family binomial "
             "--chunk-rows 3"},
      {"no_intercept",
       dir + "fit_glm_cases_data.csv --formula 'carb ~ wt - 1' --family poisson --chunk-rows 1"},
      {"poly_zero_weights", dir + "fit_glm_cases_data.csv --formula 'carb ~ poly(w, 2) + hp' "
                                  "--weights w0 --family poisson --chunk-rows 7"},
  };
  const auto coef = qmxcli::csvRows(readFile(kSource + "/" + dir + "fit_glm_cases_coef.csv"));
  const auto dev = qmxcli::csvRows(readFile(kSource + "/" + dir + "fit_glm_cases_dev.csv"));
  const std::string output = tempPath("glm_case.xml");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run =
        runQmx("fit glm " + c.arguments + " --epsilon 1e-14 --summary-format csv -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    Rows want;
    for (const auto& row : coef)
      if (row[0] == c.name) want.emplace_back(row.begin() + 1, row.end());
    expectCoefficients(run.out, want, 1e-6);
    const std::string document = readFile(output);
    for (const auto& want : dev) {
      if (want[0] != c.name) continue;
      const auto null = devCell(document, "Null");
      const auto residual = devCell(document, "Error");
      EXPECT_NEAR(null.first, std::stod(want[1]), 1e-6 * std::stod(want[1]));
      const long dfShift = c.name == "no_intercept" ? 1 : 0;
      EXPECT_EQ(null.second + dfShift, std::stol(want[2]));
      EXPECT_NEAR(residual.first, std::stod(want[3]), 1e-6 * std::stod(want[3]));
      EXPECT_EQ(residual.second, std::stol(want[4]));
    }
  }
  std::remove(output.c_str());
}

TEST(FitCommand, TextSummaryMatchesR) {
  // tests/ref/tools/fit_summary_cases.tsv: R 4.2's printed summary.lm and summary.glm blocks
  // (fit_summary_text.R: the Call through the F-statistic or residual deviance lines, the
  // coefficients, confint.default, anova), each found byte for byte in qmx fit's text.
  const std::string dir = kSource + "/tests/ref/tools/";
  std::istringstream cases(readFile(dir + "fit_summary_cases.tsv"));
  const std::string output = tempPath("text.xml");
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string arguments = line.substr(0, line.find('\t'));
    SCOPED_TRACE(arguments);
    const Outcome run = runQmx("fit " + arguments + " -o " + output);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string want = readFile(dir + line.substr(line.find('\t') + 1));
    want.erase(0, want.find('\n') + 1);  // the R version line
    EXPECT_NE(("\n" + run.out).find("\n" + want), std::string::npos) << run.out << "\n" << want;
  }
  std::remove(output.c_str());
}

// The numbers of a JSON summary by name: top-level "key", and "coefficients.<term>.<key>",
// "anova.<term>.<key>" for the rows of those arrays (null is NaN).
std::map<std::string, double> jsonNumbers(const std::string& json) {
  std::map<std::string, double> out;
  const std::regex field("^( +)\"([a-z_]+)\": (\"([^\"]*)\"|[^,\\[{]+),?$");
  std::istringstream lines(json);
  std::string array, term;
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (line.rfind("  \"", 0) == 0 && line.back() == '[')
      array = line.substr(3, line.find('"', 3) - 3);
    if (!std::regex_match(line, match, field)) continue;
    const bool top = match[1].length() == 2;
    if (match[2] == "term") term = match[4];
    if (match[3].str()[0] == '"') continue;
    const double value =
        match[3] == "null" ? std::nan("") : std::strtod(match[3].str().c_str(), nullptr);
    out[top ? match[2].str() : array + "." + term + "." + match[2].str()] = value;
  }
  return out;
}

TEST(FitCommand, OffsetAndAnovaMatchR) {
  // tests/ref/glm/glm_offset.R: offsets (offset() terms, several of them, --offset), R's refit
  // of the null model with an offset, anova's sequential fits and tests (R >= 4.4's default:
  // chi-squared for binomial and poisson, F otherwise), 1e-8 relative at every chunk size;
  // the printed anova tables byte for byte; scoring with the offset against R's predict().
  const std::string dir = kSource + "/tests/ref/glm/";
  const auto ref = qmxcli::csvRows(readFile(dir + "glm_offset_ref.csv"));
  std::istringstream cases(readFile(dir + "glm_offset_cases.csv"));
  const std::string output = tempPath("offset.xml");
  std::string line;
  std::getline(cases, line);  // the R version
  std::getline(cases, line);  // the header
  while (std::getline(cases, line)) {
    const std::string name = line.substr(0, line.find(','));
    const std::string arguments = "fit " + line.substr(line.find(',') + 1);
    const std::string data = " tests/ref/glm/glm_offset_data.csv -o " + output;
    qmxtest::forEachChunkSize([&](long rows) {
      SCOPED_TRACE(name);
      const Outcome run =
          runQmx(arguments + data + " --summary-format json --chunk-rows " + std::to_string(rows));
      ASSERT_EQ(run.status, 0) << run.err;
      const std::map<std::string, double> got = jsonNumbers(run.out);
      for (const auto& row : ref) {
        if (row[0] != name) continue;
        ASSERT_EQ(got.count(row[1]), 1u) << row[1] << "\n" << run.out;
        const double want = row[2] == "NA" ? std::nan("") : std::stod(row[2]);
        if (std::isnan(want)) {
          EXPECT_TRUE(std::isnan(got.at(row[1]))) << row[1];
        } else {
          EXPECT_NEAR(got.at(row[1]), want, 1e-8 * std::fabs(want)) << row[1];
        }
      }
    });
  }
  for (const auto& [arguments, table] : std::vector<std::pair<std::string, std::string>>{
           {"--formula 'cbind(s, f) ~ x + g + offset(x/2)' --family binomial", "binomial"},
           {"--formula 'gy ~ x + g' --family gamma", "gamma"}}) {
    const Outcome run =
        runQmx("fit glm tests/ref/glm/glm_offset_data.csv --anova -o " + output + " " + arguments);
    std::string want = readFile(dir + "glm_offset_anova_" + table + ".txt");
    want.erase(0, want.find('\n') + 1);
    EXPECT_NE(run.out.find("\n\n" + want), std::string::npos) << run.out;
  }
  const std::string scored = tempPath("offset_score.csv");
  ASSERT_EQ(runQmx("fit glm tests/ref/glm/glm_offset_data.csv --formula 'y ~ x + g + "
                   "offset(log(t))' --family poisson -o " +
                   output)
                .status,
            0);
  ASSERT_EQ(runQmx("score " + output +
                   " tests/ref/glm/glm_offset_new.csv --output link,response -o " + scored)
                .status,
            0);
  const auto got = qmxcli::csvRows(readFile(scored));
  const auto want = qmxcli::csvRows(readFile(dir + "glm_offset_score.csv"));
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t row = 1; row < want.size(); ++row)
    for (std::size_t col = 0; col < 2; ++col) {
      if (want[row][col] == "NA") {
        EXPECT_EQ(got[row][col], "NA");
        continue;
      }
      const double expected = std::stod(want[row][col]);
      EXPECT_NEAR(std::stod(got[row][col]), expected, 1e-12 * std::fabs(expected));
    }
  std::remove(output.c_str());
  std::remove(scored.c_str());
}
