#pragma once

#include <cstdint>

// The game's random generator: PCG32 (XSH RR output of a 64-bit linear congruential state), with
// its own integer-range and float derivations. The standard library's distributions differ
// between library versions; a race must come out the same from the same seed wherever it is
// re-run, so every step here is defined by this code alone.
class TGameRandom {
  public:
    void Seed(uint64_t seed);
    // The next 32 raw bits.
    uint32_t Next();
    // 0 <= result < range (0 when range <= 0), every value equally likely.
    int32_t Random(int32_t range);
    // 0 <= result < 1, in steps of 2^-24.
    double RandomFloat();

  private:
    static constexpr uint64_t kMultiplier = 6364136223846793005ULL;
    static constexpr uint64_t kIncrement = 1442695040888963407ULL;
    uint64_t m_state = 0;
};
