#include "app/Messages.h"
#include "context/DataNames.h"

#include "app/Backdrop.h"
#include "app/EndOfRace.h"
#include "app/MenuQuestions.h"
#include "app/Overlay.h"
#include "app/RaceNotices.h"
#include "app/Seat.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/InterfaceSprites.h"
#include "engine/sprite/Sprite.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

namespace {
// The window is centred on its overlay's centre line, and on this height.
constexpr int kWindowMiddleY = 300;
constexpr int kWindowZ = 5;
// In a race the HUD panels stay as they are: only the river and its banks between them dim.
constexpr TRect kRaceField{127, 0, 661, kScreenHeight};
constexpr TRect kWholeScreen{0, 0, kScreenWidth, kScreenHeight};

std::unique_ptr<TOverlay> MakeOverlay(TMessageMode mode, const TSeat& seat, TMessages& messages) {
    switch (mode) {
    case msgNone:
        return nullptr;
    case msgLevel:
        return std::make_unique<TLevelBanner>(seat, messages);
    case msgPause:
        return std::make_unique<TPauseNotice>(seat, messages);
    case msgTimeOver:
        return std::make_unique<TTimeOverNotice>(seat, messages);
    case msgFinishRace:
        return std::make_unique<TFinishRaceQuestion>(seat, messages);
    case msgEnterName:
        return std::make_unique<TNameEntry>(seat, messages);
    case msgSendResult:
        return std::make_unique<TSendQuestion>(seat, messages);
    case msgSending:
        return nullptr; // made by the constructor
    case msgGameOver:
        return std::make_unique<TGameOverNotice>(seat, messages);
    case msgExitGame:
        return std::make_unique<TExitQuestion>(seat, messages);
    case msgClearTable:
        return std::make_unique<TClearTableQuestion>(seat, messages);
    }
    return nullptr;
}
} // namespace

TMessages::TMessages(const TSeat& seat, TMessageMode& messageMode)
    : m_seat(seat), m_messageMode(messageMode), m_endOfRace(std::make_unique<TEndOfRace>(seat, *this)) {
    for (size_t mode = 0; mode < kModes; ++mode) {
        if (mode == msgSending) {
            // Kept by its own type too: the end of the race hands it the request's outcome.
            auto sending = std::make_unique<TSendingNotice>(seat, *this);
            m_sending = sending.get();
            m_overlays[mode] = std::move(sending);
            continue;
        }
        m_overlays[mode] = MakeOverlay(static_cast<TMessageMode>(mode), seat, *this);
    }
}

TMessages::~TMessages() = default;

TSendingNotice& TMessages::Sending() {
    return *m_sending;
}

void TMessages::OpenMessage(TMessageMode mode) {
    m_seat.Context.Audio().StopSound(SoundName::Shot);
    const TMessageMode openedOver = m_messageMode;
    if (m_messageMode != msgNone) {
        CloseMessage();
    }
    m_openedOver = openedOver;
    m_messageMode = mode;
    if (mode == msgNone) {
        return;
    }
    TOverlay& overlay = Overlay(mode);
    if (!overlay.IsNotice()) {
        OverlayWindow = new TCaptionSprite(m_seat.Context, PictureName::Window);
        OverlayWindow->X = overlay.CentreX() - OverlayWindow->Width / 2;
        OverlayWindow->Y = kWindowMiddleY - OverlayWindow->Height / 2;
        OverlayWindow->SetZ(kWindowZ);
        // At the window's depth and made after it, so drawn just before it.
        Backdrop =
            new TBackdropShade(&m_seat.Context.MSpriteEngine().Engine(),
                               m_seat.Context.TickView().GameScreen == gsRace ? kRaceField : kWholeScreen);
        Backdrop->SetZ(kWindowZ);
    }
    overlay.Open();
}

void TMessages::CloseMessage() {
    const TMessageMode mode = m_messageMode;
    // Closing anything during a race lets the engine run again, and the gun if fire is still held.
    if (m_seat.Context.TickView().GameScreen == gsRace) {
        m_seat.Context.Audio().PlaySound(SoundName::Engine);
        const TMyCarSprite* boat = m_seat.Race.PlayerBoat;
        if (boat && boat->Firing && boat->HasGun && mode != msgNone && Overlay(mode).ResumesFire()) {
            m_seat.Context.Audio().PlaySound(SoundName::Shot);
        }
    }
    if (mode == msgNone) {
        return;
    }
    TOverlay& overlay = Overlay(mode);
    overlay.Close();
    if (!overlay.IsNotice()) {
        delete OverlayWindow;
        OverlayWindow = nullptr;
        delete Backdrop;
        Backdrop = nullptr;
    }
    m_messageMode = msgNone;
    overlay.AfterClose();
}

bool TMessages::TimerStep() {
    if (MessageTimer > 0) {
        MessageTimer -= m_seat.Context.TickView().TickMs;
        return false;
    }
    CloseMessage();
    return true;
}

void TMessages::DrawMessages(int lagCount) {
    m_seat.Context.Frame().DrawFrame(lagCount, false);
    if (m_seat.Context.TickView().GameScreen == gsRace) {
        TRace& race = m_seat.Race;
        race.DrawSpeedNeedle();
        if (!race.PlayerBoat || !race.PlayerBoat->HasGun) {
            m_seat.Context.Audio().StopSound(SoundName::Shot);
        }
    }
    const TMessageMode mode = m_seat.Context.TickView().MessageMode;
    if (mode != msgNone) {
        Overlay(mode).Draw(lagCount);
    }
}

void TMessages::AnswerMessage() {
    const TMessageMode mode = m_seat.Context.TickView().MessageMode;
    if (mode != msgNone) {
        Overlay(mode).Answer();
    }
}

void TMessages::TypeKey(char key) {
    const TMessageMode mode = m_seat.Context.TickView().MessageMode;
    if (mode != msgNone) {
        Overlay(mode).TypeKey(key);
    }
}

bool TMessages::RaceStepUnderWay() const {
    const TMessageMode mode = m_seat.Context.TickView().MessageMode;
    return mode != msgNone && Overlay(mode).IsRaceStep();
}
