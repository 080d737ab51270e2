#include "app/MenuQuestions.h"

#include "app/Messages.h"
#include "app/Screens.h"
#include "app/Seat.h"
#include "context/Frame.h"
#include "context/ScreenState.h"
#include "menus/Menus.h"

namespace {
constexpr TYesNoQuestion::TButtons kButtons{ScreenSlot::MenuYes, -85, 22, 344};
// The middle of the sub-screens' frames (12 to 552), left of the main menu's column.
constexpr int kMenuCentreX = 282;
} // namespace

TMenuQuestion::TMenuQuestion(const TSeat& seat, TMessages& messages, TMessageMode mode)
    : TYesNoQuestion(seat, messages, mode, kButtons) {}

int TMenuQuestion::CentreX() const {
    return m_seat.Context.TickView().GameScreen == gsRace ? kCentreX : kMenuCentreX;
}

void TMenuQuestion::Open() {
    TYesNoQuestion::Open();
    m_seat.Context.ShowMouseCursor();
    TScreenState& s = m_seat.Context.Screen();
    s.SavedFirstButton = s.FirstButton;
    s.SavedLastButton = s.LastButton;
    s.SavedActiveButton = s.ActiveButton;
    s.SavedButtonCount = s.ButtonCount;
    s.ButtonCount = 2; // yes and no
    s.ActiveButton = NoSlot();
    s.FirstButton = YesSlot();
    s.LastButton = NoSlot();
    CreateButtons();
}

void TMenuQuestion::Close() {
    TScreenState& s = m_seat.Context.Screen();
    s.FreeSelectableButtons();
    s.FirstButton = s.SavedFirstButton;
    s.LastButton = s.SavedLastButton;
    s.ActiveButton = s.SavedActiveButton;
    s.ButtonCount = s.SavedButtonCount;
}

void TMenuQuestion::DrawQuestion(int lagCount, int fontSlot,
                                 std::initializer_list<std::pair<const char*, int>> lines) {
    m_seat.Menus.UpdateOverlayHighlight();
    StepButtons(lagCount);
    m_seat.Context.Frame().DrawFrame(lagCount, false);
    for (const auto& [text, y] : lines) {
        CentredText(fontSlot, text, y);
    }
    m_seat.Context.Frame().PresentFrame();
    AnswerKeys();
}

void TExitQuestion::Draw(int lagCount) {
    DrawQuestion(lagCount, kQuestionFont, {{"Exit the game?", 257}});
}

void TExitQuestion::Answer() {
    const int active = m_seat.Context.Screen().ActiveButton;
    if (active == YesSlot()) {
        m_seat.Form.ExitGame();
    } else if (active == NoSlot()) {
        m_messages.CloseMessage();
    }
}

void TExitQuestion::Close() {
    TMenuQuestion::Close();
    // Opened from the close box during a race, and then replaced by "Finish race?".
    if (m_seat.Context.TickView().GameScreen == gsRace) {
        m_seat.Context.HideMouseCursor();
    }
}

void TClearTableQuestion::Draw(int lagCount) {
    DrawQuestion(lagCount, kClearTableFont, {{"Do you want to clear", 237}, {"the High Score Table?", 287}});
}

void TClearTableQuestion::Answer() {
    const int active = m_seat.Context.Screen().ActiveButton;
    if (active == YesSlot()) {
        m_seat.Menus.ResetHighScores();
        m_seat.Menus.SaveEarned();
        m_messages.CloseMessage();
    } else if (active == NoSlot()) {
        m_messages.CloseMessage();
    }
}
