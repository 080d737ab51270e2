#pragma once

#include "app/Overlay.h"
#include "net/ScoreRequest.h"

#include <cstdint>
#include <optional>

// The end of a race, in one place. It starts at game over (the last life is gone) or at a yes to
// "Finish race?". A score that enters the high-score table asks for the player's name, goes into
// the table, and then the question whether to send it to the world's table; a yes shows
// "Sending..." while the request runs. Every way ends in the main menu, built afresh, which
// opens on the high-score table once its intro is over.
class TEndOfRace {
  public:
    TEndOfRace(const TSeat& seat, TMessages& messages) : m_seat(seat), m_messages(messages) {}

    // The race is over: the name entry if the score enters the table, else back to the menu.
    void RaceOver();
    // The name entry is answered: the result goes into the table, then the send question.
    void NameEntered();
    // The send question is answered yes: the request runs while "Sending..." stands, and its
    // outcome is shown briefly before the menu.
    void SendResult();
    // Tears the race down and builds the main menu, which then opens the high-score table; then
    // acts on a close asked for meanwhile.
    void BackToMenu();
    // How long the request has been running.
    uint32_t SendingForMs() const;

  private:
    // One frame of the standing race with "Sending..." over it.
    void PaintSending();

    const TSeat& m_seat;
    TMessages& m_messages;
    uint32_t m_sendStartMs = 0;
};

// "Game over" for 2000 ms while the explosions play on; then the end of the race.
class TGameOverNotice : public TOverlay {
  public:
    TGameOverNotice(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgGameOver) {}
    bool IsNotice() const override { return true; }
    bool IsRaceStep() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
    void AfterClose() override;
};

// "Finish race?" on Esc or the close box, no highlighted: yes ends the race, anything else
// (no, Esc, a click beside the buttons) resumes it.
class TFinishRaceQuestion : public TYesNoQuestion {
  public:
    TFinishRaceQuestion(const TSeat& seat, TMessages& messages);
    bool ResumesFire() const override;
    void Open() override;
    void Draw(int lagCount) override;
    void Answer() override;
    void Close() override;

  private:
    // No to the question: back to the race, or to the pause it was asked over.
    void Resume();
    bool m_overPause = false;
};

// "Your score is …": the player types a name; Enter or a click commits it.
class TNameEntry : public TOverlay {
  public:
    TNameEntry(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgEnterName) {}
    bool IsRaceStep() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
    void Answer() override;
    void TypeKey(char key) override;
    void Close() override;
};

// "Send the result to the World's Highscores page?", yes highlighted.
class TSendQuestion : public TYesNoQuestion {
  public:
    TSendQuestion(const TSeat& seat, TMessages& messages);
    bool IsRaceStep() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
    void Answer() override;
    void Close() override;
};

// "Sending..." while the score request runs, then briefly how it went: "Sent." or why not.
class TSendingNotice : public TOverlay {
  public:
    TSendingNotice(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgSending) {}
    bool IsRaceStep() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
    void Answer() override;
    void AfterClose() override;
    void ShowOutcome(const TScoreRequestOutcome& outcome);
    // How the request went, once it has ended and while that is shown.
    const std::optional<TScoreRequestOutcome>& Outcome() const { return m_outcome; }

  private:
    std::optional<TScoreRequestOutcome> m_outcome;
};
