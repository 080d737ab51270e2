#pragma once

#include "app/MForm.h"
#include "context/Frame.h"
#include "context/GameState.h"
#include "engine/platform/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class TMenus;
class TMessages;

// A whole game on the headless platform, in a scratch working directory of its own:
// Data/Res and Data/Music point at the data the build generates, Data/Save starts empty.
// The game ticks only when the test says so, on a virtual clock.
//
//   TGameFixture game;          // directory ready, nothing started
//   game.WriteSave("hs", ...);  // optional: seed save files first
//   game.Start();               // window, form, FormCreate
//   game.Tick(61);
class TGameFixture {
  public:
    static constexpr uint32_t kTickMs = kFrameTickMs;
    static constexpr uint32_t kDefaultSeed = 12345;

    TGameFixture();
    ~TGameFixture();
    TGameFixture(const TGameFixture&) = delete;
    TGameFixture& operator=(const TGameFixture&) = delete;

    // The generated data exists (the build made it).
    static bool DataAvailable();
    static std::filesystem::path GeneratedDataDir();

    // Where the game sends its score request; nothing listens there unless a test sets it.
    std::string ScoreServer = "http://127.0.0.1:9";

    // Opens the window, creates the form and runs FormCreate; rethrows what FormCreate throws.
    void Start(uint32_t randomSeed = kDefaultSeed);
    // Ends the game the way the program does after its message loop (FormDestroy: saves),
    // then drops the form. The working directory stays, so Start can run a second game on it.
    void Stop();
    // Drops the form without FormDestroy: nothing is saved.
    void Discard();
    bool Started() const { return m_form != nullptr; }

    // Time: one tick is 15 ms of virtual clock followed by one pass of the message loop.
    void Tick(int n = 1);
    // Handles the pending events without letting time pass (no tick runs).
    void Pump();
    // Ticks until the predicate holds (checked before each tick); false when maxTicks ran out.
    bool RunUntil(const std::function<bool()>& done, int maxTicks);

    // Keys as a real key does both: held in the key table the input states read, and a
    // key-down / key-up event for the form's handlers. The events are handled at once.
    void KeyDown(int virtualKey, bool alt = false, bool repeat = false);
    void KeyUp(int virtualKey);
    // Down, one tick, up, one tick.
    void TapKey(int virtualKey);
    // Characters as the text-input events deliver them (UTF-8).
    void TypeText(const std::string& utf8);
    void MouseMove(int x, int y);
    // A move to the point and a click there.
    void Click(int x, int y);
    void LoseFocus();
    void GainFocus();
    void PushEvent(TPlatformEventKind kind);

    // The last presented frame, RGB565.
    uint16_t Pixel(int x, int y) const { return m_platform->FramePixel(x, y); }
    static uint16_t Rgb565(int r, int g, int b) {
        return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    }
    int PresentCount() const { return m_platform->PresentCount(); }

    // Effects: whether an instance of the named effect is sounding (audio is only mixed when
    // a test pulls it, so a started effect stays "playing"), and silencing one to watch it again.
    bool SoundPlaying(const std::string& name);
    void SilenceSound(const std::string& name);

    // Save files under Data/Save.
    std::filesystem::path SavePath(const std::string& name) const;
    void WriteSave(const std::string& name, const std::string& bytes) const;
    std::string ReadSave(const std::string& name) const;
    bool SaveExists(const std::string& name) const;

    const std::filesystem::path& Dir() const { return m_dir; }
    THeadlessPlatform& Platform() { return *m_platform; }
    TMForm& Form() { return *m_form; }
    TShellState& Shell() { return m_form->Shell(); }
    const TTickView& TickView() { return m_form->TickView(); }
    TScreenState& Screen() { return m_form->Screen(); }
    TMenus& Menus();
    TMessages& Messages();

  private:
    std::filesystem::path m_dir;
    std::filesystem::path m_previousDir;
    std::unique_ptr<THeadlessPlatform> m_platform;
    std::unique_ptr<TMForm> m_form;
};

// GoogleTest base: a started game per test (skipped when the data has not been generated).
// Tests that must prepare the directory first set StartInSetUp = false and call Game.Start().
class GameTest : public ::testing::Test {
  protected:
    void SetUp() override;

    bool StartInSetUp = true;
    TGameFixture Game;
};
