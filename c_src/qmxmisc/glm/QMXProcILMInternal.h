// Helpers shared by the regression procs QMXProcILM and QMXProcIGLM (not used beyond glm/):
// printf-style message texts, the tolerances of the back-solve and statistics, and the step
// size of the iterative fit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/numeric/TMatrix.h"

namespace glm_proc {

// Rank tolerance of every solve, rank and inverse of the regression procs.
inline constexpr double kRankTolerance = 1e-13;

// The information added before the "no valid data" errors.
inline constexpr const char kMissingRowsInfo[] =
    "Data set has %d rows with one or more missing values";

// Guards the relative changes of the iterative fit against division by zero (100 times
// machine epsilon).
inline constexpr double kRelativeGuard = 2.220446049250313e-14;

// Largest relative change between two coefficient matrices (element by element):
// |old - new| / |old|, or the undivided change where |old| is not above kRelativeGuard.
inline double largestRelativeStep(const TMatrix<double>& before, const TMatrix<double>& after) {
  double largest = 0.0;
  const long count = std::min(before.size(), after.size());
  for (long k = 0; k < count; ++k) {
    const double change = std::fabs(before[k] - after[k]);
    const double size = std::fabs(before[k]);
    largest = std::max(largest, size > kRelativeGuard ? change / size : change);
  }
  return largest;
}

// printf into a std::string.
[[gnu::format(printf, 1, 2)]] inline std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list sizing;
  va_copy(sizing, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, sizing);
  va_end(sizing);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0U, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
  va_end(args);
  return text;
}

// The families whose dispersion R's summary.glm takes to be 1 (no Pearson sum needed).
inline bool fixedDispersion(const GLMFamily& family) {
  return family.distType() == GLMFamily::Distribution::Binomial ||
         family.distType() == GLMFamily::Distribution::Poisson;
}

}  // namespace glm_proc
