#include "qmxmisc/numeric/RandomGenerator.h"

#include <bit>
#include <cmath>

void RandomGenerator::seed(std::uint32_t s) {
  for (auto& word : state_) {
    s = s * kSeedMultiplier - 1u;
    word = s;
  }
  position_ = kStateWords;
}

// The twist of the whole state (the generation step of the Mersenne twister).
void RandomGenerator::regenerate() {
  auto twist = [](std::uint32_t upperWord, std::uint32_t lowerWord, std::uint32_t middle) {
    const std::uint32_t y = (upperWord & kUpperMask) | (lowerWord & kLowerMask);
    return middle ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrix : 0u);
  };
  int k = 0;
  for (; k < kStateWords - kMiddleOffset; ++k) {
    state_[k] = twist(state_[k], state_[k + 1], state_[k + kMiddleOffset]);
  }
  for (; k < kStateWords - 1; ++k) {
    state_[k] = twist(state_[k], state_[k + 1], state_[k + kMiddleOffset - kStateWords]);
  }
  state_[kStateWords - 1] = twist(state_[kStateWords - 1], state_[0], state_[kMiddleOffset - 1]);
  position_ = 0;
}

std::uint32_t RandomGenerator::nextUInt32() {
  if (position_ >= kStateWords) regenerate();
  std::uint32_t y = state_[position_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x655E5280u;
  y ^= (y << 15) & 0xFFD58000u;
  y ^= y >> 17;
  return y;
}

double RandomGenerator::nextUniform() {
  // 1.x with the draw in the 32 high bits of the 52-bit mantissa, minus 1.0.
  const std::uint64_t bits =
      0x3FF0000000000000ull | (static_cast<std::uint64_t>(nextUInt32()) << 20);
  return std::bit_cast<double>(bits) - 1.0;
}

std::int32_t RandomGenerator::nextInt(std::int32_t lo, std::int32_t hi) {
  if (hi < lo) return kBadRange;
  const double span = static_cast<double>(hi) - static_cast<double>(lo) + 1.0;
  const double value = static_cast<double>(lo) + std::floor(nextUniform() * span);
  return value > static_cast<double>(hi) ? hi : static_cast<std::int32_t>(value);
}
