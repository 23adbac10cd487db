// Reading a CSV field as a number, accepting what R's read.csv turns into a number:
// decimal and exponent forms, a leading '+' or '-', blanks around the number,
// hexadecimal with a 0x prefix, Inf/-Inf/infinity and NaN (any letter case). Values
// beyond the double range become +-Inf or 0 as with strtod. NaN is a number here; the
// data model stores it as a missing value.
#pragma once

#include <cstdint>
#include <string_view>

// Returns false when `text` is not a number; `value` is then unspecified.
bool QMXCsvParseNumberText(std::string_view text, double& value);

namespace qmxnumber {

inline constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// The most common field, "[-]digits[.digits]" with at most 15 digits in all: the digits
// make an integer below 2^53 and the power of ten is at most 10^15, both exact doubles, so
// one division rounds correctly, to the same double as from_chars gives. False for anything
// else (QMXCsvParseNumberText reads it).
inline bool readShortDecimal(std::string_view text, double& value) {
  const char* p = text.data();
  const char* const end = p + text.size();
  if (end - p > 17) return false;  // a sign, 15 digits and a point at most
  const bool negative = p < end && *p == '-';
  p += negative;
  const char* const first = p;
  const char* point = end;
  std::uint64_t mantissa = 0;
  // One loop over the digits and the point, so that most numbers leave it once.
  for (; p < end; ++p) {
    const auto digit = static_cast<unsigned char>(*p - '0');
    if (digit < 10)
      mantissa = mantissa * 10 + digit;
    else if (*p == '.' && point == end)
      point = p;
    else
      return false;
  }
  const std::ptrdiff_t scale = point == end ? 0 : end - point - 1;
  const std::ptrdiff_t digits = (end - first) - (point != end);
  if (digits == 0 || digits > 15) return false;
  const auto m = static_cast<double>(mantissa);
  value = scale == 0 ? m : m / kPowersOf10[scale];
  if (negative) value = -value;
  return true;
}

}  // namespace qmxnumber

inline bool QMXCsvParseNumber(std::string_view text, double& value) {
  return qmxnumber::readShortDecimal(text, value) || QMXCsvParseNumberText(text, value);
}
