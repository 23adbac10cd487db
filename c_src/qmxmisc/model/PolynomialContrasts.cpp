#include "qmxmisc/model/PolynomialContrasts.h"

#include <cmath>
#include <vector>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"

const char* polynomialContrastName(long degree) {
  static const char* const kNames[] = {"linear", "quad", "cubic", "^4", "^5",
                                       "^6",     "^7",   "^8",    "^9", "^10"};
  QMX_ASSERT(degree >= 1 && degree < kMaxPolynomialLevels, "polynomial degree out of range");
  return kNames[degree - 1];
}

// R's contr.poly(L) orthonormalises the columns 1, y, y^2, ... of the Vandermonde matrix of
// the centred scores y = 1..L - (L + 1)/2 by a QR decomposition and keeps the sign that
// makes the diagonal of R positive: column d is the monic degree-d polynomial orthogonal to
// all lower degrees over the points y, divided by its length. The monic polynomials follow
// from the Stieltjes three-term recurrence (Gautschi, Orthogonal Polynomials, 2004, 2.2),
//   p[d+1](y) = (y - a[d]) p[d](y) - b[d] p[d-1](y),
//   a[d] = <y p[d], p[d]> / <p[d], p[d]>,  b[d] = <p[d], p[d]> / <p[d-1], p[d-1]>,
// which stays accurate where orthogonalising the raw powers would cancel digits.
DoubleMatrix polynomialContrasts(long levels) {
  if (levels > kMaxPolynomialLevels) {
    QMX_ThrowException("Orthogonal polynomials of degree %d are not allowed",
                       static_cast<int>(levels - 1));
  }
  if (levels < 2) return DoubleMatrix();
  const auto n = static_cast<std::size_t>(levels);
  std::vector<double> y(n);
  for (std::size_t i = 0; i < n; ++i)
    y[i] = static_cast<double>(i + 1) - 0.5 * static_cast<double>(levels + 1);

  auto dot = [n](const std::vector<double>& u, const std::vector<double>& v) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i)
      sum += u[i] * v[i];
    return sum;
  };

  DoubleMatrix contrasts(levels, levels - 1);
  strVector names;
  std::vector<double> previous(n, 0.0);
  std::vector<double> current(n, 1.0);
  double previousNorm2 = 1.0;
  for (long degree = 1; degree < levels; ++degree) {
    const double norm2 = dot(current, current);
    double yp2 = 0.0;
    for (std::size_t i = 0; i < n; ++i)
      yp2 += y[i] * current[i] * current[i];
    const double a = yp2 / norm2;
    const double b = degree == 1 ? 0.0 : norm2 / previousNorm2;
    std::vector<double> next(n);
    for (std::size_t i = 0; i < n; ++i)
      next[i] = (y[i] - a) * current[i] - b * previous[i];
    previous = std::move(current);
    current = std::move(next);
    previousNorm2 = norm2;

    const double length = std::sqrt(dot(current, current));
    for (std::size_t i = 0; i < n; ++i)
      contrasts(static_cast<long>(i), degree - 1) = current[i] / length;
    names.push_back(polynomialContrastName(degree));
  }
  contrasts.setColNames(names);
  return contrasts;
}
