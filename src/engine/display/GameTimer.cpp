#include "engine/display/GameTimer.h"

#include <algorithm>
#include <cmath>

void TGameTimer::SetEnabled(bool enabled, uint32_t now) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    if (enabled) {
        Start(now);
    } else {
        Stop();
    }
}

void TGameTimer::SetInterval(int interval) {
    m_interval = std::max(interval, 0);
    m_divisor = std::max(interval, 1);
}

void TGameTimer::Start(uint32_t now) {
    Stop();
    if (!ActiveOnly || m_appActive) {
        m_hooked = true;
        m_lastTick = now;
        m_windowStart = now;
    }
    m_started = true;
}

void TGameTimer::Stop() {
    m_hooked = false;
    m_started = false;
}

void TGameTimer::SetApplicationActive(bool active, uint32_t now) {
    if (active == m_appActive) {
        return;
    }
    m_appActive = active;
    if (active) {
        if (OnActivate) {
            OnActivate();
        }
        if (m_started && ActiveOnly) {
            m_hooked = true;
            m_lastTick = now;
            m_windowStart = now;
        }
    } else {
        if (OnDeactivate) {
            OnDeactivate();
        }
        if (m_started && ActiveOnly) {
            m_hooked = false;
        }
    }
}

void TGameTimer::Idle(uint32_t now) {
    if (!m_hooked) {
        return;
    }
    uint32_t elapsed = now - m_lastTick;
    if (elapsed < static_cast<uint32_t>(m_interval)) {
        return;
    }
    m_lastTick = now;
    int lagCount = static_cast<int>(elapsed / static_cast<uint32_t>(m_divisor));
    ++m_frames;
    uint32_t window = std::max<uint32_t>(now - m_windowStart, 1);
    if (window >= 1000) {
        m_framesPerSecond = static_cast<int>(std::nearbyint(m_frames * 1000.0 / window));
        m_frames = 0;
        m_windowStart = now;
    }
    if (OnTimer) {
        OnTimer(std::max(lagCount, 1));
    }
}

uint32_t TGameTimer::MsUntilNextTick(uint32_t now) const {
    if (!m_hooked) {
        return 1000;
    }
    uint32_t elapsed = now - m_lastTick;
    return elapsed >= static_cast<uint32_t>(m_interval) ? 0 : static_cast<uint32_t>(m_interval) - elapsed;
}
