#include "qmxmisc/model/PolyBasis.h"

#include <cmath>

#include "qmxmisc/base/QMXException.h"

namespace {

// R's x^k: x * x for the square, pow otherwise.
double rPower(double x, long k) {
  if (k == 1) return x;
  if (k == 2) return x * x;
  return std::pow(x, static_cast<double>(k));
}

}  // namespace

void polyBasis(const double* x, std::size_t n, long degree, bool raw,
               const std::vector<double>& alpha, const std::vector<double>& norm2, double* out) {
  const auto k = static_cast<std::size_t>(degree);
  if (raw) {
    for (std::size_t col = 0; col < k; ++col)
      for (std::size_t row = 0; row < n; ++row)
        out[row + n * col] = rPower(x[row], static_cast<long>(col) + 1);
    return;
  }
  if (alpha.size() != k || norm2.size() != k + 2)
    QMX_ThrowException("poly() of degree %ld has no coefficients", degree);
  for (std::size_t row = 0; row < n; ++row) {
    double before = 1.0;  // p(j - 1)
    double current = x[row] - alpha[0];
    out[row] = current / std::sqrt(norm2[2]);
    for (std::size_t j = 1; j < k; ++j) {
      const double next = (x[row] - alpha[j]) * current - (norm2[j + 1] / norm2[j]) * before;
      before = current;
      current = next;
      out[row + n * j] = current / std::sqrt(norm2[j + 2]);
    }
  }
}

void PolyCoefficients::add(const double* x, std::size_t n) {
  const std::size_t j = alpha_.size();  // this pass sums p(j)
  for (std::size_t row = 0; row < n; ++row) {
    double before = 0.0;
    double current = 1.0;
    for (std::size_t i = 0; i < j; ++i) {
      const double ratio = i == 0 ? 0.0 : norm2_[i + 1] / norm2_[i];
      const double next = (x[row] - alpha_[i]) * current - ratio * before;
      before = current;
      current = next;
    }
    const double square = current * current;
    sumSquares_ += square;
    // Centred on the mean once it is known, as R's poly() centres x.
    sumWeighted_ += (j == 0 ? x[row] : x[row] - alpha_[0]) * square;
    if (j == 0 && distinct_.size() <= static_cast<std::size_t>(degree_)) distinct_.insert(x[row]);
  }
}

bool PolyCoefficients::endPass() {
  const std::size_t j = alpha_.size();
  if (j == 0) {
    if (distinct_.size() <= static_cast<std::size_t>(degree_))
      QMX_ThrowException("'degree' must be less than number of unique points");
  }
  norm2_.push_back(sumSquares_);
  if (j == static_cast<std::size_t>(degree_)) return true;
  alpha_.push_back(j == 0 ? sumWeighted_ / sumSquares_ : sumWeighted_ / sumSquares_ + alpha_[0]);
  return false;
}
