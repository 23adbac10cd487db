// Argument checks of the distribution functions, in DCDFLIB's order and with its status
// codes: -k for the k-th argument, bound the nearer violated limit.
#include <cmath>
#include <cstddef>
#include <limits>

#include "qmxmisc/numeric/Cdf.h"
#include "qmxmisc/numeric/CdfInternal.h"

namespace {

bool fail(int code, double limit, int* status, double* bound) {
  *status = code;
  *bound = limit;
  return false;
}

}  // namespace

bool cdfCheckWhich(int which, int last, int* status, double* bound) {
  if (which < 1) return fail(-1, 1.0, status, bound);
  if (which > last) return fail(-1, static_cast<double>(last), status, bound);
  return true;
}

bool cdfCheckProbabilities(int which, double p, double q, bool pOpenAtZero, int* status,
                           double* bound) {
  if (which == 1) return true;  // p and q are outputs
  const bool pLow = pOpenAtZero ? !(p > 0.0) : !(p >= 0.0);
  if (pLow) return fail(-2, 0.0, status, bound);
  if (p > 1.0) return fail(-2, 1.0, status, bound);
  if (!(q > 0.0)) return fail(-3, 0.0, status, bound);
  if (q > 1.0) return fail(-3, 1.0, status, bound);
  return true;
}

bool cdfCheckNonNegative(double value, int position, int* status, double* bound) {
  if (!(value >= 0.0)) return fail(-position, 0.0, status, bound);
  return true;
}

bool cdfCheckPositive(double value, int position, int* status, double* bound) {
  if (!(value > 0.0)) return fail(-position, 0.0, status, bound);
  return true;
}

bool cdfCheckSum(double p, double q, int* status, double* bound) {
  const double sum = p + q;
  if (std::fabs(sum - 0.5 - 0.5) > 3.0 * std::numeric_limits<double>::epsilon()) {
    return fail(3, sum < 1.0 ? 0.0 : 1.0, status, bound);
  }
  return true;
}

void cdfClearSought(int which, std::initializer_list<double*> args) {
  const auto* arg = args.begin();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (which == 1) {
    *arg[0] = nan;
    *arg[1] = nan;
  } else if (which >= 2 && static_cast<std::size_t>(which) < args.size()) {
    *arg[which] = nan;
  }
}

double cdfEdgeQuantile(double p, double q, bool wholeLine) {
  if (p == 0.0 && q == 1.0 && wholeLine) return -std::numeric_limits<double>::infinity();
  if (p == 1.0 && q == 0.0) return std::numeric_limits<double>::infinity();
  return std::numeric_limits<double>::quiet_NaN();
}

double cdfRValue(int status, double value) {
  return status == 0 || std::isinf(value) ? value : std::numeric_limits<double>::quiet_NaN();
}
