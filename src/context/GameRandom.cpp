#include "context/GameRandom.h"

int32_t TGameRandom::Random(int32_t range) {
    if (range <= 0) {
        return 0;
    }
    return static_cast<int32_t>(std::uniform_int_distribution<int32_t>(0, range - 1)(m_engine));
}

double TGameRandom::RandomFloat() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
}
