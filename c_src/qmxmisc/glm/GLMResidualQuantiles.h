// GLMResidualQuantiles: R's quantile(x) (type 7: minimum, quartiles, median, maximum) of
// values that are seen once per pass over the data, exact in bounded memory. The first pass
// keeps the values while there are at most `bound` of them (then one pass suffices) and
// counts them with their minimum and maximum. Beyond the bound it also counts them in 65536
// buckets of the sign, the exponent and the first four bits of the significand, which
// bracket every order statistic the quantiles need (ranks floor and ceil of (n - 1) p) to
// one sixteenth of a binade. Each further pass keeps the values of a bracket holding at
// most `bound` of them and selects from them, or else counts the bracket's values in 1024
// buckets of equal width (with each bucket's smallest and largest value) and narrows the
// bracket to the bucket holding the rank. Buckets are monotone in the value, so a bracket
// [smallest, largest] of a bucket holds exactly its values. Residuals spread over a few
// binades need two passes in all.
//
//   GLMResidualQuantiles q(bound); do { q.startPass(); for x: q.add(x); } while (!q.finishPass());
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

class GLMResidualQuantiles {
 public:
  explicit GLMResidualQuantiles(std::int64_t bound = 1000000) : bound_(bound < 1 ? 1 : bound) {}

  void startPass();
  void add(double value) {
    // The first pass while it keeps every value: inline, for the per-row loops.
    if (passes_ == 0 && firstKept_ && n_ < bound_ && !std::isnan(value)) {
      min_ = n_ == 0 || value < min_ ? value : min_;
      max_ = n_ == 0 || value > max_ ? value : max_;
      ++n_;
      firstValues_.push_back(value);
      return;
    }
    addOther(value);
  }
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
  static constexpr int kFineShift = 48;  // a fine bucket: the top 16 bits of the order key
  struct Rank {
    std::int64_t rank = 0;     // 0-based order statistic
    double low = 0, high = 0;  // its bracket
    std::int64_t below = 0;    // values below the bracket
    std::int64_t inside = 0;   // values in the bracket (known after a histogram pass)
    bool collect = false;      // this pass keeps the bracket's values
    long sharedWith = -1;      // an earlier rank collecting the same bracket
    bool known = false;
    double value = 0;
    std::vector<std::int64_t> counts;
    std::vector<double> lows, highs, kept;
  };
  void addOther(double value);
  void settle();
  void countFine(double value);
  void shareBrackets();
  void bracketFine(Rank& r) const;

  std::int64_t bound_;
  std::int64_t n_ = 0;
  std::int64_t passes_ = 0;
  double min_ = 0, max_ = 0;
  std::vector<double> firstValues_;
  bool firstKept_ = true;
  std::vector<std::int64_t> fine_;  // the first pass's counts beyond the bound
  std::vector<Rank> ranks_;
  std::array<double, 5> result_{};
};
