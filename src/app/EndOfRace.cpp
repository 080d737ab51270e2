#include "app/EndOfRace.h"
#include "context/DataNames.h"

#include "app/MForm.h"
#include "app/Messages.h"
#include "app/RaceReplays.h"
#include "app/Screens.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"
#include "race/Race.h"

#include <string>

namespace {
constexpr int kGameOverMs = 2000;
constexpr int kNameCursorX = 217;
constexpr int kNameCursorY = 363;
constexpr int kNameCursorZ = 7;

// The race's questions use the first two button slots; the race has no buttons of its own.
constexpr TYesNoQuestion::TButtons kFinishButtons{ScreenSlot::RaceYes, -93, 14, 340};
constexpr TYesNoQuestion::TButtons kSendButtons{ScreenSlot::RaceYes, -85, 22, 344};

// Shows the pointer and makes the buttons; highlighted is the slot lit at opening.
void OpenRaceQuestion(TMForm& form, int highlighted) {
    form.Audio().StopSound(SoundName::Engine);
    form.Screens().ShowMouseCursor();
    TScreenState& s = form.Screen();
    s.ButtonCount = ScreenSlot::RaceNo;
    s.ActiveButton = highlighted;
    s.FirstButton = ScreenSlot::RaceYes;
    s.LastButton = ScreenSlot::RaceNo;
}

void CloseRaceQuestion(TMForm& form) {
    form.Screen().FreeButtons();
    form.Screens().HideMouseCursor();
}
} // namespace

// ---- The flow ------------------------------------------------------------------------------

void TEndOfRace::RaceOver() {
    // The replay keeps the result; a race played from a replay ends here.
    if (!m_form.RaceOver()) {
        return;
    }
    if (m_form.Menus().QualifiesForTable(m_form.Race().Score)) {
        m_form.OpenMessage(msgEnterName);
    } else {
        BackToMenu();
    }
}

void TEndOfRace::NameEntered() {
    m_form.Menus().CommitNameEntry(m_form.Race().Score);
    m_form.NameEntered();
    m_form.Messages().CloseMessage();
    m_form.OpenMessage(msgSendResult);
}

void TEndOfRace::SendResult() {
    TMessages& messages = m_form.Messages();
    messages.CloseMessage();
    messages.OpenMessage(msgSending);
    m_sendStartMs = m_form.Platform().Ticks();
    PaintSending();
    // The request blocks the game's ticks and input; the window goes on painting meanwhile.
    TScoreRequestOutcome outcome = m_form.Menus().SubmitScore(m_form.Race().Score, [this] {
        if (!m_form.PumpWhileBusy()) {
            return false;
        }
        PaintSending();
        return true;
    });
    // The replay follows the request, whatever its answer; it is sent in the background.
    if (m_form.Recorder().Replay().Claim) {
        m_form.Menus().UploadReplay(m_form.Recorder().Replay().Encode(),
                                    outcome.Result != TScoreRequestOutcome::TResult::Abandoned);
    }
    if (outcome.Result == TScoreRequestOutcome::TResult::Abandoned) {
        return; // the game is ending; the entry is already on disk, the replay queued for the next start
    }
    // A display switch asked for meanwhile happens now; a close waits for the menu.
    m_form.ActOnRequestsHeldWhileBusy();
    // The player learns how it went; the notice then closes by itself, and the menu follows.
    messages.Sending().ShowOutcome(outcome);
}

void TEndOfRace::PaintSending() {
    TRace& race = m_form.Race();
    m_form.Messages().DrawMessages(1);
    race.DrawSpeedNeedle();
    race.DrawRaceHud();
    race.DrawPowerUpPanel();
    m_form.Frame().PresentFrame();
}

uint32_t TEndOfRace::SendingForMs() const {
    return m_form.Platform().Ticks() - m_sendStartMs;
}

void TEndOfRace::BackToMenu() {
    m_form.Screens().TearDownRace();
    m_form.Menus().BuildMainMenu(true, fuHighScores);
    m_form.ActOnRequestsHeldWhileBusy();
}

// ---- Game over -----------------------------------------------------------------------------

void TGameOverNotice::Open() {
    m_form.Audio().StopSound(SoundName::Engine);
    m_form.Audio().PlaySound(SoundName::GameOver);
    m_messages.MessageTimer = kGameOverMs;
}

