// Hartigan-Wong k-means, AS 136 (Hartigan and Wong 1979, Appl. Statist. 28(1)): the main
// loop, the initial assignment and the final centers and within sums. The two transfer
// stages are in HartiganWongTransfer.cpp.
#include "qmxmisc/numeric/HartiganWong.h"

#include <algorithm>

#include "qmxmisc/numeric/HartiganWongInternal.h"

HartiganWongFit hartiganWong(const HartiganWongData& data, const double* centers, long k,
                             long maxIterations, long maxQuickSteps) {
  HartiganWongFit fit;
  if (k <= 1 || k >= data.m) {
    fit.fault = HartiganWongFault::kBadK;
    return fit;
  }
  if (maxQuickSteps <= 0) maxQuickSteps = 50 * data.m;
  HartiganWongState state(data, centers, k);
  state.run(maxIterations, maxQuickSteps, fit);
  return fit;
}

HartiganWongState::HartiganWongState(const HartiganWongData& data, const double* centers, long k)
    : data_(data),
      rows_(data.m * data.p),
      k_(k),
      centers_(centers, centers + k * data.p),
      ic1_(data.m, 0),
      ic2_(data.m, 0),
      count_(k, 0),
      weight_(k, 0.0),
      ncp_(k, -1),
      live_(k, 0),
      itran_(k, 1),
      cost_(data.m, 0.0) {
  for (long j = 0; j < data.p; ++j)
    for (long i = 0; i < data.m; ++i)
      rows_[i * data.p + j] = data.x[i + j * data.ldx];
}

bool HartiganWongState::onlyMember(long i, long l) const {
  return count_[l] == 1 || !(weight_[l] - pointWeight(i) > 0.0);
}

void HartiganWongState::transfer(long i, long l1, long l2) {
  const double w = pointWeight(i);
  const double w1 = weight_[l1];
  const double w1Less = w1 - w;
  const double w2 = weight_[l2];
  const double w2More = w2 + w;
  for (long j = 0; j < data_.p; ++j) {
    const double weighted = value(i, j) * w;
    center(l1, j) = (center(l1, j) * w1 - weighted) / w1Less;
    center(l2, j) = (center(l2, j) * w2 + weighted) / w2More;
  }
  --count_[l1];
  ++count_[l2];
  weight_[l1] = w1Less;
  weight_[l2] = w2More;
  ic1_[i] = static_cast<int>(l2);
  ic2_[i] = static_cast<int>(l1);
}

bool HartiganWongState::assignInitial() {
  for (long i = 0; i < data_.m; ++i) {
    double best = distance(i, 0);
    double second = distance(i, 1);
    ic1_[i] = 0;
    ic2_[i] = 1;
    if (best > second) {
      std::swap(best, second);
      std::swap(ic1_[i], ic2_[i]);
    }
    for (long l = 2; l < k_; ++l) {
      double sum = 0.0;
      bool farther = false;
      for (long j = 0; j < data_.p && !farther; ++j) {
        const double diff = value(i, j) - centers_[l + j * k_];
        sum += diff * diff;
        farther = sum >= second;
      }
      if (farther) continue;
      if (sum >= best) {
        second = sum;
        ic2_[i] = static_cast<int>(l);
      } else {
        second = best;
        ic2_[i] = ic1_[i];
        best = sum;
        ic1_[i] = static_cast<int>(l);
      }
    }
  }
  // Centers become the (weighted) means of their points.
  std::fill(centers_.begin(), centers_.end(), 0.0);
  for (long i = 0; i < data_.m; ++i) {
    const long l = ic1_[i];
    ++count_[l];
    weight_[l] += pointWeight(i);
    for (long j = 0; j < data_.p; ++j)
      center(l, j) += value(i, j) * pointWeight(i);
  }
  for (long l = 0; l < k_; ++l) {
    if (count_[l] == 0 || !(weight_[l] > 0.0)) return false;
    for (long j = 0; j < data_.p; ++j)
      center(l, j) /= weight_[l];
  }
  return true;
}

void HartiganWongState::run(long maxIterations, long maxQuickSteps, HartiganWongFit& fit) {
  if (!assignInitial()) {
    fit.fault = HartiganWongFault::kEmptyCluster;
    return;
  }
  fit.fault = HartiganWongFault::kMaxIterations;
  long iteration = 1;
  for (; iteration <= maxIterations; ++iteration) {
    optimalTransfer();
    // No transfer in the last m optimal-transfer steps: converged.
    if (indx_ == data_.m) {
      fit.fault = HartiganWongFault::kNone;
      break;
    }
    if (!quickTransfer(maxQuickSteps)) {
      fit.fault = HartiganWongFault::kQuickTransferSteps;
      break;
    }
    // With two clusters the optimal-transfer stage has nothing more to do.
    if (k_ == 2) {
      fit.fault = HartiganWongFault::kNone;
      break;
    }
    std::fill(ncp_.begin(), ncp_.end(), 0L);
  }
  fit.iterations = iteration;
  fit.cluster = ic1_;
  fit.removalCost = cost_;
  finalCenters(fit);
}

// Centers and within sums recomputed from the final assignment, in AS 136's order.
void HartiganWongState::finalCenters(HartiganWongFit& fit) const {
  const long p = data_.p;
  fit.centers.assign(k_ * p, 0.0);
  fit.weight.assign(k_, 0.0);
  fit.withinSS.assign(k_, 0.0);
  for (long i = 0; i < data_.m; ++i) {
    const long l = ic1_[i];
    fit.weight[l] += pointWeight(i);
    for (long j = 0; j < p; ++j)
      fit.centers[l + j * k_] += value(i, j) * pointWeight(i);
  }
  for (long j = 0; j < p; ++j) {
    for (long l = 0; l < k_; ++l)
      fit.centers[l + j * k_] /= fit.weight[l];
    for (long i = 0; i < data_.m; ++i) {
      const long l = ic1_[i];
      const double diff = value(i, j) - fit.centers[l + j * k_];
      fit.withinSS[l] += pointWeight(i) * diff * diff;
    }
  }
}
