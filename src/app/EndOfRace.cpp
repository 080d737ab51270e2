#include "app/EndOfRace.h"
#include "context/DataNames.h"

#include "app/Messages.h"
#include "app/RaceReplays.h"
#include "app/Screens.h"
#include "app/Seat.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "menus/HighScores.h"
#include "menus/Menus.h"
#include "menus/TextEdit.h"
#include "race/Race.h"

#include <string>

namespace {
constexpr int kGameOverMs = 2000;
constexpr int kNameCursorX = 217;
constexpr int kNameCursorY = 363;
constexpr int kNameCursorZ = 7;
// Typing stops at 12 characters; a name from the table's file may be longer, up to its bound.
constexpr int kPlayerNameTypedLimit = 12;
constexpr size_t kPlayerNameMax = THighScoreTable::kNameMax;

// The race's questions use the first two button slots; the race has no buttons of its own.
constexpr TYesNoQuestion::TButtons kFinishButtons{ScreenSlot::RaceYes, -93, 14, 340};
constexpr TYesNoQuestion::TButtons kSendButtons{ScreenSlot::RaceYes, -85, 22, 344};

// Shows the pointer and makes the buttons; highlighted is the slot lit at opening.
void OpenRaceQuestion(const TSeat& seat, int highlighted) {
    seat.Context.Audio().StopSound(SoundName::Engine);
    seat.Context.ShowMouseCursor();
    TScreenState& s = seat.Context.Screen();
    s.ButtonCount = ScreenSlot::RaceNo;
    s.ActiveButton = highlighted;
    s.FirstButton = ScreenSlot::RaceYes;
    s.LastButton = ScreenSlot::RaceNo;
}

void CloseRaceQuestion(const TSeat& seat) {
    seat.Context.Screen().FreeButtons();
    seat.Context.HideMouseCursor();
}
} // namespace

// ---- The flow ------------------------------------------------------------------------------

void TEndOfRace::RaceOver() {
    // The replay keeps the result; a race played from a replay ends here.
    if (!m_seat.Form.RaceOver()) {
        return;
    }
    if (m_seat.Menus.QualifiesForTable(m_seat.Race.Score)) {
        m_seat.Context.OpenMessage(msgEnterName);
    } else {
        BackToMenu();
    }
}

void TEndOfRace::NameEntered() {
    m_seat.Menus.CommitNameEntry(m_seat.Race.Score);
    m_seat.Form.NameEntered();
    m_messages.CloseMessage();
    m_seat.Context.OpenMessage(msgSendResult);
}

void TEndOfRace::SendResult() {
    m_messages.CloseMessage();
    m_messages.OpenMessage(msgSending);
    m_sendStartMs = m_seat.Platform.Ticks();
    PaintSending();
    // The request blocks the game's ticks and input; the window goes on painting meanwhile.
    TScoreRequestOutcome outcome = m_seat.Menus.SubmitScore(m_seat.Race.Score, [this] {
        if (!m_seat.Context.PumpWhileBusy()) {
            return false;
        }
        PaintSending();
        return true;
    });
    // The replay follows the request, whatever its answer; it is sent in the background.
    if (m_seat.Form.RecordedRace().Claim) {
        m_seat.Menus.UploadReplay(m_seat.Form.RecordedRace().Encode(),
                                  outcome.Result != TScoreRequestOutcome::TResult::Abandoned);
    }
    if (outcome.Result == TScoreRequestOutcome::TResult::Abandoned) {
        return; // the game is ending; the entry is already on disk, the replay queued for the next start
    }
    // A display switch asked for meanwhile happens now; a close waits for the menu.
    m_seat.Form.ActOnRequestsHeldWhileBusy();
    // The player learns how it went; the notice then closes by itself, and the menu follows.
    m_messages.Sending().ShowOutcome(outcome);
}

void TEndOfRace::PaintSending() {
    TRace& race = m_seat.Race;
    m_messages.DrawMessages(1);
    race.DrawSpeedNeedle();
    race.DrawRaceHud();
    race.DrawPowerUpPanel();
    m_seat.Context.Frame().PresentFrame();
}

