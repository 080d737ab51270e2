// What is drawn around the player's boat beyond its pictures: its shadow while it flies, the foam
// where it lands, and the shot. Only drawing: nothing here is read back by the race, and nothing
// draws from the game's random numbers (every variation follows the ticks).
#include "engine/gfx/Draw.h"
#include "engine/gfx/ImageList.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The shadow: a dark navy at a little under half strength, further off the boat the higher it is.
constexpr uint16_t kShadowColor = (1 << 11) | (5 << 5) | 6;
constexpr uint8_t kShadowStrength = 110;
constexpr double kShadowNearX = 6;
constexpr double kShadowNearY = 4;
constexpr double kShadowRiseX = 22;
constexpr double kShadowRiseY = 12;

// Tracer rounds: from the muzzle, one every kTracerGap pixels, moving on half a gap per tick.
constexpr double kMuzzleFromCentre = 36;
constexpr int kTracerGap = 44;
constexpr int kTracerStep = 22;

double Radians(int32_t angle) {
    return angle * std::numbers::pi / 128;
}

} // namespace

void TMyCarSprite::DrawJumpShadow() {
    TDirectDrawSurface* surface = m_race.Surface();
    if (surface == nullptr)
        return;
    if (m_shadowMask.empty()) {
        // The plain boat's outline: the shadow keeps that size while the boat grows above it.
        const TDirectDrawSurface* plain = m_race.Picture(NormalPictureName()).PatternSurface(0);
        if (plain == nullptr)
            return;
        m_shadowWidth = plain->Width();
        m_shadowHeight = plain->Height();
        m_shadowMask.resize(static_cast<size_t>(m_shadowWidth) * m_shadowHeight);
        for (int y = 0; y < m_shadowHeight; ++y)
            for (int x = 0; x < m_shadowWidth; ++x)
                m_shadowMask[static_cast<size_t>(y) * m_shadowWidth + x] =
                    plain->PixelAt(x, y) == plain->ColorKey() ? 0 : kShadowStrength;
    }
    const double flown = std::clamp(1.0 - static_cast<double>(JumpMs) / kJumpMs, 0.0, 1.0);
    const double lift = std::sin(flown * std::numbers::pi);
    const int x = static_cast<int>(CentreX + kShadowNearX + kShadowRiseX * lift) - m_shadowWidth / 2;
    const int y = static_cast<int>(CentreY + kShadowNearY + kShadowRiseY * lift) - m_shadowHeight / 2;
    DrawCoverage(*surface, x, y, m_shadowMask.data(), m_shadowWidth, m_shadowHeight, kShadowColor);
}

void TMyCarSprite::DrawLandingSplash() {
    const TPictureCollectionItem* splash = m_race.Pictures().Splash;
    if (splash == nullptr)
        return;
    const int patterns = splash->PatternCount();
    const int pattern = std::clamp((kSplashMs - SplashMs) * patterns / kSplashMs, 0, patterns - 1);
    splash->DrawRotated(m_race.Surface(), static_cast<int>(CentreX), static_cast<int>(CentreY),
                        splash->Width(), splash->Height(), pattern, 0.5, 0.5, SteerAngle);
}

void TMyCarSprite::DrawShot() {
    const TRacePictures& pictures = m_race.Pictures();
    TDirectDrawSurface* surface = m_race.Surface();
    const double a = Radians(SteerAngle);
    const double dirX = std::sin(a);
    const double dirY = -std::cos(a);
    const double length = std::hypot(ShotEndX - CentreX, ShotEndY - CentreY);
    if (const TPictureCollectionItem* tracer = pictures.ShotTracer) {
        const double half = tracer->Height() / 2.0;
        const double phase = (FiringTicks % (kTracerGap / kTracerStep)) * kTracerStep;
        for (double d = kMuzzleFromCentre + half + phase; d + half <= length; d += kTracerGap) {
            tracer->DrawRotated(surface, static_cast<int>(CentreX + dirX * d),
                                static_cast<int>(CentreY + dirY * d), tracer->Width(), tracer->Height(), 0,
                                0.5, 0.5, SteerAngle);
        }
    }
    if (ShotHit && pictures.ShotSpark != nullptr) {
        const TPictureCollectionItem* spark = pictures.ShotSpark;
        spark->DrawRotated(surface, static_cast<int>(ShotEndX), static_cast<int>(ShotEndY), spark->Width(),
                           spark->Height(), FiringTicks % spark->PatternCount(), 0.5, 0.5, 0);
    }
}
