// KMeansEngine: storage, the chunk step and the initial centers. The fold and the final
// refinement are in KMeansEngineFold.cpp.
#include "qmxmisc/cluster/KMeansEngine.h"

#include <algorithm>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/RandomGenerator.h"

void throwCannotInitializeCenters() {
  QMX_ThrowException(
      "cannot initialize centers: try decreasing number of centers or increasing chunk size");
}

void KMeansEngine::allocate(long rows, long nCol, long k) {
  capacity_ = rows;
  nCol_ = nCol;
  k_ = k;
  rowsSeen_ = 0;
  nPending_ = 0;
  centersReady_ = false;
  retained_.assign(rows * nCol, 0.0);
  pending_.clear();
  retainedWeight_.assign(rows, 0.0);
  centers_.assign(k * nCol, 0.0);
  clusterWeight_.assign(k, 0.0);
  withinSum_.assign(k, 0.0);
}

void KMeansEngine::setInitialCenters(const std::vector<double>& centers) {
  QMX_ASSERT(static_cast<long>(centers.size()) == k_ * nCol_, "K x F initial centers");
  centers_ = centers;
  centersReady_ = true;
}

long KMeansEngine::occupiedSlots() const {
  return std::count_if(retainedWeight_.begin(), retainedWeight_.end(),
                       [](double w) { return w > 0.0; });
}

void KMeansEngine::add(const DoubleMatrix& chunk, const std::vector<double>& divisors) {
  const long n = chunk.getNRow();
  if (chunk.getNCol() != nCol_) {
    QMX_ThrowException("row binding a matrix with %d columns, but %d are required",
                       static_cast<int>(chunk.getNCol()), static_cast<int>(nCol_));
  }
  if (k_ < 2) QMX_ThrowException("number of centers is less than 2 : try larger number of centers");
  if (n < 1) return;
  if (capacity_ < 1) QMX_ThrowException("the retained set has no rows");
  std::vector<double> rows(chunk.data(), chunk.data() + n * nCol_);
  for (long colIdx = 0; colIdx < nCol_; ++colIdx) {
    const double divisor = divisors[colIdx];
    if (divisor == 0.0 || divisor == 1.0) continue;
    for (long rowIdx = 0; rowIdx < n; ++rowIdx)
      rows[rowIdx + colIdx * n] /= divisor;
  }
  long next = 0;
  if (rowsSeen_ < capacity_) {
    next = std::min(n, capacity_ - rowsSeen_);
    append(rows, n, next);
    // Whatever the chunks' sizes, the centers start from the full retained set.
    if (!centersReady_ && rowsSeen_ == capacity_ && rowsSeen_ >= k_)
      initFrom(retained_, capacity_, rowsSeen_);
  }
  if (next < n && pending_.empty()) pending_.assign(capacity_ * nCol_, 0.0);
  while (next < n) {
    const long m = std::min(n - next, capacity_ - nPending_);
    for (long colIdx = 0; colIdx < nCol_; ++colIdx)
      std::copy_n(rows.begin() + colIdx * n + next, m,
                  pending_.begin() + colIdx * capacity_ + nPending_);
    nPending_ += m;
    rowsSeen_ += m;
    next += m;
    if (nPending_ == capacity_) foldPending();
  }
}

void KMeansEngine::foldPending() {
  if (!centersReady_) initFromStored();
  if (k_ > nPending_ && tolerance_ < 1.0) {
    QMX_ThrowException(
        "number of centers is greater than chunck size (number of rows) : try smaller number of "
        "centers");
  }
  fold(pending_, nPending_);
  nPending_ = 0;
}

// The retained set is full and has not been folded: the stored rows in data order are its
// rows, then the pending ones.
void KMeansEngine::initFromStored() {
  const long m = capacity_ + nPending_;
  std::vector<double> seen(m * nCol_);
  for (long colIdx = 0; colIdx < nCol_; ++colIdx) {
    std::copy_n(retained_.begin() + colIdx * capacity_, capacity_, seen.begin() + colIdx * m);
    std::copy_n(pending_.begin() + colIdx * capacity_, nPending_,
                seen.begin() + colIdx * m + capacity_);
  }
  initFrom(seen, m, m);
}

void KMeansEngine::append(const std::vector<double>& rows, long ld, long m) {
  for (long colIdx = 0; colIdx < nCol_; ++colIdx)
    std::copy_n(rows.begin() + colIdx * ld, m, retained_.begin() + colIdx * capacity_ + rowsSeen_);
  std::fill_n(retainedWeight_.begin() + rowsSeen_, m, 1.0);
  std::fill(retainedWeight_.begin() + rowsSeen_ + m, retainedWeight_.end(), 0.0);
  rowsSeen_ += m;
}

// The candidates are the first m rows of `rows` (leading dimension ld): the first rows of
// the data.
void KMeansEngine::initFrom(const std::vector<double>& rows, long ld, long m) {
  if (m < k_) throwCannotInitializeCenters();
  std::vector<long> chosen;
  if (initMethod_ == kInitRandomRows) {
    RandomGenerator random(seed_);
    while (static_cast<long>(chosen.size()) < k_) {
      const long draw = random.nextInt(0, static_cast<std::int32_t>(m - 1));
      if (std::find(chosen.begin(), chosen.end(), draw) == chosen.end()) chosen.push_back(draw);
    }
  } else if (initMethod_ == kInitHierarchical) {
    DoubleMatrix candidates(m, nCol_);
    for (long colIdx = 0; colIdx < nCol_; ++colIdx)
      std::copy_n(rows.begin() + colIdx * ld, m, candidates.data() + colIdx * m);
    DoubleMatrix result(k_, nCol_);
    long made = 0;
    try {
      made = candidates.hclustCenters(result, k_, 3);
    } catch (...) {
      throwCannotInitializeCenters();
    }
    if (made != k_) throwCannotInitializeCenters();
    setInitialCenters(std::vector<double>(result.data(), result.data() + k_ * nCol_));
    return;
  } else {
    for (long l = 0; l < k_; ++l)
      chosen.push_back(l);
  }
  std::vector<double> centers(k_ * nCol_);
  for (long l = 0; l < k_; ++l)
    for (long colIdx = 0; colIdx < nCol_; ++colIdx)
      centers[l + colIdx * k_] = rows[chosen[l] + colIdx * ld];
  setInitialCenters(centers);
}
