#include "context/ScreenState.h"

#include "context/InterfaceSprites.h"

#include <algorithm>

TMenuButton* TScreenSprites::Button(int32_t slot) const {
    return slot >= 1 && slot <= ScreenSlot::LastButtonSlot ? Buttons[static_cast<size_t>(slot)] : nullptr;
}

void TScreenState::FreeButton(int32_t slot) {
    if (slot >= 1 && slot <= ScreenSlot::LastButtonSlot) {
        auto& button = ScreenSprites.Buttons[static_cast<size_t>(slot)];
        delete button;
        button = nullptr;
    }
}

void TScreenState::FreeButtons() {
    for (int32_t i = 1; i <= ButtonCount && i <= ScreenSlot::LastButtonSlot; ++i) {
        FreeButton(i);
    }
    ButtonCount = 0;
}

void TScreenState::FreeSelectableButtons() {
    for (int32_t i = std::max(FirstButton, 1); i <= LastButton && i <= ScreenSlot::LastButtonSlot; ++i) {
        FreeButton(i);
    }
    ButtonCount = 0;
}

void TScreenState::FreeCaption(TCaptionSprite*& caption) {
    delete caption;
    caption = nullptr;
}
