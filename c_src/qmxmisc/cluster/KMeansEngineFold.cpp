// KMeansEngine: folding a chunk into the centers and the retained set, and the final
// Hartigan-Wong refinement.
#include <algorithm>
#include <cmath>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/KMeansEngine.h"

namespace {

constexpr double kTiny = 2.220446049250313e-12;

// The points of positive weight among `count` pooled points (column-major, leading dimension
// `ld`), packed for Hartigan-Wong; `index` maps a packed point to its pooled position.
struct ActivePoints {
  std::vector<double> x;
  std::vector<double> weight;
  std::vector<long> index;
};

ActivePoints activePoints(const std::vector<double>& pooled, const std::vector<double>& weight,
                          long ld, long nCol) {
  ActivePoints active;
  for (long p = 0; p < ld; ++p)
    if (weight[p] > 0.0) active.index.push_back(p);
  const long m = static_cast<long>(active.index.size());
  active.x.resize(m * nCol);
  for (long colIdx = 0; colIdx < nCol; ++colIdx)
    for (long a = 0; a < m; ++a)
      active.x[a + colIdx * m] = pooled[active.index[a] + colIdx * ld];
  for (const long p : active.index)
    active.weight.push_back(weight[p]);
  return active;
}

HartiganWongFit cluster(const ActivePoints& active, long nCol, const std::vector<double>& centers,
                        long k, long maxIterations) {
  const long m = static_cast<long>(active.index.size());
  return hartiganWong(HartiganWongData{active.x.data(), m, nCol, m, active.weight.data()},
                      centers.data(), k, maxIterations);
}

double zeroIfTiny(double value) {
  return std::fabs(value) < kTiny ? 0.0 : value;
}

}  // namespace

void KMeansEngine::fold(const std::vector<double>& rows, long n) {
  const long nPooled = k_ + capacity_ + n;
  std::vector<double> pooled(nPooled * nCol_);
  std::vector<double> weight(nPooled);
  for (long colIdx = 0; colIdx < nCol_; ++colIdx) {
    double* column = pooled.data() + colIdx * nPooled;
    std::copy_n(centers_.begin() + colIdx * k_, k_, column);
    std::copy_n(retained_.begin() + colIdx * capacity_, capacity_, column + k_);
    std::copy_n(rows.begin() + colIdx * n, n, column + k_ + capacity_);
  }
  std::copy(clusterWeight_.begin(), clusterWeight_.end(), weight.begin());
  std::copy(retainedWeight_.begin(), retainedWeight_.end(), weight.begin() + k_);
  std::fill(weight.begin() + k_ + capacity_, weight.end(), 1.0);
  const std::vector<double> oldWithin = withinSum_;

  const ActivePoints active = activePoints(pooled, weight, nPooled, nCol_);
  const HartiganWongFit fit = cluster(active, nCol_, centers_, k_, maxIterations_);
  if (fit.fault == HartiganWongFault::kEmptyCluster)
    QMX_ThrowException("empty cluster: try smaller number of centers");
  if (fit.fault == HartiganWongFault::kBadK) throwCannotInitializeCenters();

  std::vector<double> cost(nPooled, 0.0);
  std::vector<long> clusterOf(nPooled, -1);
  for (std::size_t a = 0; a < active.index.size(); ++a) {
    cost[active.index[a]] = fit.removalCost[a];
    clusterOf[active.index[a]] = fit.cluster[a];
  }
  centers_ = fit.centers;
  clusterWeight_ = fit.weight;
  withinSum_ = fit.withinSS;
  // A center keeps the spread of the rows it had absorbed.
  for (long l = 0; l < k_; ++l)
    if (weight[l] > 0.0) withinSum_[clusterOf[l]] += oldWithin[l];

  // The R points of largest removal cost (of weight at least 1) go back to the retained set.
  for (long p = 0; p < nPooled; ++p)
    if (weight[p] < 1.0) cost[p] = 0.0;
  // Only the order statistics at q and below it are needed: a partial sort (sorted[i] is the
  // i-th smallest at every position asked for).
  std::vector<double> sorted = cost;
  long q = nPooled - capacity_;
  std::nth_element(sorted.begin(), sorted.begin() + q, sorted.end());
  double threshold = sorted[q];
  std::fill(retained_.begin(), retained_.end(), 0.0);
  std::fill(retainedWeight_.begin(), retainedWeight_.end(), 0.0);
  long slot = 0;
  for (long p = 0; p < nPooled && slot < capacity_; ++p) {
    if (!(cost[p] > 0.0 && cost[p] >= threshold && weight[p] >= 1.0)) continue;
    const long c = clusterOf[p];
    const double clusterWeight = clusterWeight_[c];
    const double w = weight[p];
    const double rest = clusterWeight - w;
    if (rest > 0.0) {
      withinSum_[c] = zeroIfTiny(withinSum_[c] - cost[p] * w);
      for (long colIdx = 0; colIdx < nCol_; ++colIdx) {
        const double x = pooled[p + colIdx * nPooled];
        retained_[slot + colIdx * capacity_] = x;
        double& center = centers_[c + colIdx * k_];
        center = zeroIfTiny((center * clusterWeight - x * w) / rest);
      }
      retainedWeight_[slot++] = w;
      clusterWeight_[c] = rest;
    } else if (rest == 0.0 && q >= 1) {
      // A cluster never gives up its last weight: one more point may qualify instead.
      --q;
      std::nth_element(sorted.begin(), sorted.begin() + q, sorted.begin() + q + 1);
      threshold = sorted[q];
    } else {
      retainedWeight_[slot++] = 0.0;
    }
    cost[p] = 0.0;
  }
  for (long c = 0; c < k_; ++c)
    if (std::fabs(withinSum_[c]) < kTiny) withinSum_[c] = oldWithin[c] > 0.0 ? oldWithin[c] : 0.0;
}

