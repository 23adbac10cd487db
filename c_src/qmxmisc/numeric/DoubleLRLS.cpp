// DoubleLRLS: lifetime, shape, merge and the stored rank.
#include "qmxmisc/numeric/DoubleLRLS.h"

#include "qmxmisc/base/QMXAccumulator.h"

namespace {
// Tolerance of the rank computed when none was stored: R's lm tolerance.
constexpr double kFitRankTol = 1e-7;
}  // namespace

static_assert(QMXAccumulator<DoubleLRLS>);

DoubleLRLS::DoubleLRLS(const DoubleMatrix& x, const DoubleMatrix& y) : DoubleLLS(x, y, 0) {}

DoubleLRLS::~DoubleLRLS() = default;

void DoubleLRLS::resize(long p, long pR, long q) {
  if (p == 0 || pR == 0 || q == 0) {
    fitRank_ = 0;
    N_ = 0.0;
    SumWt_ = 0.0;
    NPos_ = 0.0;
  }
  DoubleLLS::resize(p, pR, q);
}

void DoubleLRLS::erase() {
  DoubleLLS::resize(0, 0, 0);
  N_ = 0.0;
  SumWt_ = 0.0;
  NPos_ = 0.0;
  fitRank_ = 0;
}

void DoubleLRLS::merge(const DoubleLRLS& other) {
  DoubleLLS::merge(other);
  fitRank_ = 0;
}

long DoubleLRLS::fitRank() {
  if (fitRank_ < 1) fitRank_ = static_cast<std::int32_t>(rank(kFitRankTol, false));
  return fitRank_;
}
