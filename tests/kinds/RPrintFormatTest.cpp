// R's printing rules of the kinds' summaries (model/RPrintFormat) against R's format() and
// format.pval() (tests/ref/tools/fit_summary_format.R), and the coefficient table's layout.
#include "qmxmisc/model/RPrintFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator))
    parts.push_back(part);
  return parts;
}

}  // namespace

TEST(RPrintFormat, MatchesRFormatAndFormatPval) {
  // Exact text, padding included.
  std::ifstream in(std::string(QMX_TEST_SOURCE_DIR) + "/tests/ref/tools/fit_summary_format.csv");
  ASSERT_TRUE(in.good());
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind("kind,", 0) == 0) continue;
    const std::vector<std::string> fields = split(line, ',');
    ASSERT_EQ(fields.size(), 4u) << line;
    std::vector<double> values;
    for (const std::string& text : split(fields[2], ';'))
      values.push_back(std::stod(text));
    const int digits = std::stoi(fields[1]);
    const std::vector<std::string> got =
        fields[0] == "real" ? formatReal(values, digits) : formatPval(values, digits);
    EXPECT_EQ(got, split(fields[3], ';')) << line;
    ++cases;
  }
  EXPECT_EQ(cases, 21);
}

TEST(RPrintFormat, CoefficientTable) {
  // An aliased coefficient (NaN standard error) prints NA; without a p-value below 0.1 there
  // are no stars and no legend.
  CoefTableColumns columns;
  columns.names = {"(Intercept)", "x", "x2"};
  columns.estimate = {1.5, 0.25, 0.0};
  columns.stdErr = {1.0, 0.5, std::nan("")};
  columns.statistic = {1.5, 0.5, std::nan("")};
  columns.pValue = {0.15, 0.62, std::nan("")};
  columns.statisticName = "t";
  EXPECT_EQ(coefTable(columns),
            "            Estimate Std. Error t value Pr(>|t|)\n"
            "(Intercept)     1.50       1.00     1.5     0.15\n"
            "x               0.25       0.50     0.5     0.62\n"
            "x2              0.00         NA      NA       NA\n");
  columns.pValue[0] = 0.0004;
  const std::string starred = coefTable(columns);
  EXPECT_NE(starred.find("(Intercept)     1.50       1.00     1.5   0.0004 ***\n"),
            std::string::npos)
      << starred;
  EXPECT_NE(starred.find("\n---\nSignif. codes:  0 '***' 0.001 '**' 0.01 '*' 0.05 '.' 0.1 ' ' 1\n"),
            std::string::npos);
  EXPECT_EQ(roundDecimals(-0.0317729, 4), -0.0318);
}
