#include "app/RaceNotices.h"
#include "context/DataNames.h"

#include "app/Messages.h"
#include "app/Seat.h"
#include "context/GameAudio.h"
#include "race/Race.h"

#include <string>

namespace {
constexpr int kLevelBannerMs = 2000;
constexpr int kTimeOverMs = 3000;
} // namespace

void TLevelBanner::Open() {
    m_messages.MessageTimer = kLevelBannerMs;
}

void TLevelBanner::Draw(int) {
    CentredText(kNoticeFont, "Level " + std::to_string(m_seat.Race.Level), 268);
    m_messages.TimerStep();
}

void TPauseNotice::Open() {
    m_seat.Context.Audio().StopSound(SoundName::Engine);
}

void TPauseNotice::Draw(int) {
    CentredText(kNoticeFont, "Pause", 268);
    const TTickView& view = m_seat.Context.TickView();
    if (view.PausePressed || view.EscPressed) {
        m_messages.CloseMessage();
    }
}

void TTimeOverNotice::Open() {
    m_seat.Context.Audio().PlaySound(SoundName::TimeOver);
    m_messages.MessageTimer = kTimeOverMs;
}

void TTimeOverNotice::Draw(int lagCount) {
    CentredText(kNoticeFont, "Your time is over.", 249);
    CentredText(kNoticeFont, "Try again, please!", 307);
    if (m_messages.TimerStep()) {
        m_seat.Race.OnTimeOverEnded();
    }
    m_seat.Race.AnimateExplosions(lagCount);
}
