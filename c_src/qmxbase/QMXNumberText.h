// Numbers as text for the files qmx writes: the shortest decimal text that reads back
// (strtod, R's read.csv, pandas) to the very same double, as std::to_chars gives it
// (plain or exponent form, whichever is shorter; exponents of at least two digits, as
// printf writes them): 0.1, 1e+22, 5e-324, 0.30000000000000004, -0.
#pragma once

#include <cstddef>
#include <string>

// Room for any text of QMXWriteShortest or QMXWriteCsvNumber.
constexpr std::size_t kQMXNumberTextBytes = 32;

// Writes the shortest round-trip text of `x` at `first` (room for kQMXNumberTextBytes)
// and returns its end; NaN and the infinities as std::to_chars writes them ("nan", "inf",
// "-inf").
char* QMXWriteShortest(char* first, double x);

// As QMXWriteShortest, but NaN as NA and the infinities as Inf and -Inf, as R writes them
// into a CSV file.
char* QMXWriteCsvNumber(char* first, double x);

// QMXWriteCsvNumber appended to `out` / as a string.
void QMXAppendCsvNumber(std::string& out, double x);
std::string QMXCsvNumberText(double x);
