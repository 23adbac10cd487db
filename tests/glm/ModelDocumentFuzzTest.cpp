// Replays every file of the ModelDocumentFuzz seed corpus (valid documents, broken ones and
// fixed crashers) through the fuzz target's entry, so a fixed crash stays fixed in the
// ordinary suite.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "support/FuzzCorpus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(ModelDocumentFuzz, ReplaysTheCorpus) {
  EXPECT_GE(qmxtest::replayFuzzCorpus("ModelDocumentFuzz", LLVMFuzzerTestOneInput), 5);
}
