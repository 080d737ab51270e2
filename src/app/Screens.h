#pragma once

#include <cstdint>

class TMForm;
class TSprite;

// The screen state machine: the main menu's builder, the race's tear-down, the button
// bookkeeping and the per-tick frame composition every screen uses.
class TScreens {
  public:
    explicit TScreens(TMForm& form) : m_form(form) {}

    void BuildMainMenu(bool full, int32_t followUp);
    void TearDownRace();
    void FreeMainMenu();
    void FreeButtons();
    void FreeSelectableButtons();
    void ShowMouseCursor();
    void HideMouseCursor();

    // Frame composition: clear, optionally move, draw the sprite tree; then present.
    // DrawFrame returns false when the display cannot draw this tick.
    bool DrawFrame(int lagCount, bool move);
    void PresentFrame();

    // Frees a sprite held in a ScreenSprites slot (and clears the slot).
    void FreeSlot(int slot);

  private:
    TMForm& m_form;
};
