// FuzzCorpus: replays every file of a fuzz target's seed corpus (tests/fuzz-corpus/<target>/)
// through the target's entry, so a fixed crash stays fixed in the ordinary suite.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qmxtest {

// Each file must give 0 from `entry`; returns the number of files replayed.
inline int replayFuzzCorpus(const std::string& target,
                            int (*entry)(const std::uint8_t*, std::size_t)) {
  const std::filesystem::path corpus =
      std::filesystem::path(QMX_TEST_SOURCE_DIR) / "tests/fuzz-corpus" / target;
  EXPECT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(corpus)) {
    if (!file.is_regular_file()) continue;
    std::ifstream in(file.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0)
        << file.path().filename().string();
    ++replayed;
  }
  return replayed;
}

}  // namespace qmxtest
