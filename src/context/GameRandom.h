#pragma once

#include <cstdint>
#include <random>

// The one random generator of a game, seedable so a test can replay a race exactly.
class TGameRandom {
  public:
    void Seed(uint32_t seed) { m_engine.seed(seed); }
    // 0 <= result < range (0 when range <= 0).
    int32_t Random(int32_t range);
    // 0 <= result < 1.
    double RandomFloat();

  private:
    std::mt19937 m_engine;
};
