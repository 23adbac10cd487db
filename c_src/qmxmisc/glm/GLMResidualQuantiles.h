// GLMResidualQuantiles: R's quantile(x) (type 7: minimum, quartiles, median, maximum) of
// values that are seen once per pass over the data, exact in bounded memory. The first pass
// keeps the values while there are at most `bound` of them (then one pass suffices) and
// counts them with their minimum and maximum. Beyond the bound every order statistic the
// quantiles need (ranks floor and ceil of (n - 1) p) is bracketed: each further pass counts
// the values of its bracket in 1024 buckets of equal width (with each bucket's smallest and
// largest value) and narrows the bracket to the bucket holding the rank, until the bracket
// holds at most `bound` values, which the next pass keeps and selects from. Buckets are
// monotone in the value, so a bracket [smallest, largest] of a bucket holds exactly its values.
//
//   GLMResidualQuantiles q(bound); do { q.startPass(); for x: q.add(x); } while (!q.finishPass());
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class GLMResidualQuantiles {
 public:
  explicit GLMResidualQuantiles(std::int64_t bound = 1000000) : bound_(bound < 1 ? 1 : bound) {}

  void startPass();
  void add(double value);
  // True when the quantiles are known; false when another pass over the same values is needed.
  bool finishPass();

  std::int64_t count() const { return n_; }
  // Min, 1Q, median, 3Q, max (NaN without values).
  std::array<double, 5> quantiles() const { return result_; }
  // The values in the order seen, while the first pass kept them all (R prints them when the
  // residual degrees of freedom are 5 or fewer); empty otherwise.
  const std::vector<double>& values() const { return firstValues_; }
  std::int64_t passes() const { return passes_; }

 private:
  static constexpr long kBuckets = 1024;
  struct Rank {
    std::int64_t rank = 0;     // 0-based order statistic
    double low = 0, high = 0;  // its bracket
    std::int64_t below = 0;    // values below the bracket
    std::int64_t inside = 0;   // values in the bracket (known after a histogram pass)
    bool collect = false;      // this pass keeps the bracket's values
    bool known = false;
    double value = 0;
    std::vector<std::int64_t> counts;
    std::vector<double> lows, highs, kept;
  };
  void settle();

  std::int64_t bound_;
  std::int64_t n_ = 0;
  std::int64_t passes_ = 0;
  double min_ = 0, max_ = 0;
  std::vector<double> firstValues_;
  bool firstKept_ = true;
  std::vector<Rank> ranks_;
  std::array<double, 5> result_{};
};
