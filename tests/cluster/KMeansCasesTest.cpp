// Weighted Hartigan-Wong against R's kmeans (kmeans_cases.R) and as a local optimum, and the
// k-means engine's fold through a small retained set. (R agreement of the engine with every
// row retained is checked through the proc, QMXProcKMeansTest.)
#include <gtest/gtest.h>

#include <numeric>

#include "cluster/KMeansCases.h"
#include "qmxmisc/cluster/KMeansEngine.h"
#include "qmxmisc/numeric/HartiganWong.h"

namespace {

constexpr double kTol = 1e-10;

std::vector<double> startCenters(const kmcase::DataSet& data, const std::vector<long>& rows) {
  const long k = static_cast<long>(rows.size());
  std::vector<double> centers(k * data.cols);
  for (long l = 0; l < k; ++l)
    for (long col = 0; col < data.cols; ++col)
      centers[l + col * k] = data.x[rows[l] - 1 + col * data.rows];
  return centers;
}

}  // namespace

// Clusters of every row, centers, within sums, sizes, iterations and fault codes; weighted
// points against R on each row repeated w times.
TEST(HartiganWong, CasesMatchR) {
  for (const RefRow& c : kmcase::cases()) {
    SCOPED_TRACE(c.text("case"));
    const kmcase::DataSet data = kmcase::dataSet(c.text("set"), c.text("scale") == "2");
    const std::vector<long> rows = kmcase::startRows(c);
    if (rows.empty()) continue;  // started from a hierarchical clustering: the proc's case
    const std::vector<double> centers = startCenters(data, rows);
    const bool weighted = c.text("weighted") == "1";
    const HartiganWongFit fit =
        hartiganWong(HartiganWongData{data.x.data(), data.rows, data.cols, data.rows,
                                      weighted ? data.weights.data() : nullptr},
                     centers.data(), static_cast<long>(rows.size()), std::stol(c.text("iter")));
    EXPECT_EQ(static_cast<int>(fit.fault), std::stoi(c.text("ifault")));
    if (!weighted) {
      EXPECT_EQ(fit.iterations, std::stol(c.text("r_iter")));
      std::vector<int> clusters;
      for (const int l : fit.cluster)
        clusters.push_back(l + 1);
      EXPECT_EQ(clusters, kmcase::refClusters(c));
    }
    EXPECT_TRUE(qmxtest::matchesRef(kmcase::named(fit.centers.data(), fit.withinSS.data(),
                                                  fit.weight.data(), rows.size(), data.cols),
                                    kmcase::refResult(c, data.cols), kTol));
  }
}

// A retained set much smaller than the data (well separated mixture): the weight of every row
// seen stays in the centers, the retained set or the pending batch, the retained set never holds
// more than its slots, the final fit counts every row (23 retained leaves rows pending), and
// the within sum of squares ends close to R's full-data optimum.
TEST(KMeansEngine, FoldThroughSmallRetainedSet) {
  const RefRow sep = [] {
    for (const RefRow& c : kmcase::cases())
      if (c.text("case") == "sep3") return c;
    throw std::runtime_error("no sep3 case");
  }();
  const kmcase::DataSet data = kmcase::dataSet("separated");
  const qmxtest::NamedValues best = kmcase::refResult(sep, data.cols);
  const double optimum = best.at("withinss:1") + best.at("withinss:2") + best.at("withinss:3");
  for (const auto& [chunk, retained] : {std::pair{7L, 23L}, {40L, 50L}, {100L, 200L}}) {
    SCOPED_TRACE(std::to_string(chunk) + " rows per chunk, retained " + std::to_string(retained));
    KMeansEngine engine;
    engine.allocate(retained, data.cols, 3);
    for (long first = 0; first < data.rows; first += chunk) {
      const long n = std::min(chunk, data.rows - first);
      DoubleMatrix part(n, data.cols);
      for (long col = 0; col < data.cols; ++col)
        std::copy_n(data.x.begin() + col * data.rows + first, n, part.data() + col * n);
      engine.add(part, std::vector<double>(data.cols, 1.0));
      ASSERT_LE(engine.occupiedSlots(), retained);
      const double inCenters =
          std::accumulate(engine.clusterWeights().begin(), engine.clusterWeights().end(), 0.0);
      ASSERT_NEAR(inCenters + static_cast<double>(engine.occupiedSlots() + engine.pendingRows()),
                  static_cast<double>(engine.rowsSeen()), 1e-9);
    }
    const KMeansResult result = engine.finish();
    ASSERT_EQ(result.fault, HartiganWongFault::kNone);
    EXPECT_NEAR(result.size(0, 0) + result.size(1, 0) + result.size(2, 0), 600.0, 1e-9);
    const double total = result.withinSS(0, 0) + result.withinSS(1, 0) + result.withinSS(2, 0);
    EXPECT_NEAR(total / optimum, 1.0, 0.05);
  }
}

namespace {

// The weighted within sum of squares of a partition, from its definition: sum of
// w * |x - c|^2 with c the weighted mean of the cluster.
double weightedWithinSS(const kmcase::DataSet& data, const std::vector<int>& cluster, long k) {
  std::vector<double> weight(k, 0.0), sums(k * data.cols, 0.0);
  for (long i = 0; i < data.rows; ++i) {
    weight[cluster[i]] += data.weights[i];
    for (long col = 0; col < data.cols; ++col)
      sums[cluster[i] + col * k] += data.weights[i] * data.x[i + col * data.rows];
  }
  double total = 0.0;
  for (long i = 0; i < data.rows; ++i)
    for (long col = 0; col < data.cols; ++col) {
      const double diff =
          data.x[i + col * data.rows] - sums[cluster[i] + col * k] / weight[cluster[i]];
      total += data.weights[i] * diff * diff;
    }
  return total;
}

}  // namespace

// Weighted points that do move (kmeans_weighted_starts.csv): the fit is a local optimum of the
// weighted within sum of squares, which its within sums report.
TEST(HartiganWong, WeightedFitHasNoImprovingTransfer) {
  for (const RefRow& c : readRefCsv("cluster", "kmeans_weighted_starts.csv")) {
    SCOPED_TRACE(c.text("set") + " from " + c.text("start"));
    const kmcase::DataSet data = kmcase::dataSet(c.text("set"));
    const std::vector<long> rows = kmcase::startRows(c);
    const long k = static_cast<long>(rows.size());
    const std::vector<double> centers = startCenters(data, rows);
    const HartiganWongFit fit = hartiganWong(
        HartiganWongData{data.x.data(), data.rows, data.cols, data.rows, data.weights.data()},
        centers.data(), k, 50);
    ASSERT_EQ(fit.fault, HartiganWongFault::kNone);
    const double best = weightedWithinSS(data, fit.cluster, k);
    EXPECT_NEAR(std::accumulate(fit.withinSS.begin(), fit.withinSS.end(), 0.0), best, 1e-10 * best);
    for (long i = 0; i < data.rows; ++i) {
      if (std::count(fit.cluster.begin(), fit.cluster.end(), fit.cluster[i]) == 1) continue;
      for (int l = 0; l < k; ++l) {
        if (l == fit.cluster[i]) continue;
        std::vector<int> moved = fit.cluster;
        moved[i] = l;
        EXPECT_GE(weightedWithinSS(data, moved, k), best * (1.0 - 1e-12))
            << "point " << i + 1 << " to cluster " << l + 1;
      }
    }
  }
}
