// The distinct texts of a column, numbered in the order first seen, each with how often it
// was seen: an open-addressing hash table over short texts (most CSV fields are a few bytes)
// that looks a field up without building a std::string and without a division.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class QMXCsvDistinctTexts {
 public:
  static constexpr std::uint32_t kNone = 0xFFFF'FFFF;

  std::size_t size() const { return texts_.size(); }
  const std::vector<std::string>& texts() const { return texts_; }
  const std::vector<std::int64_t>& counts() const { return counts_; }

  // The number of `text` after counting it once more; kNone (and not counted) when new.
  std::uint32_t count(std::string_view text) {
    if (slots_.empty()) return kNone;
    const std::uint64_t hash = hashOf(text);
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const std::uint32_t slot = slots_[at];
      if (slot == 0) return kNone;
      const std::uint32_t idx = slot - 1;
      if (hashes_[idx] == hash && same(texts_[idx], text)) {
        ++counts_[idx];
        return idx;
      }
    }
  }

  // Adds `text` (not there yet), seen once; returns its number.
  std::uint32_t add(std::string_view text) {
    if (2 * (texts_.size() + 1) > slots_.size()) grow();
    const auto idx = static_cast<std::uint32_t>(texts_.size());
    texts_.emplace_back(text);
    counts_.push_back(1);
    hashes_.push_back(hashOf(text));
    place(idx);
    return idx;
  }

 private:
  // Byte by byte: the texts are short, and equal but for a hash collision.
  static bool same(const std::string& kept, std::string_view text) {
    if (kept.size() != text.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
      if (kept[k] != text[k]) return false;
    return true;
  }

  static std::uint64_t hashOf(std::string_view text) {
    constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15;
    std::uint64_t hash = text.size() * kMultiplier;
    const char* p = text.data();
    std::size_t left = text.size();
    for (; left >= 8; left -= 8, p += 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      hash = (hash ^ word) * kMultiplier;
      hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    for (std::size_t k = 0; k < left; ++k)
      tail |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    hash = (hash ^ tail) * kMultiplier;
    return hash ^ (hash >> 32);
  }

  void place(std::uint32_t idx) {
    std::size_t at = hashes_[idx] & mask_;
    while (slots_[at] != 0)
      at = (at + 1) & mask_;
    slots_[at] = idx + 1;
  }

  void grow() {
    slots_.assign(slots_.empty() ? 16 : 2 * slots_.size(), 0);
    mask_ = slots_.size() - 1;
    for (std::uint32_t idx = 0; idx < texts_.size(); ++idx)
      place(idx);
  }

  std::vector<std::string> texts_;  // by number
  std::vector<std::int64_t> counts_;
  std::vector<std::uint64_t> hashes_;
  std::vector<std::uint32_t> slots_;  // number + 1; 0: empty
  std::size_t mask_ = 0;
};
