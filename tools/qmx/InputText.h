// A whole input document (a fitted model, a property value given as @PATH) read into memory:
// "-" is standard input, and gzip-compressed files are decompressed (QMXSeekablePath).
#pragma once

#include <string>

// Throws CommandError "cannot read <what> <path>: <reason>".
std::string readInputText(const std::string& path, const std::string& what);
