// Replays every file of the ModelFormulaFuzz seed corpus (formulas of every shape and fixed
// crashers) through the fuzz target's entry, so a fixed crash stays fixed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(ModelFormulaFuzz, ReplaysTheCorpus) {
  const std::filesystem::path corpus =
      std::filesystem::path(QMX_TEST_SOURCE_DIR) / "tests/fuzz-corpus/ModelFormulaFuzz";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        0);
    ++replayed;
  }
  EXPECT_GE(replayed, 10);
}