uint32_t TEndOfRace::SendingForMs() const {
    return m_seat.Platform.Ticks() - m_sendStartMs;
}

void TEndOfRace::BackToMenu() {
    TearDownRace(m_seat);
    m_seat.Menus.BuildMainMenu(true, fuHighScores);
    m_seat.Form.ActOnRequestsHeldWhileBusy();
}

// ---- Game over -----------------------------------------------------------------------------

void TGameOverNotice::Open() {
    m_seat.Context.Audio().StopSound(SoundName::Engine);
    m_seat.Context.Audio().PlaySound(SoundName::GameOver);
    m_messages.MessageTimer = kGameOverMs;
}

void TGameOverNotice::Draw(int lagCount) {
    CentredText(kNoticeFont, "Game over", 273);
    if (m_messages.MessageTimer <= 0) {
        m_messages.CloseMessage();
        return;
    }
    m_messages.MessageTimer -= m_seat.Context.TickView().TickMs;
    m_seat.Race.AnimateExplosions(lagCount);
}

void TGameOverNotice::AfterClose() {
    m_messages.EndOfRace().RaceOver();
}

// ---- "Finish race?" ------------------------------------------------------------------------

TFinishRaceQuestion::TFinishRaceQuestion(const TSeat& seat, TMessages& messages)
    : TYesNoQuestion(seat, messages, msgFinishRace, kFinishButtons) {}

bool TFinishRaceQuestion::ResumesFire() const {
    return m_seat.Context.Screen().ActiveButton == NoSlot();
}

void TFinishRaceQuestion::Open() {
    TYesNoQuestion::Open();
    // Asked over the pause (the close box while paused): a no goes back to the pause, not on racing.
    m_overPause = m_messages.OpenedOver() == msgPause;
    OpenRaceQuestion(m_seat, NoSlot());
    CreateButtons();
}

void TFinishRaceQuestion::Draw(int lagCount) {
    m_seat.Menus.UpdateButtonHighlight();
    StepButtons(lagCount);
    CentredText(kQuestionFont, "Finish race?", 257);
    if (m_seat.Context.TickView().EscPressed) {
        Resume();
        return;
    }
    AnswerKeys();
}

void TFinishRaceQuestion::Answer() {
    // Whatever was clicked closes the question; only yes ends the race, else it resumes.
    if (m_seat.Context.Screen().ActiveButton == YesSlot()) {
        m_messages.CloseMessage();
        m_messages.EndOfRace().RaceOver();
    } else {
        Resume();
    }
}

void TFinishRaceQuestion::Resume() {
    const bool backToPause = m_overPause;
    m_messages.CloseMessage();
    if (backToPause) {
        m_messages.OpenMessage(msgPause);
    }
}

void TFinishRaceQuestion::Close() {
    CloseRaceQuestion(m_seat);
}

// ---- The name entry ------------------------------------------------------------------------

void TNameEntry::Open() {
    m_seat.Context.Audio().StopSound(SoundName::Engine);
    TCaptionSprite* cursor = new TCaptionSprite(m_seat.Context, PictureName::Cursor);
    cursor->X = kNameCursorX;
    cursor->Y = kNameCursorY;
    cursor->SetZ(kNameCursorZ);
    cursor->Visible = false;
    m_messages.TextCursor = cursor;
    m_messages.CursorBlinkMs = 0;
    m_seat.Form.IgnoreTextOfKeysPressedSoFar();
}

void TNameEntry::Draw(int) {
    const std::string& name = m_seat.Context.Shell().PlayerName;
    CentredText(kNameEntryFont, "Your score is " + std::to_string(m_seat.Race.Score), 248);
    CentredText(kNameEntryFont, "Please, enter your name:", 290);
    CentredText(kNameEntryFont, name, 335);
    if (TCaptionSprite* cursor = m_messages.TextCursor) {
        // Just right of the centred name.
        cursor->X = m_seat.Context.Text().TextWidth(name) / 2.0 + kCentreX;
        m_messages.CursorBlinkMs -= kFrameTickMs;
        if (m_messages.CursorBlinkMs <= 0) {
            cursor->Visible = !cursor->Visible;
            m_messages.CursorBlinkMs = kCursorBlinkMs;
        }
    }
}

