// Texts of the tests' data tables: a line split at its separators, a file read whole.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The parts of `text` between its separators, empty ones kept (n separators: n + 1 parts).
inline std::vector<std::string> splitText(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = text.find(separator, at)) != std::string::npos;
       at = next + separator.size())
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

inline std::vector<std::string> splitText(const std::string& text, char separator) {
  return splitText(text, std::string(1, separator));
}

// The bytes of the file at `path`; a test failure when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
