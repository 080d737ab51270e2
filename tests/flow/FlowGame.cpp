#include "flow/FlowGame.h"

#include "app/MForm.h"
#include "context/GameState.h"
#include "engine/platform/KeyCodes.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
constexpr int kMenuIntroTicks = 1000;
constexpr int kLevelBannerTicks = 300;
} // namespace

void TFlowGame::PressKey(int virtualKey) {
    KeyDown(virtualKey);
    KeyUp(virtualKey);
}

TRace& TFlowGame::Race() {
    return Form().Race();
}

void TFlowGame::StartRaceFromMenu() {
    ASSERT_TRUE(RunUntil([&] { return TickView().GameScreen == gsMainMenu && Screen().MenuIntroPhase == 0; },
                         kMenuIntroTicks));
    Tick();
    ASSERT_EQ(Screen().ActiveButton, 1);
    PressKey(vk::Return);
    ASSERT_EQ(TickView().GameScreen, gsBoatSelect);
    Tick();
    PressKey(vk::Return);
    ASSERT_EQ(TickView().GameScreen, gsRace);
    ASSERT_EQ(TickView().MessageMode, msgLevel);
    ASSERT_TRUE(RunUntil([&] { return TickView().MessageMode == msgNone; }, kLevelBannerTicks));
}
