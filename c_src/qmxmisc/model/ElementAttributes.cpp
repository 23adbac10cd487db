// ElementAttributes: typed attribute readers of the element table's start actions.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ElementTable.h"
#include "qmxmisc/model/ModelHandler.h"

namespace {

[[noreturn]] void fail(const std::string& message) {
  QMX_ThrowException("%s", message.c_str());
}

}  // namespace

const char* ElementAttributes::element() const {
  return handler_.element();
}

std::optional<std::string> ElementAttributes::text(const char* name) {
  if (!handler_.getAttribute(attributes_, name)) return std::nullopt;
  return std::string(handler_.attribute());
}

std::string ElementAttributes::required(const char* name, const std::string& missing) {
  std::optional<std::string> value = text(name);
  if (!value) fail(missing);
  return *value;
}

std::optional<double> ElementAttributes::number(const char* name, const std::string& invalid) {
  const std::optional<std::string> value = text(name);
  if (!value) return std::nullopt;
  // Decimal notation only (no hexadecimal, no blanks): from_chars in the general format,
  // which also reads the NaN and inf the writers print for undefined and infinite values.
  double parsed = 0;
  const char* end = value->data() + value->size();
  const auto [ptr, ec] = std::from_chars(value->data(), end, parsed);
  if (ec != std::errc() || ptr != end) fail(invalid);
  return parsed;
}

std::optional<double> ElementAttributes::finite(const char* name, const std::string& invalid) {
  const std::optional<double> value = number(name, invalid);
  if (value && !std::isfinite(*value)) fail(invalid);
  return value;
}

double ElementAttributes::number(const char* name, const std::string& missing,
                                 const std::string& invalid) {
  if (!handler_.getAttribute(attributes_, name)) fail(missing);
  return *number(name, invalid);
}

long ElementAttributes::integer(const char* name, const std::string& missing,
                                const std::string& invalid) {
  const std::string value = required(name, missing);
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(value.c_str(), &end, 10);
  if (end == value.c_str() || *end != '\0' || errno == ERANGE) fail(invalid);
  return parsed;
}
