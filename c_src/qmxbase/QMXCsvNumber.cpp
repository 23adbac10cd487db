#include "qmxbase/QMXCsvNumber.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// Out-of-range values: from_chars refuses them, strtod gives +-HUGE_VAL or a denormal/0
// like R does. Rare, so the copy does not matter.
double parseOutOfRange(std::string_view text) {
  std::string copy(text);
  return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

bool QMXCsvParseNumber(std::string_view text, double& value) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  if (text.empty()) return false;
  bool negative = false;
  std::string_view body = text;
  if (body.front() == '+' || body.front() == '-') {
    negative = body.front() == '-';
    body.remove_prefix(1);
    if (body.empty() || body.front() == '+' || body.front() == '-') return false;
  }
  std::chars_format format = std::chars_format::general;
  if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    body.remove_prefix(2);
    format = std::chars_format::hex;
    if (body.front() == '+' || body.front() == '-') return false;
  }
  const char* const last = body.data() + body.size();
  auto [ptr, ec] = std::from_chars(body.data(), last, value, format);
  if (ptr != last) return false;
  if (ec == std::errc::result_out_of_range) {
    if (format == std::chars_format::hex) return false;
    value = parseOutOfRange(text);
    return true;
  }
  if (ec != std::errc{}) return false;
  if (negative) value = -value;
  return true;
}
