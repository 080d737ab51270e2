#include "context/Frame.h"

#include "engine/display/GameDraw.h"
#include "engine/gfx/Canvas.h"
#include "engine/sprite/Sprite.h"

bool TFrame::CanDraw() const {
    return !LeftOut && m_draw.CanDraw();
}

TDirectDrawSurface* TFrame::Surface() {
    return m_draw.Surface();
}

bool TFrame::DrawFrame(int lagCount, bool move) {
    if (LeftOut) {
        return false;
    }
    if (!m_draw.CanDraw()) {
        if (MovesWithoutDisplay && move) {
            m_sprites.Move(lagCount);
        }
        return false;
    }
    // Either the fill or an opaque background paints every pixel: a frame that repeats the last
    // one can be left out.
    m_draw.BeginFrame();
    // An opaque background over the whole surface paints every pixel the fill would: the fill is
    // then left out. Should the move take that background away, the fill comes after all.
    TSpriteEngine& tree = m_sprites.Engine();
    const bool filled = !tree.DrawCoversViewport();
    if (filled) {
        m_draw.Surface()->Fill(0);
    }
    if (move) {
        m_sprites.Move(lagCount);
    }
    if (!filled && !tree.DrawCoversViewport()) {
        m_draw.Surface()->Fill(0);
    }
    m_sprites.Draw();
    return true;
}

void TFrame::PresentFrame() {
    if (!CanDraw()) {
        return;
    }
    if (BeforePresent) {
        BeforePresent();
    }
    if (m_draw.Surface()->HasCanvas()) {
        m_draw.Surface()->Canvas().Release();
    }
    m_draw.Flip();
}
