#include "qmxbase/QMXNumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

char* QMXWriteShortest(char* first, double x) {
  // Never fails: 24 bytes hold the longest shortest form ("-2.2250738585072014e-308").
  return std::to_chars(first, first + kQMXNumberTextBytes, x).ptr;
}

char* QMXWriteCsvNumber(char* first, double x) {
  if (std::isfinite(x)) return QMXWriteShortest(first, x);
  const char* text = std::isnan(x) ? "NA" : x > 0 ? "Inf" : "-Inf";
  const std::size_t length = std::strlen(text);
  std::memcpy(first, text, length);
  return first + length;
}

void QMXAppendCsvNumber(std::string& out, double x) {
  char text[kQMXNumberTextBytes];
  out.append(text, QMXWriteCsvNumber(text, x));
}

std::string QMXCsvNumberText(double x) {
  char text[kQMXNumberTextBytes];
  return std::string(text, QMXWriteCsvNumber(text, x));
}
