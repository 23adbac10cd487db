// What a model document can carry as text: well-formed UTF-8 without control characters other
// than TAB, LF and CR (which the writers put as character references, so that attribute
// normalization leaves them alone and the reader gives them back exactly).
#pragma once

#include <string>
#include <string_view>

// Empty when XML 1.0 can carry `text`; otherwise what is wrong, as "the control character
// 0x01 at byte 3" or "invalid UTF-8 at byte 2".
std::string xmlTextProblem(std::string_view text);

// `text` as it may be quoted in a message: control characters and bytes of invalid UTF-8 as
// \xHH.
std::string xmlTextShown(std::string_view text);
