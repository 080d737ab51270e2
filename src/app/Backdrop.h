#pragma once

#include "engine/gfx/Rect.h"
#include "engine/sprite/Sprite.h"

// What lies behind a question, dimmed, so the question stands out: drawn just before the
// question's window. It takes no part in the sprites' moves and scans.
class TBackdropShade : public TSprite {
  public:
    TBackdropShade(TSprite* parent, const TRect& area);
    void Render() override;
};
