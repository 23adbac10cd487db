// GLMResidualQuantiles: exact type-7 quantiles over passes (see the header).
#include "qmxmisc/glm/GLMResidualQuantiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kProbs[] = {0.0, 0.25, 0.5, 0.75, 1.0};

// The bucket of x in [low, high]: monotone in x.
long bucketOf(double x, double low, double high, long buckets) {
  if (!(high > low)) return 0;
  const double position = std::floor((x - low) / (high - low) * static_cast<double>(buckets));
  return std::clamp(static_cast<long>(position), 0L, buckets - 1);
}

// An unsigned key in the order of the values (not NaN); -0 has the key of +0.
std::uint64_t orderKey(double x) {
  if (x == 0) x = 0.0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

double keyValue(std::uint64_t key) {
  const std::uint64_t bits = (key >> 63) != 0 ? key & ~(std::uint64_t{1} << 63) : ~key;
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

}  // namespace

void GLMResidualQuantiles::countFine(double value) {
  ++fine_[static_cast<std::size_t>(orderKey(value) >> kFineShift)];
}

// The fine bucket holding r's rank: its count and its range of values, within the data's.
void GLMResidualQuantiles::bracketFine(Rank& r) const {
  std::int64_t cumulative = 0;
  for (std::size_t bucket = 0; bucket < fine_.size(); ++bucket) {
    if (cumulative + fine_[bucket] <= r.rank) {
      cumulative += fine_[bucket];
      continue;
    }
    const std::uint64_t first = static_cast<std::uint64_t>(bucket) << kFineShift;
    const std::uint64_t last = first | ((std::uint64_t{1} << kFineShift) - 1);
    double low = keyValue(first), high = keyValue(last);
    // The bucket below +0 ends at -0, which compares equal to the zeros of the next one.
    if (high == 0 && (last >> 63) == 0) high = -std::numeric_limits<double>::denorm_min();
    r.low = low >= min_ ? low : min_;  // NaN keys lie beyond the infinities
    r.high = high <= max_ ? high : max_;
    r.below = cumulative;
    r.inside = fine_[bucket];
    return;
  }
}

void GLMResidualQuantiles::startPass() {
  if (passes_ == 0) {
    n_ = 0;
    firstValues_.clear();
    firstKept_ = true;
    fine_.clear();
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

void GLMResidualQuantiles::addOther(double value) {
  if (std::isnan(value)) return;
  if (passes_ == 0) {
    min_ = n_ == 0 ? value : std::min(min_, value);
    max_ = n_ == 0 ? value : std::max(max_, value);
    ++n_;
    if (firstKept_ && static_cast<std::int64_t>(firstValues_.size()) < bound_) {
      firstValues_.push_back(value);
      return;
    }
    if (firstKept_) {
      firstKept_ = false;
      fine_.assign(std::size_t{1} << (64 - kFineShift), 0);
      for (const double kept : firstValues_)
        countFine(kept);
      std::vector<double>().swap(firstValues_);
    }
    countFine(value);
    return;
  }
  for (Rank& r : ranks_) {
    if (r.known || value < r.low || value > r.high) continue;
    if (r.collect) {
      if (r.sharedWith < 0) r.kept.push_back(value);
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
      } else {
        bracketFine(r);
        if (r.low == r.high) {
          r.value = r.low;
          r.known = true;
        }
        r.collect = r.inside <= bound_;
      }
    }
    std::vector<std::int64_t>().swap(fine_);
    shareBrackets();
    settle();
    return std::all_of(ranks_.begin(), ranks_.end(), [](const Rank& r) { return r.known; });
  }
  for (Rank& r : ranks_) {
    if (r.known) continue;
    const std::int64_t inside = r.rank - r.below;
    if (r.collect) {
      // nth_element finds a rank whatever the order an earlier call left.
      std::vector<double>& kept =
          r.sharedWith < 0 ? r.kept : ranks_[static_cast<std::size_t>(r.sharedWith)].kept;
      std::nth_element(kept.begin(), kept.begin() + inside, kept.end());
      r.value = kept[static_cast<std::size_t>(inside)];
      r.known = true;
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
  for (Rank& r : ranks_)
    std::vector<double>().swap(r.kept);
  shareBrackets();
  settle();
  return std::all_of(ranks_.begin(), ranks_.end(), [](const Rank& r) { return r.known; });
}

// Ranks whose brackets are the same (the two ranks of one quantile, mostly) keep one copy
// of its values.
void GLMResidualQuantiles::shareBrackets() {
  for (std::size_t i = 0; i < ranks_.size(); ++i) {
    Rank& r = ranks_[i];
    r.sharedWith = -1;
    if (r.known || !r.collect) continue;
    for (std::size_t j = 0; j < i; ++j) {
      const Rank& other = ranks_[j];
      if (!other.known && other.collect && other.sharedWith < 0 && other.low == r.low &&
          other.high == r.high && other.below == r.below) {
        r.sharedWith = static_cast<long>(j);
        break;
      }
    }
  }
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
