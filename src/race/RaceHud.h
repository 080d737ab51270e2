#pragma once

#include <array>
#include <cstdint>
#include <string>

class TMyCarSprite;

// The speed dial's centre, where the needle turns: on the right panel, its rim clear of the
// screen's bottom edge.
inline constexpr int kSpeedDialX = 745;
inline constexpr int kSpeedDialY = 558;

// One read-out of the left panel: font slot, text and its left/top corner.
struct THudText {
    int Font = 0;
    std::string Text;
    int X = 0;
    int Y = 0;
};

// Level, score, the four clock digits with their ":" and the lives, as drawn on the left panel.
std::array<THudText, 8> RaceHudTexts(int32_t level, int32_t score, int32_t timeLeftMs, int32_t lives);

// What the power-up window shows: the held power-up with the least time left (on a tie the
// later of gun, engine, shield), or none. A power-up dropped in this tick's move still has its
// old counter until the race tick resets it, which can keep every held one from winning: the
// window then stays as it was for that frame.
struct TPowerUpIndicator {
    static constexpr int kNone = 3;
    static constexpr int kUnchanged = -1;
    int Shown = kNone; // a TPowerUp, kNone, or kUnchanged
    THudText Seconds;  // empty text unless a power-up is shown
};
TPowerUpIndicator PowerUpIndicator(const TMyCarSprite& boat);
