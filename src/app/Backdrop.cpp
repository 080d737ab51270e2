#include "app/Backdrop.h"

#include "engine/gfx/Draw.h"

namespace {
// A dark navy at a little under half strength: the picture behind stays recognisable.
constexpr uint16_t kShadeColor = (1 << 11) | (5 << 5) | 6;
constexpr uint8_t kShadeAmount = 120;
} // namespace

TBackdropShade::TBackdropShade(TSprite* parent, const TRect& area) : TSprite(parent) {
    X = area.Left;
    Y = area.Top;
    Width = area.Width();
    Height = area.Height();
    Collidable = false;
    Movable = false;
}

void TBackdropShade::Render() {
    if (Engine() && Engine()->Surface()) {
        ShadeRect(*Engine()->Surface(), Bounds(static_cast<int>(X), static_cast<int>(Y), Width, Height),
                  kShadeColor, kShadeAmount);
    }
}
