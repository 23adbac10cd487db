// PolyBasis: the columns of R's poly(x, k) and the passes that find their coefficients.
//
// Orthogonal polynomials follow R's predict.poly: p0 = 1, p1 = x - alpha[0],
// p(j+1) = (x - alpha[j]) p(j) - (norm2[j+2] / norm2[j+1]) p(j-1), column j = p(j) /
// sqrt(norm2[j+1]) for j = 1..k, where norm2 = (1, n, |p1|^2, ..., |pk|^2). The data give
// alpha and norm2 by the Stieltjes procedure, one pass per degree (k + 1 passes):
//   PolyCoefficients c(k);
//   do { c.startPass(); for each chunk: c.add(x, n); } while (!c.endPass());
// which agrees with the QR decomposition R's poly() uses to rounding.
#pragma once

#include <cstddef>
#include <set>
#include <vector>

// Writes n rows of k columns (column major) of the basis at x; raw: x, x^2, ..., x^k.
void polyBasis(const double* x, std::size_t n, long degree, bool raw,
               const std::vector<double>& alpha, const std::vector<double>& norm2, double* out);

class PolyCoefficients {
 public:
  explicit PolyCoefficients(long degree) : degree_(degree) {}

  void startPass() { sumSquares_ = sumWeighted_ = 0.0; }
  void add(const double* x, std::size_t n);
  // Ends a pass; true when the coefficients are complete. Throws when the data has fewer
  // than degree + 1 distinct values, or no rows.
  bool endPass();

  long degree() const { return degree_; }
  const std::vector<double>& alpha() const { return alpha_; }
  const std::vector<double>& norm2() const { return norm2_; }

 private:
  long degree_;
  std::vector<double> alpha_;
  std::vector<double> norm2_{1.0};
  std::set<double> distinct_;  // the first degree + 1 distinct values (first pass)
  double sumSquares_ = 0.0, sumWeighted_ = 0.0;
};
