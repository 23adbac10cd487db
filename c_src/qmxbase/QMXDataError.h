// Errors of the host's data layer (sources, sinks, buffers): bad files, malformed CSV,
// values of the wrong type, memory that could not be had. The message says what failed and
// where (file, line, column).
#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

class QMXDataError : public std::runtime_error {
 public:
  explicit QMXDataError(const std::string& message) : std::runtime_error(message) {}
};

// A failed allocation as a data error: "not enough memory: <what>".
inline QMXDataError QMXNoMemoryError(const std::string& what) {
  return QMXDataError("not enough memory: " + what);
}

// Runs `action`; a std::bad_alloc it throws becomes QMXNoMemoryError(describe()).
template <class Action, class Describe>
decltype(auto) qmxNoMemoryAsError(Describe&& describe, Action&& action) {
  try {
    return std::forward<Action>(action)();
  } catch (const std::bad_alloc&) {
    throw QMXNoMemoryError(describe());
  }
}
