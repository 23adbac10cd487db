// Errors of the host's data layer (sources, sinks, buffers): bad files, malformed CSV,
// values of the wrong type. The message says what failed and where (file, line, column).
#pragma once

#include <stdexcept>
#include <string>

class QMXDataError : public std::runtime_error {
 public:
  explicit QMXDataError(const std::string& message) : std::runtime_error(message) {}
};
