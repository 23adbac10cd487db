// Replays every file of the ModelFormulaFuzz seed corpus (formulas of every shape and fixed
// crashers) through the fuzz target's entry, so a fixed crash stays fixed.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "support/FuzzCorpus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(ModelFormulaFuzz, ReplaysTheCorpus) {
  EXPECT_GE(qmxtest::replayFuzzCorpus("ModelFormulaFuzz", LLVMFuzzerTestOneInput), 10);
}
