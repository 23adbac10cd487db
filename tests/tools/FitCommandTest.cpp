// qmx fit end to end: fits against R's lm and glm (factor response, missing predictors,
// weights, proportions, zero weights, no intercept); the text summary against R's printed
// summary; the JSON summary against the text and CSV summaries of the same fit. The failures
// are rows of cases/fit.tsv (CliCasesTest.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/RefCsv.h"
#include "tools/QmxCliRunner.h"

namespace {

using qmxcli::kSource;
using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

// The rows of a CSV text without quoted commas, comment lines left out.
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

// The deviance and degrees of freedom of a row ("Null", "Error") of the fitted document.
std::pair<double, long> devCell(const std::string& document, const std::string& source) {
  const std::regex cell("<DevCell source=\"" + source + "\" df=\"([0-9]+)\" dev=\"([^\"]+)\"");
  std::smatch match;
  if (!std::regex_search(document, match, cell)) return {std::nan(""), -1};
  return {std::stod(match[2]), std::stol(match[1])};
}

// A small JSON reader: every scalar of a document by its path ("coefficients.1.p_value");
// ok() is false on a syntax error.
class JsonScalars {
 public:
  explicit JsonScalars(const std::string& text) : text_(text) {
    ok_ = value("");
    skip();
    ok_ = ok_ && at_ == text_.size();
  }
  bool ok() const { return ok_; }
  const std::map<std::string, std::string>& values() const { return values_; }

 private:
  void skip() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
      ++at_;
  }
  bool next(char c) {
    skip();
    return at_ < text_.size() && text_[at_] == c && ++at_;
  }
  bool string(std::string& out) {
    if (!next('"')) return false;
    for (; at_ < text_.size() && text_[at_] != '"'; ++at_)
      out += text_[at_] == '\\' ? text_[++at_] : text_[at_];
    return at_++ < text_.size();
  }
  bool members(const std::string& path, bool object) {
    if (next(object ? '}' : ']')) return true;
    for (int index = 0;; ++index) {
      std::string key = std::to_string(index);
      if (object && !(string(key = "") && next(':'))) return false;
      if (!value(path.empty() ? key : path + "." + key)) return false;
      if (next(object ? '}' : ']')) return true;
      if (!next(',')) return false;
    }
  }
  bool value(const std::string& path) {
    if (next('{')) return members(path, true);
    if (next('[')) return members(path, false);
    skip();
    std::string token;
    if (at_ < text_.size() && text_[at_] == '"') return string(values_[path]);
    while (at_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[at_])) || std::strchr("+-.", text_[at_])))
      token += text_[at_++];
    char* end = nullptr;
    std::strtod(token.c_str(), &end);
    values_[path] = token;
    return !token.empty() &&
           (token == "true" || token == "false" || token == "null" || *end == '\0');
  }

  const std::string& text_;
  std::size_t at_ = 0;
  bool ok_ = false;
  std::map<std::string, std::string> values_;
};

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
  EXPECT_FALSE(qmxcli::exists(output + ".tmp"));
  std::remove(output.c_str());
}

TEST(FitCommand, GlmMatchesR) {
  // tests/ref/tools/fit_glm_cases.R (R 4.2 glm, epsilon 1e-14; the fits here 1e-12);
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
  //     counts N (one fewer for the residual too).
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
  const Outcome aliased =
      runQmx("fit lm tests/tools/data/collinear.csv --formula 'y ~ x + x2' -o " + output);
  ASSERT_EQ(aliased.status, 0) << aliased.err;
  EXPECT_EQ(aliased.out.rfind("Coefficients: (1 not defined because of singularities)\n", 0), 0u)
      << aliased.out;
  EXPECT_TRUE(std::regex_search(aliased.out, std::regex("\nx2? +NA +NA +NA +NA *\n")))
      << aliased.out;
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

TEST(FitCommand, JsonSummaryHoldsTheFiguresOfTheOtherSummaries) {
  // Each fit of cases/json.txt prints its summary as text, CSV and JSON: the JSON parses, its
  // coefficients are the CSV's (an aliased one has a null estimate), and its deviances,
  // degrees of freedom, R-squared, iterations and row counts are the text's.
  const std::string output = tempPath("json.xml");
  const auto figure = [](const std::string& text, const char* pattern, int group) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[group].str() : "";
  };
  for (const auto& line : csvRows(readFile(kSource + "/tests/tools/cases/json.txt"))) {
    const std::string fit = "fit " + line[0] + " -o " + output + " --summary-format ";
    SCOPED_TRACE(fit);
    const Outcome text = runQmx(fit + "text"), csv = runQmx(fit + "csv"),
                  json = runQmx(fit + "json");
    ASSERT_EQ(json.status, 0) << json.err;
    const JsonScalars parsed(json.out);
    ASSERT_TRUE(parsed.ok()) << json.out;
    std::map<std::string, std::string> values = parsed.values();
    const auto coef = csvRows(csv.out);
    for (std::size_t row = 1; row < coef.size(); ++row) {
      const std::string at = "coefficients." + std::to_string(row - 1) + ".";
      const bool aliased = coef[row][2] == "NaN";
      EXPECT_EQ(values[at + "term"], coef[row][0]);
      EXPECT_EQ(values[at + "aliased"], aliased ? "true" : "false");
      EXPECT_EQ(values[at + "estimate"], aliased ? "null" : coef[row][1]);
      const std::pair<const char*, std::size_t> numbers[] = {
          {"std_error", 2}, {"statistic", 3}, {"p_value", 4}};
      for (const auto& [key, col] : numbers)
        EXPECT_EQ(values[at + key], coef[row][col] == "NaN" ? "null" : coef[row][col]) << key;
    }
    EXPECT_EQ(values.count("coefficients." + std::to_string(coef.size() - 1) + ".term"), 0u);
    const std::string used = figure(text.out, "Rows used: (\\d+)", 1);
    EXPECT_EQ(values["n_used"], used);
    const long dropped = std::atol(figure(text.out, "missing values\\): (\\d+)", 1).c_str()) +
                         std::atol(figure(text.out, "zero weight\\): (\\d+)", 1).c_str());
    EXPECT_EQ(values["n_dropped"], std::to_string(dropped));
    const std::map<std::string, std::pair<const char*, int>> fromText = {
        {"deviance", {"Residual deviance: +(\\S+) +on +(\\d+)", 1}},
        {"df_residual",
         {"(Residual deviance: +\\S+|Residual standard error: \\S+) +on +(\\d+)", 2}},
        {"null_deviance", {"Null deviance: +(\\S+) +on +(\\d+)", 1}},
        {"df_null", {"Null deviance: +(\\S+) +on +(\\d+)", 2}},
        {"iterations", {"Fisher Scoring iterations: (\\d+)", 1}},
        {"r_squared", {"Multiple R-squared: +(\\S+),", 1}},
        {"adj_r_squared", {"Adjusted R-squared: +(\\S+) ", 1}}};
    for (const auto& [key, where] : fromText) {
      const std::string shown = figure(text.out, where.first, where.second);
      if (shown.empty()) continue;
      ASSERT_EQ(values.count(key), 1u) << key;
      const double printed = std::stod(shown);
      EXPECT_NEAR(std::stod(values[key]), printed, 5e-4 * std::max(1.0, std::fabs(printed))) << key;
    }
    EXPECT_EQ(values.count("converged"), values.count("iterations"));
    if (values.count("converged")) {
      EXPECT_EQ(values["converged"], "true");
    }
  }
  std::remove(output.c_str());
}
