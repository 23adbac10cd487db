// GLMResidualQuantiles: exact type-7 quantiles over passes (see the header).
#include "qmxmisc/glm/GLMResidualQuantiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kProbs[] = {0.0, 0.25, 0.5, 0.75, 1.0};

// The bucket of x in [low, high]: monotone in x.
long bucketOf(double x, double low, double high, long buckets) {
  if (!(high > low)) return 0;
  const double position = std::floor((x - low) / (high - low) * static_cast<double>(buckets));
  return std::clamp(static_cast<long>(position), 0L, buckets - 1);
}

}  // namespace

void GLMResidualQuantiles::startPass() {
  if (passes_ == 0) {
    n_ = 0;
    firstValues_.clear();
    firstKept_ = true;
  }
  for (Rank& r : ranks_) {
    if (r.known) continue;
    r.kept.clear();
    if (!r.collect) {
      r.counts.assign(kBuckets, 0);
      r.lows.assign(kBuckets, std::numeric_limits<double>::infinity());
      r.highs.assign(kBuckets, -std::numeric_limits<double>::infinity());
    }
  }
}

void GLMResidualQuantiles::add(double value) {
  if (std::isnan(value)) return;
  if (passes_ == 0) {
    min_ = n_ == 0 ? value : std::min(min_, value);
    max_ = n_ == 0 ? value : std::max(max_, value);
    ++n_;
    if (firstKept_ && static_cast<std::int64_t>(firstValues_.size()) < bound_) {
      firstValues_.push_back(value);
    } else {
      firstKept_ = false;
      firstValues_.clear();
    }
    return;
  }
  for (Rank& r : ranks_) {
    if (r.known || value < r.low || value > r.high) continue;
    if (r.collect) {
      r.kept.push_back(value);
      continue;
    }
    const long k = bucketOf(value, r.low, r.high, kBuckets);
    ++r.counts[k];
    r.lows[k] = std::min(r.lows[k], value);
    r.highs[k] = std::max(r.highs[k], value);
  }
}

bool GLMResidualQuantiles::finishPass() {
  ++passes_;
  if (passes_ == 1) {
    if (n_ == 0) {
      result_.fill(std::numeric_limits<double>::quiet_NaN());
      return true;
    }
    ranks_.clear();
    for (const double p : kProbs) {
      const double h = static_cast<double>(n_ - 1) * p;
      for (const double at : {std::floor(h), std::ceil(h)}) {
        Rank r;
        r.rank = static_cast<std::int64_t>(at);
        r.low = min_;
        r.high = max_;
        r.inside = n_;
        r.collect = !firstKept_;  // decided below
        ranks_.push_back(r);
      }
    }
    // One working copy for every rank (nth_element finds a rank whatever the order it leaves):
    // a copy per rank held ten times the kept values at once.
    std::vector<double> work = firstKept_ ? firstValues_ : std::vector<double>();
    for (Rank& r : ranks_) {
      r.collect = false;
      if (firstKept_) {
        std::nth_element(work.begin(), work.begin() + r.rank, work.end());
        r.value = work[static_cast<std::size_t>(r.rank)];
        r.known = true;
      } else if (r.rank == 0 || r.rank == n_ - 1 || min_ == max_) {
        r.value = r.rank == 0 || min_ == max_ ? min_ : max_;
        r.known = true;
      }
    }
    settle();
    return std::all_of(ranks_.begin(), ranks_.end(), [](const Rank& r) { return r.known; });
  }
  for (Rank& r : ranks_) {
    if (r.known) continue;
    const std::int64_t inside = r.rank - r.below;
    if (r.collect) {
      std::nth_element(r.kept.begin(), r.kept.begin() + inside, r.kept.end());
      r.value = r.kept[static_cast<std::size_t>(inside)];
      r.known = true;
      std::vector<double>().swap(r.kept);
      continue;
    }
    std::int64_t cumulative = 0;
    for (long k = 0; k < kBuckets; ++k) {
      if (cumulative + r.counts[k] <= inside) {
        cumulative += r.counts[k];
        continue;
      }
      r.below += cumulative;
      r.low = r.lows[k];
      r.high = r.highs[k];
      r.inside = r.counts[k];
      break;
    }
    if (r.low == r.high) {
      r.value = r.low;
      r.known = true;
    }
    r.collect = r.inside <= bound_;
    r.counts.clear();
    r.lows.clear();
    r.highs.clear();
  }
  settle();
  return std::all_of(ranks_.begin(), ranks_.end(), [](const Rank& r) { return r.known; });
}

// The quantiles once every rank is known, as R's quantile(type = 7) computes them.
void GLMResidualQuantiles::settle() {
  if (!std::all_of(ranks_.begin(), ranks_.end(), [](const Rank& r) { return r.known; })) return;
  for (std::size_t i = 0; i < 5; ++i) {
    const double h = static_cast<double>(n_ - 1) * kProbs[i];
    const double lo = ranks_[2 * i].value, hi = ranks_[2 * i + 1].value;
    const double fraction = h - std::floor(h);
    result_[i] = fraction > 0 && hi != lo ? (1 - fraction) * lo + fraction * hi : lo;
  }
}
