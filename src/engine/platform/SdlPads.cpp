#include "engine/platform/SdlPads.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {
// SDL numbers a standard pad's buttons in the same order as TPadButton.
constexpr bool SameNumber(int sdl, int ours) {
    return sdl == ours;
}
static_assert(SameNumber(SDL_CONTROLLER_BUTTON_A, pbA) && SameNumber(SDL_CONTROLLER_BUTTON_START, pbStart) &&
              SameNumber(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, pbDpadRight));
static_assert(SameNumber(SDL_CONTROLLER_AXIS_LEFTX, paLeftX) &&
              SameNumber(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, paRightTrigger));

// The largest mapping file taken: SDL's whole community database is well under a megabyte.
constexpr std::uintmax_t kMaxMappingFileBytes = 4U << 20U;
constexpr const char* kUnnamedDevice = "Controller";

std::string DeviceName(const char* name) {
    return name && *name ? name : kUnnamedDevice;
}

TPlatformEvent DeviceEvent(TPlatformEventKind kind, const std::string& name) {
    TPlatformEvent e;
    e.Kind = kind;
    e.Text = name;
    return e;
}
} // namespace

TSdlPads::~TSdlPads() {
    for (const TOpenPad& pad : m_pads) {
        SDL_GameControllerClose(pad.Controller);
    }
    CloseJoystick();
    if (m_started) {
        SDL_QuitSubSystem(m_controllers ? SDL_INIT_GAMECONTROLLER : SDL_INIT_JOYSTICK);
    }
}

bool TSdlPads::Start(std::deque<TPlatformEvent>& out) {
    if (m_started) {
        return true;
    }
    // SDL reads SDL_GAMECONTROLLERCONFIG and SDL_GAMECONTROLLERCONFIG_FILE itself as it starts.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
        m_controllers = true;
    } else if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        return false;
    }
    m_started = true;
    Rescan(out);
    return true;
}

void TSdlPads::CloseJoystick() {
    if (m_joystick) {
        SDL_JoystickClose(m_joystick);
        m_joystick = nullptr;
    }
}

void TSdlPads::Rescan(std::deque<TPlatformEvent>& out) {
    if (!m_started) {
        return;
    }
    struct TDevice {
        int Index;
        SDL_JoystickID Id;
        bool Mapped;
    };
    std::vector<TDevice> devices;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
        if (id >= 0) {
            devices.push_back(TDevice{i, id, m_controllers && SDL_IsGameController(i) == SDL_TRUE});
        }
    }
    auto find = [&](SDL_JoystickID id) {
        return std::find_if(devices.begin(), devices.end(), [id](const TDevice& d) { return d.Id == id; });
    };

    // Gone, or now read the other way (a mapping came for it).
    std::erase_if(m_pads, [&](const TOpenPad& pad) {
        auto d = find(pad.Id);
        if (d != devices.end() && d->Mapped) {
            return false;
        }
        SDL_GameControllerClose(pad.Controller);
        return true;
    });
    if (m_joystick) {
        auto d = find(SDL_JoystickInstanceID(m_joystick));
        if (d == devices.end() || d->Mapped) {
            CloseJoystick();
        }
    }

    for (const TDevice& d : devices) {
        const bool open =
            std::any_of(m_pads.begin(), m_pads.end(), [&](const TOpenPad& p) { return p.Id == d.Id; });
        if (d.Mapped && !open) {
            if (SDL_GameController* controller = SDL_GameControllerOpen(d.Index)) {
                m_pads.push_back(TOpenPad{controller, d.Id});
            }
        }
    }
    for (const TDevice& d : devices) {
        if (m_joystick) {
            break;
        }
        if (!d.Mapped) {
            m_joystick = SDL_JoystickOpen(d.Index);
        }
    }

    // Tell of devices that went and came; one read another way now is the same device.
    std::erase_if(m_known, [&](const TKnownDevice& k) {
        if (find(k.Id) != devices.end()) {
            return false;
        }
        out.push_back(DeviceEvent(TPlatformEventKind::PadRemoved, k.Name));
        return true;
    });
    for (const TDevice& d : devices) {
        if (std::none_of(m_known.begin(), m_known.end(),
                         [&](const TKnownDevice& k) { return k.Id == d.Id; })) {
            const char* name =
                d.Mapped ? SDL_GameControllerNameForIndex(d.Index) : SDL_JoystickNameForIndex(d.Index);
            m_known.push_back(TKnownDevice{d.Id, DeviceName(name)});
            out.push_back(DeviceEvent(TPlatformEventKind::PadConnected, m_known.back().Name));
        }
    }
}

