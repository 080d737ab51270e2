#include "context/Frame.h"

#include "engine/display/GameDraw.h"
#include "engine/gfx/Canvas.h"
#include "engine/sprite/Sprite.h"

bool TFrame::CanDraw() const {
    return m_draw.CanDraw();
}

TDirectDrawSurface* TFrame::Surface() {
    return m_draw.Surface();
}

bool TFrame::DrawFrame(int lagCount, bool move) {
    if (!m_draw.CanDraw()) {
        return false;
    }
    m_draw.Surface()->Fill(0);
    if (move) {
        m_sprites.Move(lagCount);
    }
    m_sprites.Draw();
    return true;
}

void TFrame::PresentFrame() {
    if (!m_draw.CanDraw()) {
        return;
    }
    if (m_draw.Surface()->HasCanvas()) {
        m_draw.Surface()->Canvas().Release();
    }
    m_draw.Flip();
}
