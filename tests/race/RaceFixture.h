#pragma once

#include "app/InterfaceSprites.h"
#include "app/MForm.h"
#include "app/Messages.h"
#include "engine/display/GameDraw.h"
#include "engine/gfx/ImageList.h"
#include "engine/platform/HeadlessPlatform.h"
#include "engine/sprite/Sprite.h"
#include "race/Explosion.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/WallSprite.h"

#include "race/RaceTestPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// A headless form with the race pictures made in memory, sound switched off, and every effect the race starts
// recorded.
class RaceFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        platform = std::make_unique<THeadlessPlatform>();
        std::string error;
        platform->OpenWindow("race test", 800, 600, error);
        TFormConfig config;
        config.RandomSeed = 1234;
        form = std::make_unique<TMForm>(*platform, config);
        form->Random.Seed(1234);
        form->Shell.GameOptions.SoundOn = false;
        form->Shell.GameOptions.MusicOn = false;
        AddRacePictures(form->MImageList3().Items);
        form->MDraw().Initialize();
        race().OnSoundPlayed = [this](std::string_view name) { sounds.emplace_back(name); };
    }

    void TearDown() override {
        if (race().SpritesBuilt())
            race().FreeRaceSprites();
    }

    TRace& race() { return form->Race(); }
    TMyCarSprite& boat() { return *race().PlayerBoat; }
    TRaceTrack& track() { return race().Track(); }

    // The race as the boat choice starts it, with the level banner already gone.
    void StartRace(int boatType = 1) {
        race().SelectedBoat = boatType;
        race().StartRace();
        form->Shell.MessageMode = msgNone;
        sounds.clear();
    }

    // A wall placed by hand (the generator's random place is overridden).
    TWallSprite& AddWallAt(uint8_t kind, double x, double y) {
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
    TWallSprite& AddWallOnBoat(uint8_t kind) { return AddWallAt(kind, boat().X, boat().Y); }

    int CountSound(const std::string& name) const {
        return static_cast<int>(std::count(sounds.begin(), sounds.end(), name));
    }

    std::unique_ptr<THeadlessPlatform> platform;
    std::unique_ptr<TMForm> form;
    std::vector<std::string> sounds;
};
