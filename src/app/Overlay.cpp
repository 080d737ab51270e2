#include "app/Overlay.h"
#include "context/DataNames.h"

#include "app/Seat.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "menus/Menus.h"

namespace {
constexpr int kQuestionButtonZ = 6;
} // namespace

void TOverlay::CentredText(int fontSlot, std::string_view text, int y) {
    TGameText& writer = m_seat.Context.Text();
    writer.SetTextFont(fontSlot);
    writer.DrawText(text, CentreX(), y, true);
}

void TYesNoQuestion::Open() {
    m_seat.Menus.NavReady = false;
}

void TYesNoQuestion::CreateButtons() {
    TScreenState& s = m_seat.Context.Screen();
    auto create = [this](const char* image, int x, int y) {
        auto* button = new TMenuButton(m_seat.Context, image, image, 0, 1, x, y);
        button->SetZ(kQuestionButtonZ);
        return button;
    };
    s.ScreenSprites.Buttons[YesSlot()] =
        create(PictureName::YesButton, CentreX() + m_buttons.YesDx, m_buttons.Y);
    s.ScreenSprites.Buttons[NoSlot()] =
        create(PictureName::NoButton, CentreX() + m_buttons.NoDx, m_buttons.Y);
}

void TYesNoQuestion::StepButtons(int lagCount) {
    m_seat.Menus.NavigateHorizontal(true);
    for (int slot : {YesSlot(), NoSlot()}) {
        if (TMenuButton* button = m_seat.Context.Screen().ScreenSprites.Button(slot)) {
            button->Move(lagCount);
        }
    }
}

void TYesNoQuestion::AnswerKeys() {
    const TTickView& view = m_seat.Context.TickView();
    if (view.YesPressed && view.MessageMode == Mode()) {
        m_seat.Context.Screen().ActiveButton = YesSlot();
        m_seat.Context.ButtonClick(false);
    }
    if (view.NoPressed && view.MessageMode == Mode()) {
        m_seat.Context.Screen().ActiveButton = NoSlot();
        m_seat.Context.ButtonClick(false);
    }
}
