#include "qmxbase/QMXCsvNumber.h"

#include <charconv>
#include <cstdint>
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

using qmxnumber::isDigit;
using qmxnumber::kPowersOf10;

// Plain decimals ("12.5", "-3e4", ".5"): at most 19 digits making an integer m <= 2^53 and a
// power of ten 10^e with |e| <= 22 are both exact doubles, so m * 10^e (or m / 10^-e) is one
// correctly rounded operation, the same double as from_chars gives. False for anything else,
// which from_chars then reads.
bool readPlainDecimal(std::string_view body, double& value) {
  const char* p = body.data();
  const char* const end = p + body.size();
  std::uint64_t mantissa = 0;
  const char* const first = p;
  while (p < end && isDigit(*p))
    mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
  std::ptrdiff_t digits = p - first;
  int exponent = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && isDigit(*p))
      mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    exponent = -static_cast<int>(p - fraction);
    digits += p - fraction;
  }
  if (digits == 0 || digits > 19) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* const start = p;
    int power = 0;
    while (p < end && isDigit(*p) && p - start < 4)
      power = power * 10 + (*p++ - '0');
    if (p == start || (p < end && isDigit(*p))) return false;
    exponent += negative ? -power : power;
  }
  if (p != end || mantissa > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22)
    return false;
  const auto m = static_cast<double>(mantissa);
  value = exponent < 0 ? m / kPowersOf10[-exponent] : m * kPowersOf10[exponent];
  return true;
}

}  // namespace

bool QMXCsvParseNumberText(std::string_view text, double& value) {
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
  // A decimal number starts with a digit or a point, Inf and NaN with their letter: most
  // texts that are not numbers stop here.
  const char lower = static_cast<char>(body.front() | 0x20);
  if (format == std::chars_format::general && !isDigit(body.front()) && body.front() != '.' &&
      lower != 'i' && lower != 'n')
    return false;
  if (format == std::chars_format::general && readPlainDecimal(body, value)) {
    if (negative) value = -value;
    return true;
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
