#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/GameState.h"

#include <array>
#include <cstdint>
#include <memory>

struct TSeat;
class TCaptionSprite;
class TSprite;
class TEndOfRace;
class TOverlay;
class TSendingNotice;

// The message overlays (level banner, pause, questions, "Sending..."…): at most one is open,
// named by MessageMode. Each overlay's own behaviour is its TOverlay; this opens, closes, draws
// and answers whichever is open, with what they all share.
class TMessages {
  public:
    // messageMode is the game's MessageMode, which only the overlays write.
    TMessages(const TSeat& seat, TMessageMode& messageMode);
    ~TMessages();
    TMessages(const TMessages&) = delete;
    TMessages& operator=(const TMessages&) = delete;

    // Closes any open overlay (with all the effects of its close), then opens mode.
    void OpenMessage(TMessageMode mode);
    void CloseMessage();
    // The open overlay's tick: the frame without moving the sprites, then its own drawing.
    void DrawMessages(int lagCount);
    // A click (mouse, Enter or Y/N) on the open overlay.
    void AnswerMessage();
    // A character typed (or Backspace) while an overlay is open; only the name entry takes it.
    void TypeKey(char key);
    // The open overlay is a step that restarts a level or ends the race.
    bool RaceStepUnderWay() const;
    // Counts a timed overlay down by one tick; once its time is up, closes it and returns true.
    bool TimerStep();

    TEndOfRace& EndOfRace() { return *m_endOfRace; }
    TSendingNotice& Sending();
    // The overlay that was open when the current one was opened (msgNone when none was).
    TMessageMode OpenedOver() const { return m_openedOver; }

    int32_t MessageTimer = 0;
    int32_t CursorBlinkMs = 0;
    TCaptionSprite* OverlayWindow = nullptr;
    // Dims the screen behind the window while the window is there.
    TSprite* Backdrop = nullptr;
    TCaptionSprite* TextCursor = nullptr;

  private:
    static constexpr size_t kModes = msgClearTable + 1;

    TOverlay& Overlay(TMessageMode mode) const { return *m_overlays[mode]; }

    const TSeat& m_seat;
    TMessageMode& m_messageMode;
    TMessageMode m_openedOver = msgNone;
    std::unique_ptr<TEndOfRace> m_endOfRace;
    std::array<std::unique_ptr<TOverlay>, kModes> m_overlays; // none for msgNone
    TSendingNotice* m_sending = nullptr;                      // one of them
};
