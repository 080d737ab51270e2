#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/input/GameInput.h"

#include <algorithm>

// Highlight and keyboard stepping over the open screen's buttons, for every menu screen and for
// the overlays.

void TMenus::UpdateButtonHighlight() {
    auto& s = m_context.Screen();
    for (int32_t i = 1; i <= s.ButtonCount; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (Button(s.ActiveButton) && !Button(s.ActiveButton)->Highlighted) {
        if (MuteNextHighlight) {
            MuteNextHighlight = false;
        } else {
            m_context.Audio().PlaySound(SoundName::B_Act);
        }
        Button(s.ActiveButton)->ShowActive();
        Button(s.ActiveButton)->Highlighted = true;
    }
}

void TMenus::UpdateOverlayHighlight() {
    auto& s = m_context.Screen();
    for (int32_t i = std::max(s.FirstButton, 1); i <= s.LastButton; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (s.ActiveButton >= s.FirstButton && s.ActiveButton <= s.LastButton && Button(s.ActiveButton) &&
        !Button(s.ActiveButton)->Highlighted) {
        m_context.Audio().PlaySound(SoundName::B_Act);
        Button(s.ActiveButton)->ShowActive();
        Button(s.ActiveButton)->Highlighted = true;
    }
}

void TMenus::NavigateVertical(bool wrap) {
    auto& input = m_context.MInput();
    bool up = input.IsOn(isUp);
    bool down = input.IsOn(isDown);
    if (up && NavReady) {
        SelectPrevious(wrap);
    }
    if (down && NavReady) {
        SelectNext(wrap);
    }
    if (!up && !down) {
        NavReady = true;
    }
}

void TMenus::NavigateHorizontal(bool wrap) {
    auto& input = m_context.MInput();
    bool right = input.IsOn(isRight);
    bool left = input.IsOn(isLeft);
    if (right && NavReady) {
        SelectNext(wrap);
    }
    if (left && NavReady) {
        SelectPrevious(wrap);
    }
    if (!right && !left) {
        NavReady = true;
    }
}

void TMenus::SelectNext(bool wrap) {
    auto& s = m_context.Screen();
    NavHitEnd = false;
    if (s.ActiveButton < s.FirstButton || s.ActiveButton > s.LastButton) {
        s.ActiveButton = s.FirstButton;
    }
    if (wrap) {
        s.ActiveButton = s.ActiveButton == s.LastButton ? s.FirstButton : s.ActiveButton + 1;
    } else if (s.ActiveButton < s.LastButton) {
        ++s.ActiveButton;
    } else {
        NavHitEnd = true;
    }
    NavReady = false;
}

void TMenus::SelectPrevious(bool wrap) {
    auto& s = m_context.Screen();
    NavHitEnd = false;
    if (s.ActiveButton < s.FirstButton || s.ActiveButton > s.LastButton) {
        s.ActiveButton = s.FirstButton;
    }
    if (wrap) {
        s.ActiveButton = s.ActiveButton == s.FirstButton ? s.LastButton : s.ActiveButton - 1;
    } else if (s.ActiveButton > s.FirstButton) {
        --s.ActiveButton;
    } else {
        NavHitEnd = true;
    }
    NavReady = false;
}
