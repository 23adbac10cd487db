// The k-means fitting proc through the host pipeline: R's kmeans on every case of
// kmeans_cases.csv at every chunk size with a retained set holding every row (starting rows
// given, first rows, hierarchical sample; scaled by sd), and the failures of
// kmeans_messages.tsv.
#include "qmxmisc/cluster/QMXProcKMeans.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "cluster/KMeansCases.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecElementWriter.h"
#include "qmxmisc/model/ModelSpecWriter.h"
#include "support/ChunkSizes.h"
#include "support/ProcHarness.h"
#include "support/RefTable.h"

extern "C" QMXProc* qmx_s_create_QMXProcKMeans(QMXProc** out);

namespace {

// The specification document over the columns x1..xp of a data set, with R's statistics.
std::string specDocument(const std::string& set, const QMXMemoryTable& table) {
  std::vector<DataColumn> columns;
  std::string formula = "~";
  for (const QMXColumnInfo& info : table.schema()) {
    if (info.name == "w") continue;
    DataColumn column = DataColumn::numeric(info.name);
    for (const RefRow& stat : readRefCsv("cluster", "kmeans_stats.csv")) {
      if (stat.text("set") != set || stat.text("column") != info.name) continue;
      column.count = static_cast<std::int64_t>(table.numRows());
      column.min = stat.num("min");
      column.max = stat.num("max");
      column.mean = stat.num("mean");
      column.sd = stat.num("sd");
    }
    formula += (formula.size() > 1 ? " + " : " ") + info.name;
    columns.push_back(column);
  }
  formula += " - 1";
  const ModelSpecElementWriter element(formula);
  std::ostringstream document;
  ModelSpecWriter(modelFromFormula(formula, columns), columns, element).write(document);
  return document.str();
}

qmxtest::ProcHarness procOf(const std::string& set, const QMXMemoryTable& table) {
  qmxtest::ProcHarness proc(qmx_s_create_QMXProcKMeans, "QMXProcKMeans");
  proc.input(table).set("model.vtml", {specDocument(set, table)});
  return proc;
}

}  // namespace

TEST(QMXProcKMeans, CasesMatchR) {
  int runs = 0;
  for (const RefRow& c : kmcase::cases()) {
    if (c.text("weighted") == "1" || c.text("ifault") != "0") continue;
    SCOPED_TRACE(c.text("case"));
    const QMXMemoryTable table =
        qmxtest::readRefTable("cluster", "kmeans_" + c.text("set") + ".csv");
    const std::string& start = c.text("start");
    qmxtest::forEachChunkSize([&](long chunk) {
      qmxtest::ProcHarness proc = procOf(c.text("set"), table);
      proc.set("N.clusters", {c.text("k")}).set("maxIterations", {c.text("iter")});
      proc.set("rowsRetainedSet", {std::to_string(static_cast<long>(table.numRows()))});
      proc.set("scale", {c.text("scale")}).get("iterations").get("converged");
      std::string rows = start;
      std::replace(rows.begin(), rows.end(), ';', ',');
      if (start.starts_with("hclust:")) {
        proc.set("initializingCenter", {"3"})
            .set("max.rows", {std::to_string(static_cast<long>(table.numRows()))});
      } else if (c.text("case").ends_with("_first4")) {
        proc.set("initializingCenter", {"0"});
      } else {
        proc.set("initialRows", {rows});
      }
      const qmxtest::ProcResult run = proc.run(chunk);
      ASSERT_TRUE(run.ok) << run.error;
      ++runs;
      EXPECT_EQ(run.properties.at("iterations"), c.text("r_iter"));
      EXPECT_EQ(run.properties.at("converged"), "1");
      const KMeansFit& fit = proc.as<QMXProcKMeans>().fitted();
      EXPECT_TRUE(qmxtest::matchesRef(
          kmcase::named(fit.centers().data(), fit.withinSS().data(), fit.size().data(),
                        fit.centers().getNRow(), fit.centers().getNCol()),
          kmcase::refResult(c, fit.centers().getNCol()), 1e-10));
    });
  }
  EXPECT_GT(runs, 0);
}

// Rows far beyond the retained set (kmeans_large.R: 12000 rows, 500 retained): at every
// chunk size the total within sum of squares, as the fit reports it and as its centers score
// every row, is within 2 % of R's best of 10 random starts.
TEST(QMXProcKMeans, BeyondRetainedSetNearRBest) {
  const QMXMemoryTable table = qmxtest::readRefTable("cluster", "kmeans_large.csv");
  const kmcase::DataSet data = kmcase::dataSet("large");
  const RefRow ref = readRefCsv("cluster", "kmeans_large_ref.csv").at(0);
  const double best = ref.num("tot_withinss");
  qmxtest::forEachChunkSize([&](long chunk) {
    qmxtest::ProcHarness proc = procOf("large", table);
    proc.set("N.clusters", {ref.text("k")}).set("rowsRetainedSet", {"500"});
    proc.set("initializingCenter", {"3"}).set("max.rows", {"500"});
    const qmxtest::ProcResult run = proc.run(chunk);
    ASSERT_TRUE(run.ok) << run.error;
    KMeansFit fit = proc.as<QMXProcKMeans>().fitted();
    const double* within = fit.withinSS().data();
    EXPECT_NEAR(std::accumulate(within, within + fit.nClusters(), 0.0) / best, 1.0, 0.02);
    const TMatrix<double> scores =
        fit.computeMembership(DoubleMatrix(data.x.data(), data.rows, data.cols));
    double scored = 0.0;
    for (long row = 0; row < data.rows; ++row)
      scored += scores(row, 1) * scores(row, 1);
    EXPECT_NEAR(scored / best, 1.0, 0.02);
  });
}

TEST(QMXProcKMeans, Messages) {
  std::ifstream in(refPath("cluster", "kmeans_messages.tsv"));
  int cases = 0;
  bool header = true;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || std::exchange(header, false)) continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      cells.push_back(cell);
    SCOPED_TRACE(cells[0]);
    ++cases;
    const QMXMemoryTable table = qmxtest::readRefTable("cluster", "kmeans_" + cells[1] + ".csv");
    qmxtest::ProcHarness proc = procOf(cells[1], table);
    std::istringstream properties(cells[3]);
    for (std::string item; std::getline(properties, item, ';');)
      proc.set(item.substr(0, item.find('=')), {item.substr(item.find('=') + 1)});
    const qmxtest::ProcResult run = proc.run(std::stol(cells[2]));
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.error.find(cells[4]), std::string::npos) << run.error;
    if (cells.size() > 5 && !cells[5].empty()) {
      const auto info = run.texts(QMXMessageKind::Information);
      EXPECT_NE(std::find(info.begin(), info.end(), cells[5]), info.end());
    }
  }
  EXPECT_GT(cases, 0);
}
