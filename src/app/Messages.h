#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/GameState.h"

#include <cstdint>
#include <string>
#include <string_view>

class TMForm;
class TCaptionSprite;
class TMenuButton;

// The message overlays (level banner, pause, questions, "Sending..."…).
class TMessages {
  public:
    explicit TMessages(TMForm& form) : m_form(form) {}

    void OpenMessage(TMessageMode mode);
    void CloseMessage();
    void DrawMessages(int lagCount);
    // A click (mouse, Enter or Y/N) on the race's finish-race, name-entry and send-result steps.
    void AnswerRaceOverlay();

    int32_t MessageTimer = 0;
    int32_t CursorBlinkMs = 0;
    TCaptionSprite* OverlayWindow = nullptr;
    TCaptionSprite* TextCursor = nullptr;

  private:
    TMenuButton* CreateYesNo(const char* image, int x, int y);
    // Counts a timed overlay down; returns true when it closed it.
    bool TimerStep();
    void MoveButtons(int first, int second, int lagCount);
    void AnswerKeys(TMessageMode mode);
    void EndRace();

    TMForm& m_form;
};
