// The SDL back-end's controllers, driven by SDL's own virtual joysticks: one of the type SDL
// maps as a standard pad, and one it knows no mapping for.
#include "engine/platform/SdlPads.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class SdlPadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
    void TearDown() override {
        for (SDL_Joystick* j : m_opened) {
            SDL_JoystickClose(j);
        }
        m_opened.clear();
        m_pads.reset();
        while (SDL_NumJoysticks() > 0) {
            SDL_JoystickDetachVirtual(0);
        }
        SDL_Quit();
    }

    TSdlPads& Pads() {
        if (!m_pads) {
            m_pads = std::make_unique<TSdlPads>();
            EXPECT_TRUE(m_pads->Start(Events));
        }
        return *m_pads;
    }

    // A virtual device, opened here too so the test can move its buttons and axes.
    SDL_Joystick* Attach(SDL_JoystickType type, const char* name) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = 6;
        desc.nbuttons = 15;
        desc.name = name;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        EXPECT_NE(joystick, nullptr) << SDL_GetError();
        m_opened.push_back(joystick);
        return joystick;
    }

    void Detach(SDL_Joystick* joystick) {
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        std::erase(m_opened, joystick);
        SDL_JoystickClose(joystick);
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
            }
        }
    }

    // SDL's events through the pads, as the platform's event loop hands them over.
    void Pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            Pads().Handle(e, Events);
        }
    }

    std::vector<std::string> Told(TPlatformEventKind kind) {
        std::vector<std::string> names;
        for (const TPlatformEvent& e : Events) {
            if (e.Kind == kind) {
                names.push_back(e.Text);
            }
        }
        return names;
    }

    std::deque<TPlatformEvent> Events;

  private:
    std::unique_ptr<TSdlPads> m_pads;
    std::vector<SDL_Joystick*> m_opened;
};

TEST_F(SdlPadsTest, AMappedPadIsReadByItsButtonNamesAndComesAndGoesWithoutARestart) {
    Pads();
    SDL_Joystick* pad = Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, "Virtual Pad");
    Pump();
    EXPECT_EQ(Told(TPlatformEventKind::PadConnected), std::vector<std::string>{"Virtual Pad"});
    EXPECT_EQ(Pads().OpenPads(), 1);
    EXPECT_FALSE(Pads().HasRawJoystick()) << "a mapped pad is not read twice";
    Events.clear();

    // SDL's mapping of its virtual pads numbers the buttons in the standard order.
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_B, 1);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 20000);
    Pump();
    ASSERT_EQ(Events.size(), 1U);
    EXPECT_EQ(Events.front().Kind, TPlatformEventKind::PadButtonDown);
    EXPECT_EQ(Events.front().PadButton, pbB);
    TPadState state = Pads().ReadPad();
    EXPECT_TRUE(state.Present);
    EXPECT_EQ(state.Buttons, 1U << pbB);
    EXPECT_EQ(state.Axes[paLeftX], -32768);
    EXPECT_EQ(state.Axes[paLeftY], 20000);
    EXPECT_EQ(TSdlPads().ReadJoystick().Present, false);

    // A press and release before the game reads still reads as down once.
    Events.clear();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 1);
    Pump();
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 0);
    Pump();
    EXPECT_TRUE(Pads().ReadPad().Down(pbStart));
    EXPECT_FALSE(Pads().ReadPad().Down(pbStart));

    Events.clear();
    Detach(pad);
    Pump();
    EXPECT_EQ(Told(TPlatformEventKind::PadRemoved), std::vector<std::string>{"Virtual Pad"});
    EXPECT_EQ(Pads().OpenPads(), 0);
    EXPECT_FALSE(Pads().ReadPad().Present);
}

TEST_F(SdlPadsTest, ADeviceWithoutAMappingIsTheRawJoystickUntilAMappingFileNamesIt) {
    Pads();
    SDL_Joystick* stick = Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Odd Stick");
    Pump();
    EXPECT_EQ(Told(TPlatformEventKind::PadConnected), std::vector<std::string>{"Odd Stick"});
    ASSERT_TRUE(Pads().HasRawJoystick());
    EXPECT_EQ(Pads().OpenPads(), 0);
    SDL_JoystickSetVirtualButton(stick, 4, 1);
    SDL_JoystickSetVirtualAxis(stick, 0, -32768);
    Pump();
    const TJoystickState raw = Pads().ReadJoystick();
    EXPECT_TRUE(raw.Present);
    EXPECT_EQ(raw.Buttons, 1U << 4);
    EXPECT_EQ(raw.X, 0);
    SDL_JoystickSetVirtualButton(stick, 4, 0);
    Pump();

    // The player's mapping file names this device: it becomes a pad, with no second notice.
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(stick), guid, sizeof guid);
    // Mapping lines name a device without the name checksum SDL keeps in characters 4..7.
    std::fill(guid + 4, guid + 8, '0');
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "sdlpads_test_mappings.txt";
    {
        std::ofstream out(file);
        out << "# mine\n"
            << guid << ",Odd Stick Mapped,a:b4,b:b0,start:b1,leftx:a0,lefty:a1,platform:Linux,\n";
    }
    Events.clear();
    EXPECT_EQ(Pads().LoadMappings(file.string(), Events), "");
    Pump();
    std::filesystem::remove(file);
    EXPECT_TRUE(Told(TPlatformEventKind::PadConnected).empty());
    EXPECT_TRUE(Told(TPlatformEventKind::PadRemoved).empty());
    EXPECT_EQ(Pads().OpenPads(), 1);
    EXPECT_FALSE(Pads().HasRawJoystick());
    SDL_JoystickSetVirtualButton(stick, 4, 1);
    Pump();
    EXPECT_TRUE(Pads().ReadPad().Down(pbA));
}

TEST_F(SdlPadsTest, MappingsInTheEnvironmentAreTakenAtTheStart) {
    // The name's checksum left out, as in mapping lines.
    const char* line = "ff0000004f646420537469636b007600,Odd Stick,a:b3,b:b0,platform:Linux,";
    setenv("SDL_GAMECONTROLLERCONFIG", line, 1);
    SDL_Joystick* stick = Attach(SDL_JOYSTICK_TYPE_UNKNOWN, "Odd Stick");
    Pads();
    unsetenv("SDL_GAMECONTROLLERCONFIG");
    EXPECT_EQ(Told(TPlatformEventKind::PadConnected), std::vector<std::string>{"Odd Stick"});
    ASSERT_EQ(Pads().OpenPads(), 1);
    SDL_JoystickSetVirtualButton(stick, 3, 1);
    Pump();
    EXPECT_TRUE(Pads().ReadPad().Down(pbA));
}

TEST_F(SdlPadsTest, AMappingFileThatIsMissingIsNoProblemAndOneThatIsNoFileIsNamed) {
    Pads();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sdlpads_test_dir";
    std::filesystem::create_directories(dir);
    EXPECT_EQ(Pads().LoadMappings((dir / "none.txt").string(), Events), "");
    const std::string problem = Pads().LoadMappings(dir.string(), Events);
    EXPECT_NE(problem.find(dir.string()), std::string::npos) << problem;
    EXPECT_NE(problem.find("not a file"), std::string::npos) << problem;
    std::filesystem::remove(dir);
}

} // namespace
