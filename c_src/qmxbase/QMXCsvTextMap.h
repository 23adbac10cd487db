// A hash map keyed by text that can be searched with a std::string_view without building
// a std::string, so looking up CSV fields allocates nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

struct QMXCsvTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

template <typename Value>
using QMXCsvTextMap = std::unordered_map<std::string, Value, QMXCsvTextHash, std::equal_to<>>;
