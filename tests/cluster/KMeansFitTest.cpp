// The k-means document: written as expected and read back (iris_sd_fit.xml, from R's fit in
// iris_sd_fit.csv), rows assigned to centers (membership_*.csv) and every reader message
// (kmeans_documents.tsv).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "cluster/KMeansTestSupport.h"
#include "model/ModelDocumentTable.h"
#include "qmxmisc/cluster/KMeansFit.h"
#include "support/RefCompare.h"
#include "support/ThrownMessage.h"

namespace {

std::string written(const KMeansFit& fit) {
  std::ostringstream os;
  EXPECT_TRUE(fit.getXML(os));
  const std::regex stamp("<Timestamp>[^<]*<");
  return std::regex_replace(os.str(), stamp, "<Timestamp>2007/01/31 09:05:07<");
}

DoubleMatrix column(const std::vector<RefRow>& rows, const char* name) {
  DoubleMatrix values(static_cast<long>(rows.size()), 1L);
  for (std::size_t i = 0; i < rows.size(); ++i)
    values(static_cast<long>(i), 0) = rows[i].num(name);
  return values;
}

}  // namespace

TEST(KMeansFit, WritesTheDocumentAndReadsItBack) {
  const KMeansFit fit = kmeans_test::fitFromR("iris_sd");
  const std::string expected = readRefText("cluster", "iris_sd_fit.xml");
  EXPECT_EQ(written(fit), expected);
  const KMeansFit read(expected.c_str());
  ASSERT_EQ(read.nClusters(), 3);
  ASSERT_EQ(read.nVariables(), 4);
  EXPECT_EQ(read.clusterNames(), fit.clusterNames());
  EXPECT_EQ(read.fieldNames(), fit.fieldNames());
  EXPECT_EQ(read.modelName().str(), "KMeans");
  for (long c = 0; c < 3; ++c) {
    EXPECT_EQ(read.size()(c), 0.0);
    EXPECT_EQ(read.withinSS()(c), 0.0);
    EXPECT_TRUE(qmxtest::near(read.writtenSize()(c), fit.size()(c), 1e-15));
    EXPECT_TRUE(qmxtest::near(read.writtenWithinSS()(c), fit.withinSS()(c), 1e-14));
    for (long j = 0; j < 4; ++j)
      EXPECT_TRUE(qmxtest::near(read.centers()(c, j), fit.centers()(c, j), 1e-14));
  }
  for (long j = 0; j < 4; ++j)
    EXPECT_TRUE(qmxtest::near(read.inputScaling()(j), fit.inputScaling()(j), 1e-14));
}

TEST(KMeansFit, AssignsRowsToTheNearestCenter) {
  const std::vector<RefRow> rows = readRefCsv("cluster", "membership_rows.csv");
  DoubleMatrix data(static_cast<long>(rows.size()), 2L);
  data.setSub(Index{0, 1, 2, 3, 4}, Index{0}, column(rows, "x"));
  data.setSub(Index{0, 1, 2, 3, 4}, Index{1}, column(rows, "y"));
  const KMeansFit fitted = kmeans_test::fitFromR("membership");
  std::ostringstream document;
  fitted.getXML(document);
  for (const char* start : {"fitted", "read"}) {
    KMeansFit fit = std::string(start) == "fitted" ? fitted : KMeansFit(document.str().c_str());
    for (int pass = 1; pass <= 2; ++pass) {
      const TMatrix<double> result = fit.computeMembership(data);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(result(static_cast<long>(i), 0), rows[i].num("cluster")) << i;
        EXPECT_TRUE(qmxtest::near(result(static_cast<long>(i), 1), rows[i].num("distance"), 1e-15))
            << i;
      }
      for (const RefRow& total : readRefCsv("cluster", "membership_totals.csv")) {
        if (total.text("start") != start || total.num("passes") != pass) continue;
        const long c = static_cast<long>(total.num("cluster")) - 1;
        EXPECT_EQ(fit.size()(c), total.num("size")) << start << pass << c;
        EXPECT_TRUE(qmxtest::near(fit.withinSS()(c), total.num("withinss"), 1e-14))
            << start << pass << c;
      }
    }
  }
}

TEST(KMeansFitHandler, MalformedDocumentsGiveTheirMessages) {
  std::map<std::string, std::string> snippets;
  std::istringstream in(readRefText("cluster", "kmeans_documents.tsv"));
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    const std::string text = qmx_test::expandDocument(line.substr(tab + 1), snippets);
    if (line[0] == '@') {
      snippets[line.substr(1, tab - 1)] = text;
      continue;
    }
    EXPECT_EQ(thrownMessage([&] { KMeansFit fit(text.c_str()); }), line.substr(0, tab)) << text;
    ++cases;
  }
  EXPECT_GE(cases, 30);
}
