// The working state of one Hartigan-Wong run (HartiganWong.h): AS 136's arrays IC1, IC2, NC,
// NCP, ITRAN, LIVE and D with the cluster weights that replace its counts in the factors.
// Step numbers (LIVE, NCP) keep AS 136's 1-based point numbering.
#pragma once

#include <vector>

#include "qmxmisc/numeric/HartiganWong.h"

class HartiganWongState {
 public:
  HartiganWongState(const HartiganWongData& data, const double* centers, long k);

  // AS 136 main loop; fills `fit` (assignment, costs, iterations, fault).
  void run(long maxIterations, long maxQuickSteps, HartiganWongFit& fit);

 private:
  double value(long i, long j) const { return rows_[i * data_.p + j]; }
  double pointWeight(long i) const { return data_.weights == nullptr ? 1.0 : data_.weights[i]; }
  double& center(long l, long j) { return centers_[l + j * k_]; }
  // Squared distance from point i to center l.
  double distance(long i, long l) const {
    const double* row = rows_.data() + i * data_.p;
    double sum = 0.0;
    for (long j = 0; j < data_.p; ++j) {
      const double diff = row[j] - centers_[l + j * k_];
      sum += diff * diff;
    }
    return sum;
  }
  // AS 136's AN1(l) and AN2(l) for point i.
  double removalFactor(long i, long l) const { return weight_[l] / (weight_[l] - pointWeight(i)); }
  double additionFactor(long i, long l) const { return weight_[l] / (weight_[l] + pointWeight(i)); }
  // Point i cannot leave cluster l without emptying it.
  bool onlyMember(long i, long l) const;
  // Moves point i from cluster l1 to l2, updating both centers, counts and weights.
  void transfer(long i, long l1, long l2);

  // Closest and second closest initial centers; false when a cluster stays empty.
  bool assignInitial();
  void optimalTransfer();                  // AS 136.1 OPTRA
  bool quickTransfer(long maxQuickSteps);  // AS 136.2 QTRAN; false when the step limit is hit
  void finalCenters(HartiganWongFit& fit) const;

  HartiganWongData data_;
  // The points row by row (m x p): a point's coordinates are adjacent in every distance.
  std::vector<double> rows_;
  long k_;
  std::vector<double> centers_;
  std::vector<int> ic1_, ic2_;
  std::vector<long> count_;
  std::vector<double> weight_;
  std::vector<long> ncp_, live_;
  std::vector<char> itran_;
  std::vector<double> cost_;
  long indx_ = 0;
};
