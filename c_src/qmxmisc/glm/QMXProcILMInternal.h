// Helpers shared by the regression procs QMXProcILM and QMXProcIGLM (not used beyond glm/):
// printf-style message texts and the tolerances of the back-solve and statistics.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace glm_proc {

// Rank tolerance of every solve, rank and inverse of the regression procs.
inline constexpr double kRankTolerance = 1e-13;

// The information added before the "no valid data" errors.
inline constexpr const char kMissingRowsInfo[] =
    "Data set has %d rows with one or more missing values";

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

}  // namespace glm_proc
