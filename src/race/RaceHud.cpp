#include "race/RaceHud.h"

#include "context/GameContext.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "engine/gfx/ImageList.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

namespace {

constexpr int32_t kWobbleStepMs = 30;
constexpr double kNeedleCentreX = 17.0 / 19;
constexpr double kNeedleCentreY = 4.0 / 7;
// Angle units per unit of speed: top speed points at about 2 o'clock.
constexpr double kNeedleTurnPerSpeed = 5.97;

constexpr int kFontScore = 2;
constexpr int kFontTimeLives = 4;
constexpr int kFontLevel = 5;
constexpr int kFontPowerUp = 6;

// Numbers are right-aligned by moving their left edge per extra digit.
constexpr int kNumberX = 52;
constexpr int kLevelDigitWidth = 5;
constexpr int kScoreDigitWidth = 4;
constexpr int kLevelY = 80;
constexpr int kScoreY = 172;
constexpr int kLivesY = 353;
constexpr int kClockY = 263;
constexpr int kClockSeparatorY = 261;
constexpr std::array<int, 4> kClockDigitX{28, 43, 64, 79};
constexpr int kClockSeparatorX = 58;
constexpr int kPowerUpTextX = 771;
constexpr int kPowerUpTextY = 419;
constexpr int kPowerUpDigitWidth = 4;

int Xd(int32_t v) {
    return TGameText::DigitCount(v);
}

} // namespace

std::array<THudText, 8> RaceHudTexts(int32_t level, int32_t score, int32_t timeLeftMs, int32_t lives) {
    const int32_t seconds = timeLeftMs / 1000;
    const int32_t minutes = seconds / 60;
    return {{
        {kFontLevel, std::to_string(level), kNumberX - kLevelDigitWidth * Xd(level), kLevelY},
        {kFontScore, std::to_string(score), kNumberX - kScoreDigitWidth * Xd(score), kScoreY},
        {kFontTimeLives, std::to_string(minutes / 10), kClockDigitX[0], kClockY},
        {kFontTimeLives, std::to_string(minutes % 10), kClockDigitX[1], kClockY},
        {kFontTimeLives, ":", kClockSeparatorX, kClockSeparatorY},
        {kFontTimeLives, std::to_string((seconds % 60) / 10), kClockDigitX[2], kClockY},
        {kFontTimeLives, std::to_string((seconds % 60) % 10), kClockDigitX[3], kClockY},
        {kFontTimeLives, std::to_string(lives), kNumberX - kLevelDigitWidth * Xd(lives), kLivesY},
    }};
}

TPowerUpIndicator PowerUpIndicator(const TMyCarSprite& boat) {
    const std::array<bool, 3> held{boat.HasGun, boat.HasEngine, boat.HasShield};
    const std::array<int32_t, 3> ms{boat.GunMs, boat.EngineMs, boat.ShieldMs};
    TPowerUpIndicator result;
    bool anyHeld = false;
    for (int i = 0; i < 3; ++i) {
        anyHeld = anyHeld || held[i];
        if (held[i] && ms[i] <= ms[(i + 1) % 3] && ms[i] <= ms[(i + 2) % 3])
            result.Shown = i;
    }
    if (anyHeld && result.Shown == TPowerUpIndicator::kNone)
        result.Shown = TPowerUpIndicator::kUnchanged;
    if (result.Shown >= 0 && result.Shown != TPowerUpIndicator::kNone) {
        const int32_t seconds = ms[result.Shown] / 1000;
        result.Seconds = {kFontPowerUp, std::to_string(seconds),
                          kPowerUpTextX - kPowerUpDigitWidth * Xd(seconds), kPowerUpTextY};
    }
    return result;
}

void TRace::StepNeedleWobble() {
    if (NeedleWobbleMs > 0) {
        NeedleWobbleMs -= TickMs();
    } else {
        NeedleWobbleMs = kWobbleStepMs;
        NeedleWobble = NeedleWobble <= 0 ? NeedleWobble + 1 : -1;
    }
}

void TRace::DrawSpeedNeedle() {
    StepNeedleWobble();
    if (SpeedNeedle == nullptr || PlayerBoat == nullptr)
        return;
    const int angle = static_cast<int>(PlayerBoat->Speed * kNeedleTurnPerSpeed) + NeedleWobble;
    SpeedNeedle->Image->DrawRotated(Surface(), kSpeedDialX, kSpeedDialY, SpeedNeedle->Width,
                                    SpeedNeedle->Height, 0, kNeedleCentreX, kNeedleCentreY, angle);
}

void TRace::DrawRaceHud() {
    TGameText& text = m_context.Text();
    for (const THudText& item : RaceHudTexts(Level, Score, TimeLeftMs, Lives)) {
        text.SetTextFont(item.Font);
        text.DrawText(item.Text, item.X, item.Y, false);
    }
}

void TRace::DrawPowerUpPanel() {
    if (PlayerBoat == nullptr)
        return;
    const TPowerUpIndicator indicator = PowerUpIndicator(*PlayerBoat);
    if (indicator.Shown == TPowerUpIndicator::kUnchanged)
        return;
    // The panels show from the next frame: this frame's sprites are already drawn.
    const std::array<TCaptionSprite*, 4> panels{GunPanel, EnginePanel, ShieldPanel, NoPowerUpPanel};
    for (size_t i = 0; i < panels.size(); ++i)
        panels[i]->Visible = static_cast<int>(i) == indicator.Shown;
    if (indicator.Shown != TPowerUpIndicator::kNone) {
        TGameText& text = m_context.Text();
        text.SetTextFont(indicator.Seconds.Font);
        text.DrawText(indicator.Seconds.Text, indicator.Seconds.X, indicator.Seconds.Y, false);
    }
}
