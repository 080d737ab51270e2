#pragma once

#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/Frame.h"
#include "context/GameState.h"

#include <cstdint>
#include <string_view>

struct TSeat;
class TMessages;

// One message overlay, everything about it in one place: what opening it does, what it draws
// and answers to by itself each tick, what a click answers, and what closing it frees.
// TMessages keeps one of each, by MessageMode, and does what every overlay shares.
class TOverlay {
  public:
    TOverlay(const TSeat& seat, TMessages& messages, TMessageMode mode)
        : m_seat(seat), m_messages(messages), m_mode(mode) {}
    virtual ~TOverlay() = default;
    TOverlay(const TOverlay&) = delete;
    TOverlay& operator=(const TOverlay&) = delete;

    TMessageMode Mode() const { return m_mode; }
    // A notice is written straight over the race: no window, no buttons.
    virtual bool IsNotice() const { return false; }
    // Closing it during a race lets a held fire button shoot again.
    virtual bool ResumesFire() const { return false; }
    // A level restarting or the race ending: a pause or "Finish race?" must not replace it, as
    // resuming from those would run on a race that is over.
    virtual bool IsRaceStep() const { return false; }

    // After the window (unless a notice) is made.
    virtual void Open() {}
    // Each tick, over the frame drawn without moving the sprites: text, timing, keys.
    virtual void Draw(int lagCount) = 0;
    // A click (mouse, Enter, Y/N) on the overlay, acting on ActiveButton.
    virtual void Answer() {}
    // A character typed, or Backspace, while it is open.
    virtual void TypeKey(char) {}
    // Frees what it made itself; the window is freed after it.
    virtual void Close() {}
    // What follows once it is closed and MessageMode is msgNone again.
    virtual void AfterClose() {}
    // The line its window, texts and buttons are centred on.
    virtual int CentreX() const { return kCentreX; }

  protected:
    // The overlays' font slots: the notices over the race, the questions, the name entry and the
    // send question, the clear-table question.
    static constexpr int kNoticeFont = 13;
    static constexpr int kQuestionFont = 7;
    static constexpr int kNameEntryFont = 12;
    static constexpr int kClearTableFont = 10;
    // Overlay text is centred on the screen's middle.
    static constexpr int kCentreX = kScreenWidth / 2;

    // Text centred on the overlay's centre line, its top edge at y, in a font slot.
    void CentredText(int fontSlot, std::string_view text, int y);

    const TSeat& m_seat;
    TMessages& m_messages;

  private:
    TMessageMode m_mode;
};

// A question answered with a yes and a no button, side by side in two button slots; Y and N
// answer it as well.
class TYesNoQuestion : public TOverlay {
  public:
    // Where its buttons go: the yes button's slot (no is the next one) and their top-left
    // corners, across from the overlay's centre line.
    struct TButtons {
        int YesSlot;
        int YesDx, NoDx, Y;
    };

    TYesNoQuestion(const TSeat& seat, TMessages& messages, TMessageMode mode, TButtons buttons)
        : TOverlay(seat, messages, mode), m_buttons(buttons) {}

    // A racer nearly always holds an arrow: a direction already down when a question opens must
    // not step its highlight, so stepping waits until no direction is held.
    void Open() override;

  protected:
    int YesSlot() const { return m_buttons.YesSlot; }
    int NoSlot() const { return m_buttons.YesSlot + 1; }
    void CreateButtons();
    // Arrow stepping between the two, and their frame animation.
    void StepButtons(int lagCount);
    // Y and N click yes and no while the question is still the one open.
    void AnswerKeys();

  private:
    TButtons m_buttons;
};
