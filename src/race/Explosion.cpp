#include "race/Explosion.h"

#include "engine/gfx/ImageList.h"
#include "race/Race.h"

TExplosion::TExplosion(TRace& race, std::string_view pictureName, double x, double y)
    : TImageSprite(&race.Root()) {
    Image = &race.Picture(pictureName);
    Width = Image->Width();
    Height = Image->Height();
    X = x;
    Y = y;
    SetZ(4);
    Visible = false;
    FramePos = 0;
    FrameCount = Image->PatternCount();
    Looping = true;
    FrameSpeed = race.TickMs() / 1000.0 * kBlastFramesPerSecond;
}

void TExplosion::Step(int moveCount) {
    TImageSprite::Step(moveCount);
}
