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
    ASSERT_TRUE(RunUntil([&] { return Shell().GameScreen == gsMainMenu && Screen().MenuIntroPhase == 0; },
                         kMenuIntroTicks));
    Tick();
    ASSERT_EQ(Screen().ActiveButton, 1);
    PressKey(vk::Return);
    ASSERT_EQ(Shell().GameScreen, gsBoatSelect);
    Tick();
    PressKey(vk::Return);
    ASSERT_EQ(Shell().GameScreen, gsRace);
    ASSERT_EQ(Shell().MessageMode, msgLevel);
    ASSERT_TRUE(RunUntil([&] { return Shell().MessageMode == msgNone; }, kLevelBannerTicks));
}
