#pragma once

#include <array>
#include <cstdint>

class TCaptionSprite;
class TMenuButton;

// The fixed slots of ScreenSprites. A button is known by its slot number: ActiveButton,
// FirstButton and LastButton are slot numbers, and 0 is no button.
namespace ScreenSlot {
inline constexpr int32_t NoButton = 0;
// The main menu's buttons, top to bottom.
inline constexpr int32_t Start = 1, Options = 2, HighScores = 3, Help = 4, WebSite = 5, Exit = 6;
inline constexpr int32_t FirstMainButton = Start, LastMainButton = Exit;
// During a race the first two slots hold the race's yes/no questions.
inline constexpr int32_t RaceYes = 1, RaceNo = 2;
// The open sub-screen's own buttons.
inline constexpr int32_t FullScreen = 7, Music = 8, Sound = 9, TextLine = 10; // options
inline constexpr int32_t ClearTable = 7, WorldTable = 8;                      // high scores
inline constexpr int32_t PreviousPage = 7, NextPage = 8;                      // help
inline constexpr int32_t FirstBoat = 7, LastBoat = 9;                         // boat choice, boats 1..3
// The exit and clear-table questions, beside the buttons of the screen under them.
inline constexpr int32_t MenuYes = 11, MenuNo = 12;
inline constexpr int32_t LastButtonSlot = MenuNo;
} // namespace ScreenSlot

// What the main menu does once its intro is over (the FollowUp of BuildMainMenu).
enum TMenuFollowUp : int32_t {
    fuNone = 0,
    fuHighScores = ScreenSlot::HighScores, // after a race: open the high-score table
};

// The main menu's intro: the panels slide in, then the button column; clicks wait for its end.
enum TMenuIntroPhase : int32_t {
    ipOver = 0,
    ipPanels = 1,
    ipButtons = 3,
};

// The current screen's sprites in their slots. They are borrowed: whoever builds a screen
// makes them and frees them when it tears the screen down.
struct TScreenSprites {
    std::array<TMenuButton*, ScreenSlot::LastButtonSlot + 1> Buttons{}; // [0] unused
    TCaptionSprite* TitleCaption = nullptr; // the main menu's title, the highlighted entry's caption
    TCaptionSprite* UpperPanel = nullptr;
    TCaptionSprite* LowerPanel = nullptr;
    TCaptionSprite* BoatTitle = nullptr; // the boat choice's frame

    // The button in a slot; null when the slot is not a button slot or holds none.
    TMenuButton* Button(int32_t slot) const;
};

// The current screen's buttons, captions and menu-intro state.
struct TScreenState {
    TScreenSprites ScreenSprites;
    int32_t ButtonCount = 0; // the screen's buttons are slots 1..ButtonCount
    int32_t FirstButton = 0; // the selectable range, for keyboard stepping and the question's hit test
    int32_t LastButton = 0;
    int32_t ActiveButton = 0; // the highlighted button, what a click acts on
    TMenuIntroPhase MenuIntroPhase = ipOver;
    TMenuFollowUp MenuFollowUp = fuNone;

    // Kept by the exit and clear-table questions while they are open.
    int32_t SavedFirstButton = 0, SavedLastButton = 0, SavedActiveButton = 0, SavedButtonCount = 0;

    // Frees the button in a slot and empties the slot.
    void FreeButton(int32_t slot);
    // Frees the buttons in slots 1..ButtonCount; ButtonCount becomes 0.
    void FreeButtons();
    // Frees the buttons in slots FirstButton..LastButton; ButtonCount becomes 0.
    void FreeSelectableButtons();
    // Frees a caption and empties its place.
    static void FreeCaption(TCaptionSprite*& caption);
};
