#include "engine/display/GameImageList.h"

#include "engine/display/GameDraw.h"

TGameImageList::TGameImageList(TGameDraw* gameDraw) {
    SetGameDraw(gameDraw);
}

TGameImageList::~TGameImageList() {
    SetGameDraw(nullptr);
}

void TGameImageList::SetGameDraw(TGameDraw* gameDraw) {
    if (gameDraw == m_gameDraw)
        return;
    if (m_gameDraw) {
        m_gameDraw->RemoveNotification(this);
        Items.Finalize();
    }
    m_gameDraw = gameDraw;
    if (!m_gameDraw)
        return;
    m_gameDraw->RegisterNotification(this, [this](TGameDraw& draw, TDrawNotifyKind kind) {
        switch (kind) {
        case TDrawNotifyKind::Initialize:
            Items.Initialize(draw.Initialized());
            break;
        case TDrawNotifyKind::Finalize:
            Items.Finalize();
            break;
        case TDrawNotifyKind::Restore:
            Items.Restore();
            break;
        case TDrawNotifyKind::Destroying:
            // The display is going away: forget it without calling back into it.
            Items.Finalize();
            m_gameDraw = nullptr;
            break;
        default:
            break;
        }
    });
    // Joining a display that already runs: build the surfaces now rather than at its next mode switch.
    if (m_gameDraw->Initialized()) {
        Items.Initialize(m_gameDraw->Initialized());
        Items.Restore();
    }
}
