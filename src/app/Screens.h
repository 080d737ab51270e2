#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/ScreenState.h"

#include <cstdint>

class TMForm;

// The race's tear-down, and the mouse pointer that the race hides and the questions show. The
// main menu builds and frees itself (TMenus).
class TScreens {
  public:
    explicit TScreens(TMForm& form) : m_form(form) {}

    void TearDownRace();
    void ShowMouseCursor();
    void HideMouseCursor();

  private:
    TMForm& m_form;
};