void TGameOverNotice::Draw(int lagCount) {
    CentredText(kNoticeFont, "Game over", 273);
    if (m_messages.MessageTimer <= 0) {
        m_messages.CloseMessage();
        return;
    }
    m_messages.MessageTimer -= m_form.Shell().TickMs;
    m_form.Race().AnimateExplosions(lagCount);
}

void TGameOverNotice::AfterClose() {
    m_messages.EndOfRace().RaceOver();
}

// ---- "Finish race?" ------------------------------------------------------------------------

TFinishRaceQuestion::TFinishRaceQuestion(TMForm& form, TMessages& messages)
    : TYesNoQuestion(form, messages, msgFinishRace, kFinishButtons) {}

bool TFinishRaceQuestion::ResumesFire() const {
    return m_form.Screen().ActiveButton == NoSlot();
}

void TFinishRaceQuestion::Open() {
    TYesNoQuestion::Open();
    // Asked over the pause (the close box while paused): a no goes back to the pause, not on racing.
    m_overPause = m_messages.OpenedOver() == msgPause;
    OpenRaceQuestion(m_form, NoSlot());
    CreateButtons();
}

void TFinishRaceQuestion::Draw(int lagCount) {
    m_form.Menus().UpdateButtonHighlight();
    StepButtons(lagCount);
    CentredText(kQuestionFont, "Finish race?", 257);
    if (m_form.Shell().EscPressed) {
        Resume();
        return;
    }
    AnswerKeys();
}

void TFinishRaceQuestion::Answer() {
    // Whatever was clicked closes the question; only yes ends the race, else it resumes.
    if (m_form.Screen().ActiveButton == YesSlot()) {
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
    CloseRaceQuestion(m_form);
}

// ---- The name entry ------------------------------------------------------------------------

void TNameEntry::Open() {
    m_form.Audio().StopSound(SoundName::Engine);
    TCaptionSprite* cursor = new TCaptionSprite(m_form, PictureName::Cursor);
    cursor->X = kNameCursorX;
    cursor->Y = kNameCursorY;
    cursor->SetZ(kNameCursorZ);
    cursor->Visible = false;
    m_messages.TextCursor = cursor;
    m_messages.CursorBlinkMs = 0;
    m_form.IgnoreTextOfKeysPressedSoFar();
}

void TNameEntry::Draw(int) {
    const std::string& name = m_form.Shell().PlayerName;
    CentredText(kNameEntryFont, "Your score is " + std::to_string(m_form.Race().Score), 248);
    CentredText(kNameEntryFont, "Please, enter your name:", 290);
    CentredText(kNameEntryFont, name, 335);
    if (TCaptionSprite* cursor = m_messages.TextCursor) {
        // Just right of the centred name.
        cursor->X = m_form.Text().TextWidth(name) / 2.0 + kCentreX;
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

void TNameEntry::Close() {
    delete m_messages.TextCursor;
    m_messages.TextCursor = nullptr;
}

// ---- The send question ---------------------------------------------------------------------

TSendQuestion::TSendQuestion(TMForm& form, TMessages& messages)
    : TYesNoQuestion(form, messages, msgSendResult, kSendButtons) {}

void TSendQuestion::Open() {
    TYesNoQuestion::Open();
    OpenRaceQuestion(m_form, YesSlot());
    CreateButtons();
}

void TSendQuestion::Draw(int lagCount) {
    m_form.Menus().UpdateButtonHighlight();
    StepButtons(lagCount);
    // Three lines of bold text: a little more than its height apart.
    CentredText(kNameEntryFont, "Send the result", 222);
    CentredText(kNameEntryFont, "to the World's", 260);
    CentredText(kNameEntryFont, "Highscores page?", 298);
    AnswerKeys();
}

void TSendQuestion::Answer() {
    const int active = m_form.Screen().ActiveButton;
    if (active == YesSlot()) {
        m_messages.EndOfRace().SendResult();
    } else if (active == NoSlot()) {
        m_messages.CloseMessage();
        m_messages.EndOfRace().BackToMenu();
    }
}

void TSendQuestion::Close() {
    CloseRaceQuestion(m_form);
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
    if (m_form.Shell().EscPressed) {
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