bool TSdlPads::Handle(const SDL_Event& e, std::deque<TPlatformEvent>& out) {
    switch (e.type) {
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEREMAPPED:
        Rescan(out);
        return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        const int button = e.cbutton.button;
        if (button < 0 || button >= kPadButtonCount) {
            return true; // paddles, touchpad and the like: no part in the game
        }
        const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
        if (down) {
            m_pressedSinceRead |= 1U << static_cast<unsigned>(button);
        }
        TPlatformEvent event;
        event.Kind = down ? TPlatformEventKind::PadButtonDown : TPlatformEventKind::PadButtonUp;
        event.PadButton = button;
        out.push_back(event);
        return true;
    }
    default:
        return false;
    }
}

TPadState TSdlPads::ReadPad() {
    TPadState s;
    if (m_pads.empty()) {
        m_pressedSinceRead = 0;
        return s;
    }
    s.Present = true;
    s.Buttons = m_pressedSinceRead;
    m_pressedSinceRead = 0;
    for (const TOpenPad& pad : m_pads) {
        for (int b = 0; b < kPadButtonCount; ++b) {
            if (SDL_GameControllerGetButton(pad.Controller, static_cast<SDL_GameControllerButton>(b))) {
                s.Buttons |= 1U << static_cast<unsigned>(b);
            }
        }
        for (int a = 0; a < kPadAxisCount; ++a) {
            const int value =
                SDL_GameControllerGetAxis(pad.Controller, static_cast<SDL_GameControllerAxis>(a));
            int& merged = s.Axes[static_cast<size_t>(a)];
            if (std::abs(value) > std::abs(merged)) {
                merged = value;
            }
        }
    }
    return s;
}

TJoystickState TSdlPads::ReadJoystick() {
    TJoystickState s;
    if (!m_joystick) {
        return s;
    }
    SDL_JoystickUpdate();
    s.Present = true;
    auto axis = [&](int index) {
        return index < SDL_JoystickNumAxes(m_joystick) ? SDL_JoystickGetAxis(m_joystick, index) + 32768
                                                       : 32767;
    };
    s.X = axis(0);
    s.Y = axis(1);
    s.Z = axis(2);
    const int buttons = std::min(SDL_JoystickNumButtons(m_joystick), 32);
    for (int b = 0; b < buttons; ++b) {
        if (SDL_JoystickGetButton(m_joystick, b)) {
            s.Buttons |= 1U << static_cast<unsigned>(b);
        }
    }
    return s;
}

std::string TSdlPads::LoadMappings(const std::string& path, std::deque<TPlatformEvent>& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        return {};
    }
    const std::string named = "The controller mappings \"" + path + "\"";
    if (ec) {
        return named + " could not be read: " + ec.message() + ".";
    }
    if (!fs::is_regular_file(status)) {
        return named + " are not a file.";
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxMappingFileBytes) {
        return named + " are too large to be mapping lines (" + std::to_string(size) + " bytes).";
    }
    if (!m_started || !m_controllers) {
        return named + " cannot be used: SDL's controller support did not start.";
    }
    if (SDL_GameControllerAddMappingsFromFile(path.c_str()) < 0) {
        return named + " could not be read: " + SDL_GetError() + ".";
    }
    Rescan(out);
    return {};
}
