// The two stages of AS 136 (Hartigan and Wong 1979): the optimal-transfer stage (AS 136.1)
// moves each point to the cluster that lowers the within sum of squares most; the
// quick-transfer stage (AS 136.2) swaps points between their two closest clusters until no
// swap is left. Live sets, step numbers and tie rules (">=" keeps the current choice) are
// AS 136's.
#include "qmxmisc/numeric/HartiganWongInternal.h"

void HartiganWongState::optimalTransfer() {
  const long m = data_.m;
  // A cluster updated in the last quick-transfer stage stays live throughout this stage.
  for (long l = 0; l < k_; ++l)
    if (itran_[l] != 0) live_[l] = m + 1;
  for (long i = 0; i < m; ++i) {
    const long step = i + 1;  // AS 136's point number
    ++indx_;
    const long l1 = ic1_[i];
    long l2 = ic2_[i];
    const long previous = l2;
    if (!onlyMember(i, l1)) {
      // D(I) is recomputed only when cluster l1 changed since it was last computed.
      if (ncp_[l1] != 0) cost_[i] = distance(i, l1) * removalFactor(i, l1);
      double best = distance(i, l2) * additionFactor(i, l2);
      for (long l = 0; l < k_; ++l) {
        // Outside the live set only live clusters are candidates.
        if ((step >= live_[l1] && step >= live_[l]) || l == l1 || l == previous) continue;
        const double bound = best / additionFactor(i, l);
        double sum = 0.0;
        bool farther = false;
        for (long j = 0; j < data_.p && !farther; ++j) {
          const double diff = value(i, j) - centers_[l + j * k_];
          sum += diff * diff;
          farther = sum >= bound;
        }
        if (farther) continue;
        best = sum * additionFactor(i, l);
        l2 = l;
      }
      if (best >= cost_[i]) {
        ic2_[i] = static_cast<int>(l2);
      } else {
        indx_ = 0;
        live_[l1] = m + step;
        live_[l2] = m + step;
        ncp_[l1] = step;
        ncp_[l2] = step;
        transfer(i, l1, l2);
      }
    }
    if (indx_ == m) return;
  }
  for (long l = 0; l < k_; ++l) {
    itran_[l] = 0;
    live_[l] -= m;
  }
}

bool HartiganWongState::quickTransfer(long maxQuickSteps) {
  const long m = data_.m;
  // Here ncp_[l] is the step at which cluster l was last updated, plus m.
  long sinceChange = 0;
  long step = 0;
  while (true) {
    for (long i = 0; i < m; ++i) {
      ++sinceChange;
      ++step;
      if (step >= maxQuickSteps) return false;
      const long l1 = ic1_[i];
      const long l2 = ic2_[i];
      if (!onlyMember(i, l1)) {
        // Cluster l1 updated within the last m steps: D(I) is out of date.
        if (step <= ncp_[l1]) cost_[i] = distance(i, l1) * removalFactor(i, l1);
        if (step < ncp_[l1] || step < ncp_[l2]) {
          const double bound = cost_[i] / additionFactor(i, l2);
          double sum = 0.0;
          bool farther = false;
          for (long j = 0; j < data_.p && !farther; ++j) {
            const double diff = value(i, j) - centers_[l2 + j * k_];
            sum += diff * diff;
            farther = sum >= bound;
          }
          if (!farther) {
            sinceChange = 0;
            indx_ = 0;
            itran_[l1] = 1;
            itran_[l2] = 1;
            ncp_[l1] = step + m;
            ncp_[l2] = step + m;
            transfer(i, l1, l2);
          }
        }
      }
      if (sinceChange == m) return true;
    }
  }
}
