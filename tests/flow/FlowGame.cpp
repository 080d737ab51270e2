#include "flow/FlowGame.h"

#include "app/GameState.h"
#include "engine/platform/KeyCodes.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
constexpr int kDisplayWidth = 800;
constexpr int kDisplayHeight = 600;
constexpr int kMenuIntroTicks = 1000;
constexpr int kLevelBannerTicks = 300;
} // namespace

void TFlowGame::Start(const std::string& scoreServer, uint32_t randomSeed) {
    Discard();
    m_platform = std::make_unique<THeadlessPlatform>();
    std::string error;
    if (!m_platform->OpenWindow("Spraydash", kDisplayWidth, kDisplayHeight, error)) {
        throw std::runtime_error("headless window: " + error);
    }
    TFormConfig config;
    config.HomeUrl = "http://home.test/";
    config.ScoreServer = scoreServer;
    config.RandomSeed = randomSeed;
    m_form = std::make_unique<TMForm>(*m_platform, config);
    m_form->FormCreate();
}

void TFlowGame::Discard() {
    m_form.reset();
    m_platform.reset();
}

void TFlowGame::Tick(int n) {
    for (int i = 0; i < n; ++i) {
        m_platform->Advance(TGameFixture::kTickMs);
        m_form->PumpOnce(false);
    }
}

void TFlowGame::Pump() {
    m_form->PumpOnce(false);
}

bool TFlowGame::RunUntil(const std::function<bool()>& done, int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        if (done()) {
            return true;
        }
        Tick();
    }
    return done();
}

void TFlowGame::KeyDown(int virtualKey) {
    m_platform->SetKey(virtualKey, true);
    m_platform->PushKey(virtualKey, true);
    Pump();
}

void TFlowGame::KeyUp(int virtualKey) {
    m_platform->SetKey(virtualKey, false);
    m_platform->PushKey(virtualKey, false);
    Pump();
}

void TFlowGame::TapKey(int virtualKey) {
    KeyDown(virtualKey);
    Tick();
    KeyUp(virtualKey);
    Tick();
}

void TFlowGame::PressKey(int virtualKey) {
    KeyDown(virtualKey);
    KeyUp(virtualKey);
}

void TFlowGame::TypeText(const std::string& utf8) {
    m_platform->PushText(utf8);
    Pump();
}

void TFlowGame::Click(int x, int y) {
    m_platform->PushClick(x, y);
    Pump();
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
