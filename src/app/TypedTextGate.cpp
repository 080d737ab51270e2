#include "app/TypedTextGate.h"

#include <algorithm>

void TTypedTextGate::KeyDown(int virtualKey, uint32_t serial, bool repeat) {
    const size_t key = Index(virtualKey);
    m_lastSerial = std::max(m_lastSerial, serial);
    m_serials[serial % kRecentSerials] = serial;
    m_serialKeys[serial % kRecentSerials] = static_cast<int>(key);
    if (m_late[key] && !repeat) {
        // The press the tick already answered with: its text follows this event.
        m_floor = std::max(m_floor, serial);
        m_late[key] = false;
    }
    m_downByEvents[key] = true;
    m_pressedSinceTick[key] = true;
}

void TTypedTextGate::KeyUp(int virtualKey) {
    const size_t key = Index(virtualKey);
    m_downByEvents[key] = false;
    m_late[key] = false;
    m_heldThrough[key] = false;
}

bool TTypedTextGate::Accepts(uint32_t textSerial) const {
    if (textSerial == 0) {
        return true;
    }
    if (textSerial <= m_floor) {
        return false;
    }
    // The key that answered the question, still held: its repeats are not typing.
    const size_t slot = textSerial % kRecentSerials;
    return !(m_serials[slot] == textSerial && m_heldThrough[Index(m_serialKeys[slot])]);
}

void TTypedTextGate::TickRead(const std::function<bool(int virtualKey)>& tableShowsDown) {
    for (int key = 0; key < kKeys; ++key) {
        const auto k = static_cast<size_t>(key);
        m_aheadOfEvents[k] = tableShowsDown(key) && !m_downByEvents[k] && !m_pressedSinceTick[k];
    }
    m_pressedSinceTick.fill(false);
}

void TTypedTextGate::IgnorePressesSoFar() {
    m_floor = std::max(m_floor, m_lastSerial);
    m_late = m_aheadOfEvents;
    for (size_t key = 0; key < kKeys; ++key) {
        m_heldThrough[key] = m_downByEvents[key] || m_aheadOfEvents[key];
    }
}