KMeansResult KMeansEngine::finish() {
  if (!centersReady_ && nPending_ > 0) initFromStored();
  if (!centersReady_) initFrom(retained_, capacity_, rowsSeen_);
  const long nPooled = k_ + capacity_ + nPending_;
  std::vector<double> pooled(nPooled * nCol_);
  std::vector<double> weight(nPooled, 1.0);
  for (long colIdx = 0; colIdx < nCol_; ++colIdx) {
    std::copy_n(centers_.begin() + colIdx * k_, k_, pooled.begin() + colIdx * nPooled);
    std::copy_n(retained_.begin() + colIdx * capacity_, capacity_,
                pooled.begin() + colIdx * nPooled + k_);
    if (nPending_ > 0) {
      std::copy_n(pending_.begin() + colIdx * capacity_, nPending_,
                  pooled.begin() + colIdx * nPooled + k_ + capacity_);
    }
  }
  std::copy(clusterWeight_.begin(), clusterWeight_.end(), weight.begin());
  std::copy(retainedWeight_.begin(), retainedWeight_.end(), weight.begin() + k_);

  const ActivePoints active = activePoints(pooled, weight, nPooled, nCol_);
  const HartiganWongFit fit = cluster(active, nCol_, centers_, k_, maxIterations_);
  KMeansResult result;
  result.fault = fit.fault;
  result.iterations = fit.iterations;
  result.points = static_cast<long>(active.index.size());
  if (fit.centers.empty()) return result;
  result.centers = DoubleMatrix(fit.centers.data(), k_, nCol_);
  result.size = DoubleMatrix(fit.weight.data(), k_, 1L);
  result.withinSS = DoubleMatrix(fit.withinSS.data(), k_, 1L);
  for (std::size_t a = 0; a < active.index.size(); ++a) {
    const long p = active.index[a];
    if (p < k_) result.withinSS(fit.cluster[a], 0) += withinSum_[p];
  }
  return result;
}
