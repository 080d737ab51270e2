#pragma once

#include "engine/platform/Platform.h"

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The controllers and joysticks SDL sees. Those SDL knows a controller mapping for are opened
// as controllers and read together as the pad; the first one without a mapping is read the old
// way, as the raw joystick. Devices may come and go at any time.
class TSdlPads {
  public:
    TSdlPads() = default;
    ~TSdlPads();
    TSdlPads(const TSdlPads&) = delete;
    TSdlPads& operator=(const TSdlPads&) = delete;

    // Starts SDL's controller support and opens what is connected (each told of in out). False
    // when SDL has no joystick support at all: the game then runs without.
    bool Start(std::deque<TPlatformEvent>& out);
    // Acts on SDL's device and controller events, queueing what the game hears of. False for
    // events that are none of these.
    bool Handle(const SDL_Event& e, std::deque<TPlatformEvent>& out);
    TPadState ReadPad();
    TJoystickState ReadJoystick();
    // Adds the mapping lines of a file; pads connected already take them at once.
    std::string LoadMappings(const std::string& path, std::deque<TPlatformEvent>& out);

    int OpenPads() const { return static_cast<int>(m_pads.size()); }
    bool HasRawJoystick() const { return m_joystick != nullptr; }

  private:
    struct TOpenPad {
        SDL_GameController* Controller = nullptr;
        SDL_JoystickID Id = -1;
    };
    struct TKnownDevice {
        SDL_JoystickID Id = -1;
        std::string Name;
    };

    // Opens what came, closes what went or is read another way now, and tells of devices that
    // came or went.
    void Rescan(std::deque<TPlatformEvent>& out);
    void CloseJoystick();

    bool m_started = false;
    bool m_controllers = false; // SDL's controller layer runs, not only its joysticks
    std::vector<TOpenPad> m_pads;
    SDL_Joystick* m_joystick = nullptr;
    std::vector<TKnownDevice> m_known;
    uint32_t m_pressedSinceRead = 0;
};