void TNameEntry::Answer() {
    m_messages.EndOfRace().NameEntered();
}

void TNameEntry::TypeKey(char key) {
    std::string& name = m_seat.Context.Shell().PlayerName;
    const int code = static_cast<unsigned char>(key);
    if (code == vk::Back) {
        name = DeleteLastChar(name);
    }
    if (static_cast<int>(name.size()) < kPlayerNameTypedLimit && code >= 32) {
        name = AppendChar(name, key, kPlayerNameMax);
    }
}

void TNameEntry::Close() {
    delete m_messages.TextCursor;
    m_messages.TextCursor = nullptr;
}

// ---- The send question ---------------------------------------------------------------------

TSendQuestion::TSendQuestion(const TSeat& seat, TMessages& messages)
    : TYesNoQuestion(seat, messages, msgSendResult, kSendButtons) {}

void TSendQuestion::Open() {
    TYesNoQuestion::Open();
    OpenRaceQuestion(m_seat, YesSlot());
    CreateButtons();
}

void TSendQuestion::Draw(int lagCount) {
    m_seat.Menus.UpdateButtonHighlight();
    StepButtons(lagCount);
    // Three lines of bold text: a little more than its height apart.
    CentredText(kNameEntryFont, "Send the result", 222);
    CentredText(kNameEntryFont, "to the World's", 260);
    CentredText(kNameEntryFont, "Highscores page?", 298);
    AnswerKeys();
}

void TSendQuestion::Answer() {
    const int active = m_seat.Context.Screen().ActiveButton;
    if (active == YesSlot()) {
        m_messages.EndOfRace().SendResult();
    } else if (active == NoSlot()) {
        m_messages.CloseMessage();
        m_messages.EndOfRace().BackToMenu();
    }
}

void TSendQuestion::Close() {
    CloseRaceQuestion(m_seat);
}

// ---- "Sending..." --------------------------------------------------------------------------

namespace {
constexpr int kSentShownMs = 1500;
// Smaller than the questions' font, so that the longest reason fits the window.
constexpr int kReasonFont = 3;
constexpr int kNotSentShownMs = 3000;
// Past this, the player is shown how long the request has been waiting.
constexpr uint32_t kShowWaitAfterMs = 1000;
} // namespace

void TSendingNotice::Open() {
    m_outcome.reset();
}

void TSendingNotice::ShowOutcome(const TScoreRequestOutcome& outcome) {
    m_outcome = outcome;
    m_messages.MessageTimer = outcome.Sent() ? kSentShownMs : kNotSentShownMs;
}

void TSendingNotice::Draw(int) {
    if (!m_outcome) {
        CentredText(kQuestionFont, "Sending...", 277);
        const uint32_t waited = m_messages.EndOfRace().SendingForMs();
        if (waited >= kShowWaitAfterMs) {
            CentredText(kNameEntryFont, std::to_string(waited / 1000) + " s", 320);
        }
        return;
    }
    if (m_outcome->Sent()) {
        CentredText(kQuestionFont, "Sent.", 277);
    } else {
        CentredText(kQuestionFont, "Not sent:", 250);
        CentredText(kReasonFont, m_outcome->Reason + ".", 300);
    }
    if (m_seat.Context.TickView().EscPressed) {
        m_messages.CloseMessage();
        return;
    }
    m_messages.TimerStep();
}

void TSendingNotice::Answer() {
    // Once the outcome shows, a click or Enter moves on; while the request runs nothing answers.
    if (m_outcome) {
        m_messages.CloseMessage();
    }
}

void TSendingNotice::AfterClose() {
    if (m_outcome) {
        m_outcome.reset();
        m_messages.EndOfRace().BackToMenu();
    }
}
