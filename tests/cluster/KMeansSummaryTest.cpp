// The k-means summaries of R's fits (tests/ref/cluster/kmeans_summary.R): the text against R's
// print of the kmeans object, the json figures against R's components.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "cluster/KMeansTestSupport.h"
#include "qmxmisc/cluster/KMeansSummary.h"
#include "support/RefCompare.h"

namespace {

struct Summarized {
  std::string text, json;
  std::vector<RefRow> rows;
};

Summarized summarize(const std::string& name) {
  Summarized s;
  s.rows = readRefCsv("cluster", name + "_fit.csv");
  std::ostringstream document;
  kmeans_test::fitFromR(name).getXML(document);
  SummaryInput input;
  input.dataRows = 150;
  input.properties = {{"totss", s.rows[0].text("totss")},
                      {"iterations", s.rows[0].text("iter")},
                      {"converged", "1"}};
  s.text = kmeansSummary(document.str(), SummaryFormat::kText, input);
  s.json = kmeansSummary(document.str(), SummaryFormat::kJson, input);
  return s;
}

// The numbers of the json array after "key": [ (nested arrays flattened).
std::vector<double> jsonNumbers(const std::string& json, const std::string& key) {
  const std::regex field("\"" + key + "\": (\\[[^\\n]*\\]|[^,\\n]*)");
  std::smatch match;
  std::vector<double> values;
  if (!std::regex_search(json, match, field)) return values;
  const std::string text = match[1].str();
  const std::regex number("-?[0-9][0-9.e+-]*");
  for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it)
    values.push_back(std::stod(it->str()));
  return values;
}

}  // namespace

TEST(KMeansSummary, TextIsRsPrint) {
  for (const char* name : {"iris_sd", "iris_none"}) {
    const std::string expected = readRefText("cluster", std::string(name) + "_print.txt");
    const Summarized s = summarize(name);
    EXPECT_EQ(s.text.substr(0, expected.size()), expected) << s.text;
  }
}

TEST(KMeansSummary, JsonFiguresAreRs) {
  for (const char* name : {"iris_sd", "iris_none"}) {
    const Summarized s = summarize(name);
    std::vector<double> centers, scaled, sizes, withinss;
    for (const RefRow& row : s.rows) {
      for (const char* column : {"Sepal.Length", "Sepal.Width", "Petal.Length", "Petal.Width"}) {
        centers.push_back(row.num(std::string("unit.") + column));
        scaled.push_back(row.num(column));
      }
      sizes.push_back(row.num("size"));
      withinss.push_back(row.num("withinss"));
    }
    EXPECT_TRUE(qmxtest::matchesColumn(jsonNumbers(s.json, "centers"), centers, 1e-13));
    if (std::string(name) == "iris_sd")
      EXPECT_TRUE(qmxtest::matchesColumn(jsonNumbers(s.json, "centers_scaled"), scaled, 1e-13));
    else
      EXPECT_EQ(s.json.find("centers_scaled"), std::string::npos);
    EXPECT_TRUE(qmxtest::matchesColumn(jsonNumbers(s.json, "sizes"), sizes, 0));
    EXPECT_TRUE(qmxtest::matchesColumn(jsonNumbers(s.json, "withinss"), withinss, 1e-13));
    EXPECT_TRUE(qmxtest::matchesColumn(jsonNumbers(s.json, "betweenss"),
                                       {s.rows[0].num("betweenss")}, 1e-12));
  }
}
