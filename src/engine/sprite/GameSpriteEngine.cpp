#include "engine/display/GameDraw.h"
#include "engine/sprite/Sprite.h"

TGameSpriteEngine::TGameSpriteEngine(TGameDraw* gameDraw) : m_engine(std::make_unique<TSpriteEngine>()) {
    SetGameDraw(gameDraw);
}

TGameSpriteEngine::~TGameSpriteEngine() {
    SetGameDraw(nullptr);
}

void TGameSpriteEngine::SetGameDraw(TGameDraw* gameDraw) {
    if (gameDraw == m_gameDraw)
        return;
    if (m_gameDraw) {
        m_gameDraw->RemoveNotification(this);
        m_engine->SetSurface(nullptr);
    }
    m_gameDraw = gameDraw;
    if (!m_gameDraw)
        return;
    m_gameDraw->RegisterNotification(this, [this](TGameDraw& draw, TDrawNotifyKind kind) {
        switch (kind) {
        case TDrawNotifyKind::Initialize:
            m_engine->SetSurface(draw.Surface());
            break;
        case TDrawNotifyKind::Finalize:
            m_engine->SetSurface(nullptr);
            break;
        case TDrawNotifyKind::Destroying:
            m_engine->SetSurface(nullptr);
            m_gameDraw = nullptr;
            break;
        default:
            break;
        }
    });
    if (m_gameDraw->Initialized())
        m_engine->SetSurface(m_gameDraw->Surface());
}

void TGameSpriteEngine::Move(int moveCount) {
    m_engine->Move(moveCount);
}

void TGameSpriteEngine::Draw() {
    if (m_gameDraw && m_gameDraw->Initialized() && m_engine->Surface())
        m_engine->Draw();
}
