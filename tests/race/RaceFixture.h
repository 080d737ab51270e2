#pragma once

#include "engine/sprite/Sprite.h"
#include "race/Explosion.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/WallSprite.h"

#include "race/RaceTestContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// The race in a context of its own (pictures made in memory, sound switched off), with every
// effect it starts recorded.
class RaceFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        context = std::make_unique<TRaceTestContext>(1234);
        m_race = std::make_unique<TRace>(*context);
        race().OnSoundPlayed = [this](std::string_view name) { sounds.emplace_back(name); };
    }

    void TearDown() override {
        if (race().SpritesBuilt())
            race().FreeRaceSprites();
        m_race.reset();
        context.reset();
    }

    TRace& race() { return *m_race; }
    TMyCarSprite& boat() { return *race().PlayerBoat; }
    TRaceTrack& track() { return race().Track(); }

    // The race as the boat choice starts it, with the level banner already gone.
    void StartRace(int boatType = 1) {
        race().SelectedBoat = boatType;
        race().StartRace();
        context->MutableTickView().MessageMode = msgNone;
        sounds.clear();
    }

    // A wall placed by hand (the generator's random place is overridden).
    TWallSprite& AddWallAt(TWallKind kind, double x, double y) {
        TWallSprite* wall = nullptr;
        for (int32_t slot = 1; slot <= TRaceTrack::kSlotCount && wall == nullptr; ++slot) {
            if (!track().WallSlotUsed[slot]) {
                track().WallSlotUsed[slot] = true;
                wall = new TWallSprite(race(), kind, slot);
                track().WallSlots[slot] = wall;
            }
        }
        wall->X = x;
        wall->Y = y;
        return *wall;
    }

    // Puts the wall's box right on the boat's so the next scan hits.
    TWallSprite& AddWallOnBoat(TWallKind kind) { return AddWallAt(kind, boat().X, boat().Y); }

    int CountSound(const std::string& name) const {
        return static_cast<int>(std::count(sounds.begin(), sounds.end(), name));
    }

    std::unique_ptr<TRaceTestContext> context;
    std::vector<std::string> sounds;

  private:
    std::unique_ptr<TRace> m_race;
};
