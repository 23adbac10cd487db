#include "qmxmisc/model/XmlText.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence at `at` when it is well formed and names a character XML
// allows (no surrogates, no overlong forms, not U+FFFE or U+FFFF), else 0. ASCII counts here.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(k) & 0x3F);
  }
  const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (code < smallest || code > 0x10FFFF) return 0;
  if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) return 0;
  return length;
}

bool isControl(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

std::string hexByte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(c));
  return text;
}

}  // namespace

std::string xmlTextProblem(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (isControl(c))
      return "the control character 0x" + hexByte(c) + " at byte " + std::to_string(at + 1);
    const std::size_t length = sequenceLength(text, at);
    if (length == 0) return "invalid UTF-8 at byte " + std::to_string(at + 1);
    at += length;
  }
  return {};
}

std::string xmlTextShown(std::string_view text) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length =
        isControl(c) || c == '\t' || c == '\n' || c == '\r' ? 0 : sequenceLength(text, at);
    if (length == 0) {
      shown += "\\x" + hexByte(c);
      ++at;
      continue;
    }
    shown.append(text.substr(at, length));
    at += length;
  }
  return shown;
}
