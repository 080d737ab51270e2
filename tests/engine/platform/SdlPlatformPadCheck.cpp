// The SDL platform as the game uses it, window and all, with SDL's virtual joysticks standing in
// for a pad and a plain joystick. It needs a display: the end-to-end run starts an X server for it.
#include "engine/platform/Platform.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr uint32_t kPatienceMs = 3000;
constexpr uint32_t kSettleMs = 200;

class SdlPlatformPadCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) {
            GTEST_SKIP() << "no display";
        }
        Platform = CreateSdlPlatform();
        std::string error;
        ASSERT_TRUE(Platform->OpenWindow("Pad check", 800, 600, error)) << error;
        // Without a window manager the window never gets the focus, and SDL would hold back the
        // devices' input as background events.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    }
    void TearDown() override {
        for (SDL_Joystick* j : m_opened) {
            SDL_JoystickClose(j);
        }
        while (Platform && SDL_NumJoysticks() > 0) {
            SDL_JoystickDetachVirtual(0);
        }
        Platform.reset();
    }

    SDL_Joystick* Attach(SDL_JoystickType type, const char* name) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = 6;
        desc.nbuttons = 15;
        desc.name = name;
        SDL_Joystick* joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
        EXPECT_NE(joystick, nullptr) << SDL_GetError();
        m_opened.push_back(joystick);
        return joystick;
    }

    // Runs the event loop until an event the predicate wants comes, or the patience runs out.
    bool WaitFor(const std::function<bool(const TPlatformEvent&)>& wanted,
                 uint32_t patienceMs = kPatienceMs) {
        const uint32_t until = Platform->Ticks() + patienceMs;
        TPlatformEvent e;
        while (static_cast<int32_t>(Platform->Ticks() - until) < 0) {
            while (Platform->PollEvent(e)) {
                if (wanted(e)) {
                    return true;
                }
            }
            Platform->WaitEvent(10);
        }
        return false;
    }
    bool WaitForKind(TPlatformEventKind kind, const std::string& text = {}) {
        return WaitFor(
            [&](const TPlatformEvent& e) { return e.Kind == kind && (text.empty() || e.Text == text); });
    }

    std::unique_ptr<IPlatform> Platform;

  private:
    std::vector<SDL_Joystick*> m_opened;
};

TEST_F(SdlPlatformPadCheck, AMappedPadComesAsEventsAndStatesAndGoesAgain) {
    SDL_Joystick* pad = Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual Pad");
    ASSERT_TRUE(WaitForKind(TPlatformEventKind::PadConnected, "Virtual Pad"));
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    ASSERT_TRUE(WaitFor([](const TPlatformEvent& e) {
        return e.Kind == TPlatformEventKind::PadButtonDown && e.PadButton == pbA;
    }));
    const TPadState state = Platform->ReadPad();
    EXPECT_TRUE(state.Down(pbA));
    EXPECT_EQ(state.Axes[paLeftX], 32767);
    EXPECT_FALSE(Platform->ReadJoystick().Present) << "a mapped pad is not also the raw joystick";

    const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id) {
            SDL_JoystickDetachVirtual(i);
        }
    }
    ASSERT_TRUE(WaitForKind(TPlatformEventKind::PadRemoved, "Virtual Pad"));
    EXPECT_FALSE(Platform->ReadPad().Present);
}

TEST_F(SdlPlatformPadCheck, AnUnmappedJoystickIsReadRawUntilTheMappingFileNamesIt) {
    SDL_Joystick* stick = Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Odd Stick");
    ASSERT_TRUE(WaitForKind(TPlatformEventKind::PadConnected, "Odd Stick"));
    SDL_JoystickSetVirtualButton(stick, 0, 1);
    WaitFor([](const TPlatformEvent&) { return false; }, kSettleMs); // SDL takes the button in
    EXPECT_EQ(Platform->ReadJoystick().Buttons, 1U);
    EXPECT_FALSE(Platform->ReadPad().Present);

    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(stick), guid, sizeof guid);
    std::fill(guid + 4, guid + 8, '0'); // mapping lines leave out SDL's name checksum
    const auto file = std::filesystem::temp_directory_path() / "sdl_platform_pad_check.txt";
    std::ofstream(file) << guid << ",Odd Stick,a:b0,b:b1,leftx:a0,lefty:a1,platform:Linux,\n";
    EXPECT_EQ(Platform->LoadPadMappings(file.string()), "");
    std::filesystem::remove(file);
    EXPECT_TRUE(Platform->ReadPad().Down(pbA));
    EXPECT_FALSE(Platform->ReadJoystick().Present);
}

} // namespace
