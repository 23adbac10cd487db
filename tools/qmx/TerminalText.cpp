#include "TerminalText.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence starting at `at` (2 to 4), or 0 when it is not one.
std::size_t utf8Length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned minimum = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  unsigned code = lead & (0x7fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xc0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3f);
  }
  if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

}  // namespace

std::string terminalText(std::string_view text, bool keepLineEnds) {
  std::string out;
  out.reserve(text.size());
  char escape[8];
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7f) {
      out += text[at++];
      continue;
    }
    if (byte == '\n' || byte == '\t') {
      out += keepLineEnds ? std::string(1, text[at]) : (byte == '\n' ? "\\n" : "\\t");
      ++at;
      continue;
    }
    if (byte == '\r') {
      out += "\\r";
      ++at;
      continue;
    }
    if (byte < 0x80) {  // the other C0 controls and DEL
      std::snprintf(escape, sizeof escape, "\\%03o", byte);
      out += escape;
      ++at;
      continue;
    }
    const std::size_t length = utf8Length(text, at);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
      ++at;
    } else if (length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[at + 1]));
      out += escape;
      at += 2;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}
