#include "engine/input/GameInput.h"

#include <cstdlib>

void TGameKeyboard::Update(IPlatform* platform, bool readable) {
    m_keys.fill(0);
    m_states.reset();
    if (!Enabled || !platform || !readable) {
        return;
    }
    platform->GetKeyboardState(m_keys.data());
    for (int state = 0; state < kInputStateCount; ++state) {
        for (int32_t key : Assigns[state]) {
            if (key >= 1 && key <= 255 && (m_keys[key] & 0x80)) {
                m_states.set(state);
                break;
            }
        }
    }
}

int TGameJoystick::ConvertAxis(int position, int min, int max, int range, int deadZone) {
    int half = (max - min) / 2;
    int dz = deadZone * half / 100;
    if (half == dz) {
        return 0;
    }
    int p = position - half;
    if (std::abs(p) <= dz) {
        return 0;
    }
    // MulDiv: rounded to the nearest integer.
    int64_t numerator = static_cast<int64_t>(p > 0 ? p - dz : p + dz) * range;
    int64_t denominator = half - dz;
    int64_t q = (std::llabs(numerator) + denominator / 2) / denominator;
    return static_cast<int>(numerator < 0 ? -q : q);
}

void TGameJoystick::Update(IPlatform* platform, bool readable) {
    m_states.reset();
    m_x = m_y = m_z = 0;
    if (!Enabled || !platform || !readable) {
        return;
    }
    TJoystickState s = platform->ReadJoystick();
    if (!s.Present) {
        return;
    }
    m_x = ConvertAxis(s.X, s.XMin, s.XMax, RangeX, DeadZoneX);
    m_y = ConvertAxis(s.Y, s.YMin, s.YMax, RangeY, DeadZoneY);
    m_z = ConvertAxis(s.Z, s.ZMin, s.ZMax, RangeZ, DeadZoneZ);
    for (int b = 0; b < 32; ++b) {
        if (s.Buttons & (1u << b)) {
            m_states.set(static_cast<size_t>(isButton1 + b));
        }
    }
    if (m_x < 0) {
        m_states.set(isLeft);
    }
    if (m_x > 0) {
        m_states.set(isRight);
    }
    if (m_y < 0) {
        m_states.set(isUp);
    }
    if (m_y > 0) {
        m_states.set(isDown);
    }
}

std::array<int, kPadButtonCount> TGamePad::UnboundButtons() {
    std::array<int, kPadButtonCount> binds{};
    binds.fill(kNoState);
    return binds;
}

TGameInputStates TGamePad::Directions(const TPadState& pad, int deadZone) {
    TGameInputStates states;
    const int x = pad.Axes[paLeftX];
    const int y = pad.Axes[paLeftY];
    states.set(isUp, pad.Down(pbDpadUp) || y < -deadZone);
    states.set(isDown, pad.Down(pbDpadDown) || y > deadZone);
    states.set(isLeft, pad.Down(pbDpadLeft) || x < -deadZone);
    states.set(isRight, pad.Down(pbDpadRight) || x > deadZone);
    return states;
}

void TGamePad::Update(IPlatform* platform, bool readable) {
    m_states.reset();
    m_present = false;
    if (!Enabled || !platform || !readable) {
        m_held = 0;
        return;
    }
    const TPadState pad = platform->ReadPad();
    m_present = pad.Present;
    if (!pad.Present) {
        m_held = 0;
        return;
    }
    m_states = Directions(pad, DeadZone);
    for (int b = 0; b < kPadButtonCount; ++b) {
        const auto i = static_cast<size_t>(b);
        const uint32_t bit = 1U << static_cast<unsigned>(b);
        if (!pad.Down(static_cast<TPadButton>(b))) {
            m_held &= ~bit;
            continue;
        }
        if (!(m_held & bit)) {
            m_held |= bit;
            m_heldAs[i] = Binds[i];
        }
        const int state = m_heldAs[i];
        if (state >= 0 && state < kInputStateCount) {
            m_states.set(static_cast<size_t>(state));
        }
    }
}

void TGameInput::Update() {
    bool readable = !ActiveOnly || (m_platform && m_platform->HasFocus());
    TGameInputStates merged;
    Joystick.Update(m_platform, readable);
    if (Joystick.BindInputStates) {
        merged |= Joystick.States();
    }
    Pad.Update(m_platform, readable);
    if (Pad.BindInputStates) {
        merged |= Pad.States();
    }
    Keyboard.Update(m_platform, readable);
    if (Keyboard.BindInputStates) {
        merged |= Keyboard.States();
    }
    for (int i = 0; i < kInputStateCount; ++i) {
        if (merged.test(i) && !m_previousMerge.test(i)) {
            m_states.set(i);
        } else if (!merged.test(i) && m_previousMerge.test(i)) {
            m_states.reset(i);
        }
    }
    m_previousMerge = merged;
}
