#pragma once

#include "app/GameFixture.h"

#include <cstdint>
#include <string>

class TRace;

// The headless game with a score server the test chooses, and the steps of a race's end.
class TFlowGame : public TGameFixture {
  public:
    void Start(const std::string& scoreServer, uint32_t randomSeed = TGameFixture::kDefaultSeed) {
        ScoreServer = scoreServer;
        TGameFixture::Start(randomSeed);
    }

    // A key whose down event the form's handlers act on at once (Enter, Backspace).
    void PressKey(int virtualKey);

    TRace& Race();
    TGameFixture& Files() { return *this; }

    // Main menu intro, start button, the highlighted boat, and the level banner: the race runs.
    void StartRaceFromMenu();
};
