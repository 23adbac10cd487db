// Reading a CSV field as a number, accepting what R's read.csv turns into a number:
// decimal and exponent forms, a leading '+' or '-', blanks around the number,
// hexadecimal with a 0x prefix, Inf/-Inf/infinity and NaN (any letter case). Values
// beyond the double range become +-Inf or 0 as with strtod. NaN is a number here; the
// data model stores it as a missing value.
#pragma once

#include <string_view>

// Returns false when `text` is not a number; `value` is then unspecified.
bool QMXCsvParseNumber(std::string_view text, double& value);
