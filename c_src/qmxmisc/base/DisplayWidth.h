// The width of a text on a terminal, as R pads a column of names or levels when it prints a
// table: a wide East Asian character takes two columns, a combining mark none, any other
// character one (bytes that are not UTF-8: one each).
#pragma once

#include <cstddef>
#include <string_view>

// The length of the UTF-8 sequence starting at byte `at` of `text` (2 to 4), or 0 when no
// valid multi-byte sequence (no overlong form, no surrogate) starts there.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

std::size_t displayWidth(std::string_view text);
