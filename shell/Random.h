#pragma once
// The game's one generator: PCG32 (64-bit state, 32-bit output). Draws are built from the
// top 24 bits so that a float draw can never round up to 1.
#include <cstdint>

#include "shell/Platform.h"

namespace tb {

// PCG32 as a RandomSource: the game's generator, and each driver's own.
class Pcg32 final : public RandomSource {
 public:
  // Seeded at once; with `seedFixed`, Randomize leaves the seed alone.
  explicit Pcg32(uint64_t seed = 0, bool seedFixed = false) : fixed_(seedFixed) { Seed(seed); }
  // Starts the sequence of this seed afresh.
  void Seed(uint64_t seed) {
    seed_ = seed;
    state_ = 0;
    Next();
    state_ += seed;
    Next();
  }
  // Seeds from the clock reading in milliseconds, unless the seed is fixed.
  void Randomize(float clockNow) override {
    if (!fixed_) Seed(static_cast<uint64_t>(static_cast<double>(clockNow) * 1000.0));
  }
  // The next 32-bit output.
  uint32_t Next() {
    uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + kInc;
    uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
    uint32_t rot = static_cast<uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
  }
  // The seed of the latest seeding, so that other generators can be derived from it.
  uint64_t SeedValue() const { return seed_; }
  // The RandomSource interface: a draw, and the state to save and restore.
  float Draw() override { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
  uint64_t SaveState() const override { return state_; }
  void RestoreState(uint64_t state) override { state_ = state; }

 private:
  // The stream increment, fixed: the state alone says where the sequence stands.
  static constexpr uint64_t kInc = 1442695040888963407ULL;
  uint64_t state_ = 0;
  uint64_t seed_ = 0;
  bool fixed_;
};

}  // namespace tb
