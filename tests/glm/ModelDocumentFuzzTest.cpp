// Replays every file of the ModelDocumentFuzz seed corpus (valid documents, broken ones and
// fixed crashers) through the fuzz target's entry, so a fixed crash stays fixed in the
// ordinary suite.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(ModelDocumentFuzz, ReplaysTheCorpus) {
  const std::filesystem::path corpus =
      std::filesystem::path(QMX_TEST_SOURCE_DIR) / "tests/fuzz-corpus/ModelDocumentFuzz";
  ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        0);
    ++replayed;
  }
  EXPECT_GE(replayed, 5);
}
