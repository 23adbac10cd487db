// Murtagh's HCLUST agglomeration (F. Murtagh, "Multidimensional Clustering Algorithms",
// COMPSTAT Lectures 4, 1985; the algorithm behind R's hclust): a stored dissimilarity, a
// nearest-neighbour list over the higher-numbered clusters, the closest pair merged at each
// step, and the dissimilarities of the joined cluster from the Lance-Williams formula.
// Ties go to the lowest-numbered pair, scanning as R's hclust does, so R's merges are
// reproduced when the dissimilarities agree.
#include <limits>

#include "qmxmisc/numeric/HClustInternal.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Lance-Williams update: the dissimilarity between cluster k and the union of clusters i and
// j (sizes ni, nj, nk), from d(i,k), d(j,k) and d(i,j). Codes as R's hclust methods:
// 1 "ward.D", 2 "single", 3 "complete", 4 "average", 5 "mcquitty", 6 "median", 7 "centroid".
double lanceWilliams(int method, double dik, double djk, double dij, double ni, double nj,
                     double nk) {
  switch (method) {
    case 1:
      return ((ni + nk) * dik + (nj + nk) * djk - nk * dij) / (ni + nj + nk);
    case 2:
      return dik < djk ? dik : djk;
    case 3:
      return dik > djk ? dik : djk;
    case 4:
      return (ni * dik + nj * djk) / (ni + nj);
    case 5:
      return 0.5 * dik + 0.5 * djk;
    case 6:
      return 0.5 * dik + 0.5 * djk - 0.25 * dij;
    default:
      return (ni * dik + nj * djk - ni * nj * dij / (ni + nj)) / (ni + nj);
  }
}

}  // namespace

std::vector<HClustMerge> hclustAgglomerate(HClustDissimilarity d, int method) {
  const long n = d.size();
  std::vector<bool> active(n, true);
  std::vector<double> size(n, 1.0);
  // nearest[i], nearestDist[i]: the closest active cluster j > i and its dissimilarity.
  std::vector<long> nearest(n, 0);
  std::vector<double> nearestDist(n, kInf);
  const auto findNearest = [&](long i) {
    double best = kInf;
    long bestIdx = nearest[i];
    for (long j = i + 1; j < n; ++j) {
      if (active[j] && d.at(i, j) < best) {
        best = d.at(i, j);
        bestIdx = j;
      }
    }
    nearest[i] = bestIdx;
    nearestDist[i] = best;
  };
  for (long i = 0; i + 1 < n; ++i)
    findNearest(i);

  std::vector<HClustMerge> merges;
  merges.reserve(n > 0 ? n - 1 : 0);
  for (long step = 0; step + 1 < n; ++step) {
    // The closest pair from the nearest-neighbour list.
    double best = kInf;
    long im = 0;
    for (long i = 0; i + 1 < n; ++i) {
      if (active[i] && nearestDist[i] < best) {
        best = nearestDist[i];
        im = i;
      }
    }
    const long i2 = im < nearest[im] ? im : nearest[im];
    const long j2 = im < nearest[im] ? nearest[im] : im;
    merges.push_back({i2, j2, best});
    active[j2] = false;

    // Dissimilarities of the joined cluster i2; its nearest neighbour among k > i2, and
    // clusters k < i2 that now have i2 as their nearest.
    const double dij = d.at(i2, j2);
    double newBest = kInf;
    long newNearest = nearest[i2];
    for (long k = 0; k < n; ++k) {
      if (!active[k] || k == i2) continue;
      double& dik = k > i2 ? d.at(i2, k) : d.at(k, i2);
      const double djk = k > j2 ? d.at(j2, k) : d.at(k, j2);
      dik = lanceWilliams(method, dik, djk, dij, size[i2], size[j2], size[k]);
      if (k > i2) {
        if (dik < newBest) {
          newBest = dik;
          newNearest = k;
        }
      } else if (dik < nearestDist[k]) {
        // Needed for the non-monotone methods (median, centroid), whose updated
        // dissimilarities can fall below a cluster's current nearest.
        nearestDist[k] = dik;
        nearest[k] = i2;
      }
    }
    size[i2] += size[j2];
    nearest[i2] = newNearest;
    nearestDist[i2] = newBest;

    // Clusters whose nearest neighbour was one of the pair look for it again.
    for (long i = 0; i + 1 < n; ++i) {
      if (active[i] && (nearest[i] == i2 || nearest[i] == j2)) findNearest(i);
    }
  }
  return merges;
}
