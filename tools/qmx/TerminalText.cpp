#include "TerminalText.h"

#include "qmxmisc/base/DisplayWidth.h"

#include <cstdio>

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
    const std::size_t length = utf8SequenceLength(text, at);
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
