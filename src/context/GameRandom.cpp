#include "context/GameRandom.h"

void TGameRandom::Seed(uint64_t seed) {
    m_state = 0;
    Next();
    m_state += seed;
    Next();
}

uint32_t TGameRandom::Next() {
    const uint64_t old = m_state;
    m_state = old * kMultiplier + kIncrement;
    const auto xorShifted = static_cast<uint32_t>(((old >> 18U) ^ old) >> 27U);
    const auto rotation = static_cast<uint32_t>(old >> 59U);
    return (xorShifted >> rotation) | (xorShifted << ((32U - rotation) & 31U));
}

int32_t TGameRandom::Random(int32_t range) {
    if (range <= 0) {
        return 0;
    }
    // Rejection keeps every value equally likely: draws below 2^32 mod range would favour the
    // low values and are thrown away (at most range in 2^32 draws).
    const auto bound = static_cast<uint32_t>(range);
    const uint32_t threshold = (0U - bound) % bound;
    for (;;) {
        const uint32_t r = Next();
        if (r >= threshold) {
            return static_cast<int32_t>(r % bound);
        }
    }
}

double TGameRandom::RandomFloat() {
    return static_cast<double>(Next() >> 8U) * (1.0 / 16777216.0);
}
