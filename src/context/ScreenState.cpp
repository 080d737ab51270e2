#include "context/ScreenState.h"

#include "engine/sprite/Sprite.h"

#include <algorithm>

void TScreenState::FreeSlot(int slot) {
    delete ScreenSprites[slot];
    ScreenSprites[slot] = nullptr;
}

void TScreenState::FreeButtons() {
    for (int i = 1; i <= ButtonCount && i < kSlotCount; ++i) {
        FreeSlot(i);
    }
    ButtonCount = 0;
}

void TScreenState::FreeSelectableButtons() {
    for (int i = std::max(FirstButton, 1); i <= LastButton && i < kSlotCount; ++i) {
        FreeSlot(i);
    }
    ButtonCount = 0;
}
