#pragma once

#include <array>
#include <cstdint>
#include <functional>

// Decides which typed text is typing. A text field that opens in answer to a key (Y answering
// "Finish race?" opens the name entry) must not receive that key's own character. Its text can
// reach the form before the field opens, after it, or together with a key-down event that is
// handled only after the tick already saw the key down in the key table and answered; all
// three are the answer's, not typing.
class TTypedTextGate {
  public:
    static constexpr int kKeys = 256;

    void KeyDown(int virtualKey, uint32_t serial, bool repeat);
    void KeyUp(int virtualKey);
    // The tick has read the key table: remembers which keys it saw down that no key-down
    // handled since the previous tick accounts for.
    void TickRead(const std::function<bool(int virtualKey)>& tableShowsDown);
    // A text field opens: text of the presses handled so far, and of the key-downs still to
    // come for keys the last tick saw down ahead of their events, is not typing; nor is the
    // text of a key held down now, repeating or not, until it has been let go.
    void IgnorePressesSoFar();
    // Text carries the serial of the press that produced it (0: unknown, always typing).
    bool Accepts(uint32_t textSerial) const;

  private:
    static size_t Index(int virtualKey) { return static_cast<size_t>(virtualKey) & (kKeys - 1); }

    // Which key each recent serial belongs to: text arrives right behind its key-down.
    static constexpr size_t kRecentSerials = 64;

    uint32_t m_lastSerial = 0;
    uint32_t m_floor = 0;
    std::array<uint32_t, kRecentSerials> m_serials{};
    std::array<int, kRecentSerials> m_serialKeys{};
    std::array<bool, kKeys> m_heldThrough{}; // held when a field opened, not let go since
    std::array<bool, kKeys> m_downByEvents{};
    std::array<bool, kKeys> m_pressedSinceTick{};
    std::array<bool, kKeys> m_aheadOfEvents{};
    std::array<bool, kKeys> m_late{};
};
