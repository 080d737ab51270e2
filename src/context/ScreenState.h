#pragma once

#include <array>
#include <cstdint>

class TSprite;

// The current screen's buttons, captions and menu-intro state in their fixed slots.
// Sprite slots are borrowed references: a slot keeps its stale pointer after the
// sprite is freed and is only read again after it has been refilled.
struct TScreenState {
    static constexpr int kSlotCount = 19;
    static constexpr int kTitleCaption = 13;
    static constexpr int kUpperPanel = 14;
    static constexpr int kLowerPanel = 15;
    static constexpr int kBoatTitle = 18;

    std::array<TSprite*, kSlotCount> ScreenSprites{}; // sprite slots 1..15 and 18
    int32_t LastButton = 0;                           // slot 0
    int32_t MenuIntroPhase = 0;                       // slot 16
    int32_t MenuFollowUp = 0;                         // slot 17

    int32_t ButtonCount = 0;
    int32_t FirstButton = 0;
    int32_t ActiveButton = 0;

    // Kept by the exit and clear-table questions while they are open.
    int32_t SavedFirstButton = 0, SavedLastButton = 0, SavedActiveButton = 0, SavedButtonCount = 0;

    // Frees the sprite held in a slot and clears the slot.
    void FreeSlot(int slot);
    // Frees the buttons in slots 1..ButtonCount; ButtonCount becomes 0.
    void FreeButtons();
    // Frees the buttons in slots FirstButton..LastButton; ButtonCount becomes 0.
    void FreeSelectableButtons();
};
