#include "qmxmisc/base/DisplayWidth.h"

#include <initializer_list>
#include <utility>

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
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

namespace {

// The code point of the valid UTF-8 sequence of `length` bytes at `at`.
unsigned codePoint(std::string_view text, std::size_t at, std::size_t length) {
  unsigned code = static_cast<unsigned char>(text[at]) & (0x7fu >> length);
  for (std::size_t i = 1; i < length; ++i)
    code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3f);
  return code;
}

bool within(unsigned code, std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  for (const auto& [first, last] : ranges)
    if (code >= first && code <= last) return true;
  return false;
}

// Unicode's East Asian Wide and Fullwidth blocks and the combining marks, as terminals draw them.
std::size_t columnsOf(unsigned code) {
  if (within(code, {{0x0300, 0x036f},
                    {0x1ab0, 0x1aff},
                    {0x1dc0, 0x1dff},
                    {0x200b, 0x200f},
                    {0x20d0, 0x20ff},
                    {0xfe00, 0xfe0f},
                    {0xfe20, 0xfe2f}}))
    return 0;
  if (within(code, {{0x1100, 0x115f},
                    {0x2e80, 0x303e},
                    {0x3041, 0x33ff},
                    {0x3400, 0x4dbf},
                    {0x4e00, 0x9fff},
                    {0xa000, 0xa4cf},
                    {0xac00, 0xd7a3},
                    {0xf900, 0xfaff},
                    {0xfe30, 0xfe4f},
                    {0xff00, 0xff60},
                    {0xffe0, 0xffe6},
                    {0x1f300, 0x1f64f},
                    {0x1f900, 0x1f9ff},
                    {0x20000, 0x2fffd},
                    {0x30000, 0x3fffd}}))
    return 2;
  return 1;
}

}  // namespace

std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length =
        static_cast<unsigned char>(text[at]) < 0x80 ? 0 : utf8SequenceLength(text, at);
    width += length == 0 ? 1 : columnsOf(codePoint(text, at, length));
    at += length == 0 ? 1 : length;
  }
  return width;
}
