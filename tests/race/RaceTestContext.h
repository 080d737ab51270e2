#pragma once

#include "context/TestGameContext.h"
#include "race/RaceTestPictures.h"

// The race's own context: the race pictures made in memory, on the race's screen.
class TRaceTestContext : public TTestGameContext {
  public:
    explicit TRaceTestContext(uint32_t seed)
        : TTestGameContext(seed, gsRace, "Land",
                           [](TGameImageList&, TGameImageList& race) { AddRacePictures(race.Items); }) {}
};
