// Replays the seed corpora and fixed crashers of the scoring library's fuzz targets through
// the targets' own entry points (compiled in under other names).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "VTTestSupport.h"

extern "C" int vtStreamFuzz(const uint8_t* data, size_t size);
extern "C" int vtCsvFuzz(const uint8_t* data, size_t size);
extern "C" int vtPackageFuzz(const uint8_t* data, size_t size);

namespace {
int replay(const std::string& target, int (*entry)(const uint8_t*, size_t)) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(QMX_FUZZ_CORPUS_DIR "/" + target)) {
    std::string text = vttest::readText(e.path().string());
    EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0) << e.path();
    ++files;
  }
  return files;
}
}  // namespace

TEST(VTFuzzCorpus, StreamAndCsvCorporaReplayCleanly) {
  EXPECT_GE(replay("VTStreamFuzz", vtStreamFuzz), 10);
  EXPECT_GE(replay("VTCsvFuzz", vtCsvFuzz), 7);
  EXPECT_GE(replay("VTPackageFuzz", vtPackageFuzz), 5);
}
