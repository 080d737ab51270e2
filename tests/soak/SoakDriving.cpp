#include "soak/SoakPlayer.h"

#include "app/GameFixture.h"
#include "app/MForm.h"
#include "engine/platform/KeyCodes.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/WallSprite.h"

// The player at the helm: throttle mostly on, steering that changes every few ticks, fire in
// bursts, now and then a pause or the finish question, and the two ways of ending a race.

namespace {
// Letting the clock take every life needs this much of the run's time left (three lives of
// the longer levels).
constexpr uint64_t kClockRunOutMs = 6ull * 60 * 1000;
// How far ahead the attentive driver looks, and the speed at which a bridge lets the boat pass.
constexpr double kLookAhead = 260;
constexpr double kSideMargin = 14;
constexpr double kBridgeSpeed = 6.5;

bool Slows(uint8_t kind) {
    return kind == wkTree || kind == wkFlag || kind == wkWeed || kind == wkDuck;
}
bool Wrecks(const TWallSprite& wall) {
    return wall.Kind == wkFisher || wall.Kind == wkShip || wall.Kind == wkBridge || wall.IsTraffic();
}
} // namespace

void TSoakPlayer::DecideRace() {
    const uint64_t raceMs = m_stats.SimulatedMs - m_raceStartMs;
    if (m_ending == TEnding::None && raceMs > m_raceBudgetMs)
        m_ending = Chance(0.5) && m_stats.SimulatedMs + kClockRunOutMs < m_budgetMs ? TEnding::LetClockRun
                                                                                    : TEnding::AskToFinish;
    // Once the whole run's time is spent, the race is ended the quick way.
    if (BudgetSpent())
        m_ending = TEnding::AskToFinish;

    if (m_ending == TEnding::AskToFinish) {
        if (m_waitTicks == 0) {
            ReleaseAll();
            Tap(vk::Escape);
            Wait(5, 15);
        }
        return;
    }
    if (m_ending == TEnding::LetClockRun) {
        // Stop and wait for the clock: time over, then game over.
        Hold(vk::Up, false);
        Hold(vk::Space, false);
        Hold(vk::Control, false);
        Hold(vk::Left, false);
        Hold(vk::Right, false);
        Hold(vk::Down, true);
        return;
    }
    if (m_waitTicks == 0 && Chance(1.0 / 2500)) {
        Tap('P');
        return;
    }
    if (m_waitTicks == 0 && Chance(1.0 / 3000)) {
        Tap(vk::Escape);
        return;
    }
    Drive();
}

void TSoakPlayer::Drive() {
    if (--m_throttleTicks <= 0) {
        m_throttle = Chance(m_throttleShare);
        m_throttleTicks = Between(20, 150);
    }
    if (m_brakeTicks > 0)
        --m_brakeTicks;
    else if (Chance(0.002))
        m_brakeTicks = Between(5, 40);

    bool slowForBridge = false;
    const int avoid = m_attentive ? SteerAroundObstacles(slowForBridge) : 0;
    if (avoid != 0) {
        m_steer = avoid;
        m_steerTicks = Between(2, 5);
    } else if (--m_steerTicks <= 0) {
        const int pick = Between(0, 9);
        m_steer = pick < 3 ? -1 : (pick < 7 ? 0 : 1);
        m_steerTicks = Between(3, 15);
    }

    if (m_fireTicks > 0) {
        --m_fireTicks;
    } else if (Chance(0.012)) {
        m_fireTicks = Between(10, 90);
        m_fireWithCtrl = Chance(0.25);
    }

    const TMyCarSprite* boat = Race().PlayerBoat;
    const bool tooFastForBridge = slowForBridge && boat != nullptr && boat->Speed > kBridgeSpeed;
    Hold(vk::Up, m_throttle && !slowForBridge);
    Hold(vk::Down, m_brakeTicks > 0 || tooFastForBridge);
    Hold(vk::Left, m_steer < 0);
    Hold(vk::Right, m_steer > 0);
    const bool fire = m_fireTicks > 0;
    Hold(vk::Space, fire && !m_fireWithCtrl);
    Hold(vk::Control, fire && m_fireWithCtrl);
}

int TSoakPlayer::SteerAroundObstacles(bool& slowForBridge) {
    const TMyCarSprite* boat = Race().PlayerBoat;
    if (boat == nullptr || !boat->Visible)
        return 0;
    const double left = boat->X;
    const double right = boat->X + boat->Width;
    const double centre = (left + right) / 2;
    const TRaceTrack& track = Race().Track();
    const TWallSprite* threat = nullptr;
    const TWallSprite* prize = nullptr;
    for (int32_t slot = 1; slot <= TRaceTrack::kSlotCount; ++slot) {
        if (!track.WallSlotUsed[slot])
            continue;
        const TWallSprite& wall = *track.WallSlots[slot];
        if (wall.Exploded || wall.OnShore || wall.Collected || !wall.Collidable)
            continue;
        const bool ahead = wall.Y + wall.Height > boat->Y - kLookAhead && wall.Y < boat->Y + boat->Height;
        if (!ahead)
            continue;
        if (wall.Kind == wkBridge)
            slowForBridge = true;
        const bool inLane = wall.X - kSideMargin < right && wall.X + wall.Width + kSideMargin > left;
        if ((Wrecks(wall) || Slows(wall.Kind)) && inLane) {
            if (threat == nullptr || wall.Y > threat->Y)
                threat = &wall;
        } else if (wall.BonusBox && (prize == nullptr || wall.Y > prize->Y)) {
            prize = &wall;
        }
    }
    if (threat != nullptr) {
        const double wallCentre = threat->X + threat->Width / 2.0;
        // Away from the obstacle, unless the bank leaves no room on that side.
        int away = wallCentre < centre ? 1 : -1;
        if (away > 0 && threat->X + threat->Width + boat->Width > kRiverRight)
            away = -1;
        else if (away < 0 && threat->X - boat->Width < kRiverLeft)
            away = 1;
        return away;
    }
    if (prize != nullptr) {
        const double prizeCentre = prize->X + prize->Width / 2.0;
        if (prizeCentre < left)
            return -1;
        if (prizeCentre > right)
            return 1;
    }
    return 0;
}
