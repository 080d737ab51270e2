#pragma once

#include "engine/platform/Platform.h"

#include <array>
#include <bitset>
#include <cstdint>

// The abstract input states the game polls once per tick: four directions and 32 buttons.
enum TGameInputState : int {
    isUp = 0,
    isDown = 1,
    isLeft = 2,
    isRight = 3,
    isButton1 = 4,
    // Button N is state N + 3.
    isButton32 = 35,
};
constexpr int kInputStateCount = 36;
constexpr int InputButton(int n) {
    return isButton1 + n - 1;
}

using TGameInputStates = std::bitset<kInputStateCount>;

// Keyboard: up to three keys (Windows virtual-key codes, 0 = empty) for each state.
class TGameKeyboard {
  public:
    static constexpr int kSlots = 3;
    bool Enabled = true;
    bool BindInputStates = true;
    std::array<std::array<int32_t, kSlots>, kInputStateCount> Assigns{};

    void Update(IPlatform* platform, bool readable);
    const TGameInputStates& States() const { return m_states; }
    bool KeyDown(int virtualKey) const { return (m_keys[virtualKey & 0xFF] & 0x80) != 0; }

  private:
    std::array<uint8_t, 256> m_keys{};
    TGameInputStates m_states;
};

// The first joystick, with the multimedia API's range and dead-zone conversion.
class TGameJoystick {
  public:
    bool Enabled = true;
    bool BindInputStates = true;
    int32_t ID = 0;
    bool AutoCenter = true;
    int32_t DeadZoneX = 50, DeadZoneY = 50, DeadZoneZ = 50; // per cent
    int32_t RangeX = 1000, RangeY = 1000, RangeZ = 1000;

    void Update(IPlatform* platform, bool readable);
    const TGameInputStates& States() const { return m_states; }
    int X() const { return m_x; }
    int Y() const { return m_y; }
    int Z() const { return m_z; }

    // One axis position in min..max to -range..range with the dead zone cut out.
    static int ConvertAxis(int position, int min, int max, int range, int deadZone);

  private:
    TGameInputStates m_states;
    int m_x = 0, m_y = 0, m_z = 0;
};

// Controllers with a known mapping. The d-pad and the left stick always give the four
// directions, the stick as keys would (on or off, past the dead zone); what the other buttons
// stand for is up to the game, which may change it from one tick to the next. A button keeps
// what it stood for when it went down until it is let go: the B that opened a question is not
// also its answer.
class TGamePad {
  public:
    // Half the stick's travel, as with the joystick: a stick resting a little off centre
    // steers nothing.
    static constexpr int kDefaultDeadZone = 16384;
    static constexpr int kNoState = -1;

    bool Enabled = true;
    bool BindInputStates = true;
    int DeadZone = kDefaultDeadZone;
    // The input state each button turns on (kNoState: none). Direction buttons are not read here.
    std::array<int, kPadButtonCount> Binds = UnboundButtons();

    void Update(IPlatform* platform, bool readable);
    const TGameInputStates& States() const { return m_states; }
    bool Present() const { return m_present; }

    // The directions a pad gives, from its d-pad and left stick.
    static TGameInputStates Directions(const TPadState& pad, int deadZone);
    static std::array<int, kPadButtonCount> UnboundButtons();

  private:
    TGameInputStates m_states;
    bool m_present = false;
    std::array<int, kPadButtonCount> m_heldAs = UnboundButtons();
    uint32_t m_held = 0;
};

// Keyboard, joystick and pads merged into one set of states. The mouse is taken from the
// window's own events, so it has no device here.
class TGameInput {
  public:
    explicit TGameInput(IPlatform* platform) : m_platform(platform) {}

    bool ActiveOnly = true;
    TGameKeyboard Keyboard;
    TGameJoystick Joystick;
    TGamePad Pad;

    void Update();
    // States from elsewhere (a replay) in place of the devices'; Restore goes back to what the
    // devices gave at the last Update.
    void Replace(const TGameInputStates& states) { m_states = states; }
    void Restore() { m_states = m_previousMerge; }
    const TGameInputStates& States() const { return m_states; }
    bool IsOn(int state) const { return m_states.test(static_cast<size_t>(state)); }

  private:
    IPlatform* m_platform;
    TGameInputStates m_states;
    TGameInputStates m_previousMerge;
};
