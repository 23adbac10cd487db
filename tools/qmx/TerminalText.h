// Text from data files (column names, factor levels, proc messages quoting them) made safe
// to print on a terminal, as R's print shows strings: control bytes as \n, \r, \t or octal
// \033, DEL as \177, C1 controls as \u0080..\u009f, and bytes that are not UTF-8 as \xff.
// Valid UTF-8 passes through unchanged.
#pragma once

#include <string>
#include <string_view>

#include "qmxmisc/base/DisplayWidth.h"  // displayWidth, for the texts made here

// `keepLineEnds`: '\n' and '\t' stay as they are (multi-line texts such as summaries).
std::string terminalText(std::string_view text, bool keepLineEnds = false);
