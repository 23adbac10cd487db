// RandomGenerator: the library's pseudo-random generator, a 32-bit Mersenne-twister-type
// generator (Matsumoto and Nishimura's recurrence) with 351 state words.
//
// Parameters: state length 351, middle word offset 175, 19 lower bits (mask 0x7FFFF) taken
// from the next word, twist matrix 0xEABD75F5, tempering y ^= y>>11; y ^= (y<<7) &
// 0x655E5280; y ^= (y<<15) & 0xFFD58000; y ^= y>>17. The sequence for a seed is fixed: models
// that sample rows reproduce their fits from the seed.
#pragma once

#include <array>
#include <cstdint>

class RandomGenerator {
 public:
  static constexpr int kStateWords = 351;
  static constexpr int kMiddleOffset = 175;
  static constexpr std::uint32_t kLowerMask = 0x7FFFFu;
  static constexpr std::uint32_t kUpperMask = ~kLowerMask;
  static constexpr std::uint32_t kMatrix = 0xEABD75F5u;
  static constexpr std::uint32_t kSeedMultiplier = 29943829u;
  // nextInt's answer when hi < lo.
  static constexpr std::int32_t kBadRange = INT32_MIN;  // 0x80000000

  RandomGenerator() { seed(0); }
  explicit RandomGenerator(std::uint32_t s) { seed(s); }
  virtual ~RandomGenerator() = default;

  // Fills the state by stepping s = s*29943829 - 1 (mod 2^32) and storing each of the 351
  // results in turn; the next draw regenerates the whole state.
  void seed(std::uint32_t s);
  std::uint32_t nextUInt32();
  // A double in [0, 1) whose 32 high mantissa bits are the next nextUInt32() value.
  double nextUniform();
  // lo + floor(nextUniform() * (hi - lo + 1)), capped at hi; kBadRange when hi < lo.
  std::int32_t nextInt(std::int32_t lo, std::int32_t hi);

 private:
  void regenerate();

  std::array<std::uint32_t, kStateWords> state_{};
  int position_ = kStateWords;
};
