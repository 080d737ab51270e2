#pragma once

#include <cstdint>
#include <functional>

// The frame timer: driven from the message loop, it calls OnTimer once Interval
// milliseconds have passed, with the number of whole intervals elapsed (at least 1).
class TGameTimer {
  public:
    std::function<void(int lagCount)> OnTimer;
    std::function<void()> OnActivate;
    std::function<void()> OnDeactivate;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled, uint32_t now);
    int Interval() const { return m_interval; }
    void SetInterval(int interval);
    bool ActiveOnly = true;

    // The application gained or lost the foreground; while ActiveOnly the timer rests
    // meanwhile and resumes with a fresh last-tick time (no catch-up lag).
    void SetApplicationActive(bool active, uint32_t now);
    bool ApplicationActive() const { return m_appActive; }

    // The message queue is empty: tick if the interval has passed.
    void Idle(uint32_t now);
    // How long the loop may sleep before the next tick is due (0 = due now);
    // a large value when the timer is not running.
    uint32_t MsUntilNextTick(uint32_t now) const;
    bool Running() const { return m_hooked; }

    int FramesPerSecond() const { return m_framesPerSecond; }

  private:
    void Start(uint32_t now);
    void Stop();

    bool m_enabled = false;
    bool m_started = false;
    bool m_hooked = false;
    bool m_appActive = true;
    int m_interval = 1000;
    int m_divisor = 1000;
    uint32_t m_lastTick = 0;
    uint32_t m_windowStart = 0;
    int m_frames = 0;
    int m_framesPerSecond = 0;
};
