#pragma once

#include "app/GameFixture.h"
#include "app/MForm.h"
#include "engine/platform/HeadlessPlatform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TRace;

// A headless game whose score server is one the test chooses. The scratch working
// directory and its save files come from TGameFixture, which is never started itself:
// its form has a fixed, unreachable server.
class TFlowGame {
  public:
    TFlowGame() = default;
    ~TFlowGame() { Discard(); }
    TFlowGame(const TFlowGame&) = delete;
    TFlowGame& operator=(const TFlowGame&) = delete;

    void Start(const std::string& scoreServer, uint32_t randomSeed = TGameFixture::kDefaultSeed);
    void Discard();

    void Tick(int n = 1);
    void Pump();
    bool RunUntil(const std::function<bool()>& done, int maxTicks);

    void KeyDown(int virtualKey);
    void KeyUp(int virtualKey);
    // Down, one tick, up, one tick: what a key the game polls per tick needs.
    void TapKey(int virtualKey);
    // A key whose down event the form's handlers act on at once (Enter, Backspace).
    void PressKey(int virtualKey);
    void TypeText(const std::string& utf8);
    void Click(int x, int y);

    THeadlessPlatform& Platform() { return *m_platform; }
    TMForm& Form() { return *m_form; }
    TShellState& Shell() { return m_form->Shell; }
    TScreenState& Screen() { return m_form->Screen; }
    TRace& Race() { return m_form->Race(); }
    TGameFixture& Files() { return m_files; }

    // Main menu intro, start button, the highlighted boat, and the level banner: the race runs.
    void StartRaceFromMenu();

  private:
    TGameFixture m_files; // declared first: the form goes before its directory does
    std::unique_ptr<THeadlessPlatform> m_platform;
    std::unique_ptr<TMForm> m_form;
};
