// JsonText: the pieces of the JSON summaries the model kinds print: a number (15 significant
// digits, as the documents print them; NaN and infinities as null) and a quoted string.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

inline std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

inline std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}
