// Hartigan-Wong k-means (Applied Statistics algorithm AS 136, Hartigan and Wong 1979) with an
// optional positive weight per point. With unit weights the steps, tie rules, iteration count
// and fault codes are those of R's kmeans(x, centers, algorithm = "Hartigan-Wong").
//
// Weighted generalisation: a point of weight w counts w in its cluster's weight W and w*x in
// its sums. Removing point i (weight w) from cluster L of weight W lowers the within sum of
// squares by w * W/(W - w) * |x_i - c_L|^2; adding it to cluster L raises it by
// w * W/(W + w) * |x_i - c_L|^2. The common factor w cancels in every comparison, so the AS 136
// factors AN1 = W/(W - w) and AN2 = W/(W + w) are taken per point, and with w = 1 they are
// AS 136's n/(n - 1) and n/(n + 1). A point is the only member of its cluster when it is
// alone there (or carries all its weight); such a point never moves. Center updates are
// c1 = (c1*W1 - w*x)/(W1 - w) and c2 = (c2*W2 + w*x)/(W2 + w).
#pragma once

#include <vector>

enum class HartiganWongFault {
  kNone = 0,
  kEmptyCluster = 1,        // a center attracted no point at the start
  kMaxIterations = 2,       // the iteration limit was reached (R: "did not converge")
  kBadK = 3,                // k <= 1 or k >= number of points
  kQuickTransferSteps = 4,  // R: "Quick-TRANSfer stage steps exceeded maximum"
};

// The points: m x p column-major with leading dimension ldx; weights (m values, each > 0)
// or null for unit weights.
struct HartiganWongData {
  const double* x = nullptr;
  long m = 0;
  long p = 0;
  long ldx = 0;
  const double* weights = nullptr;
};

struct HartiganWongFit {
  std::vector<int> cluster;         // per point, 0-based cluster
  std::vector<double> removalCost;  // per point, AS 136's D(I): W/(W - w) * distance^2
  std::vector<double> centers;      // k x p column-major: weighted means of the members
  std::vector<double> weight;       // per cluster: total weight of its members
  std::vector<double> withinSS;     // per cluster: sum of w * |x - center|^2
  long iterations = 0;              // R's kmeans()$iter (maxIterations + 1 when not converged)
  HartiganWongFault fault = HartiganWongFault::kNone;
};

// Runs AS 136 from `centers` (k x p column-major, leading dimension k). maxQuickSteps <= 0
// takes R's limit, 50 * m steps of the quick-transfer stage.
HartiganWongFit hartiganWong(const HartiganWongData& data, const double* centers, long k,
                             long maxIterations, long maxQuickSteps = 0);
