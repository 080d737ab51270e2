#pragma once

#include "engine/sprite/Sprite.h"

#include <string_view>

class TRace;

// Explosions play 15 frames per second of game time, whatever the tick length.
constexpr double kBlastFramesPerSecond = 15;

// A looping animation: the wrecked boat's blast, and hidden frame clocks whose FramePos
// other sprites borrow for their own animated pictures.
class TExplosion : public TImageSprite {
  public:
    TExplosion(TRace& race, std::string_view pictureName, double x, double y);

    void Step(int moveCount) override;
};
