// R's printing rules of the kinds' summaries (model/RPrintFormat) against R's format() and
// format.pval() (tests/ref/tools/fit_summary_format.R). The coefficient table is compared
// whole with R's summaries (stars, legend) and expected texts (NA rows, no legend) by
// tests/tools.
#include "qmxmisc/model/RPrintFormat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TextFiles.h"

TEST(RPrintFormat, MatchesRFormatAndFormatPval) {
  // Exact text, padding included.
  std::ifstream in(std::string(QMX_TEST_SOURCE_DIR) + "/tests/ref/tools/fit_summary_format.csv");
  ASSERT_TRUE(in.good());
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.rfind("kind,", 0) == 0) continue;
    const std::vector<std::string> fields = splitText(line, ',');
    ASSERT_EQ(fields.size(), 4u) << line;
    std::vector<double> values;
    for (const std::string& text : splitText(fields[2], ';'))
      values.push_back(std::stod(text));
    const int digits = std::stoi(fields[1]);
    const std::vector<std::string> got =
        fields[0] == "real" ? formatReal(values, digits) : formatPval(values, digits);
    EXPECT_EQ(got, splitText(fields[3], ';')) << line;
    ++cases;
  }
  EXPECT_EQ(cases, 21);
}
