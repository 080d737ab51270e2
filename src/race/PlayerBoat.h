#pragma once

#include "engine/sprite/Sprite.h"

#include <cstdint>
#include <string_view>
#include <vector>

class TRace;
class TWallSprite;

enum TBoatState : uint8_t { bsRacing = 0, bsWrecked = 1, bsFinished = 2 };

// Automatic speed programs started by collisions and the finish.
enum TSpeedMode : int32_t {
    smNone = 0,
    smBrake = -5,     // brake to TargetSpeed
    smBoost = -4,     // boost to TargetSpeed
    smSlow = -3,      // slow hard to TargetSpeed
    smDriftLeft = -2, // slow hard to TargetSpeed, turned left while DriftMs lasts
    smDriftRight = 2,
};

enum TPowerUp : int { puGun = 0, puEngine = 1, puShield = 2 };

constexpr double kPlainTopSpeed = 125.0 / 7;
constexpr double kEngineTopSpeed = 150.0 / 7;
constexpr double kPlainAccel = 0.06;
constexpr double kPlainDecel = 0.2;
constexpr int32_t kMaxSteer = 25;
constexpr int32_t kJumpMs = 1500;
// The foam after a landing lasts this long.
constexpr int32_t kSplashMs = 450;
// The spray beneath the boat is centred on it by this width.
constexpr double kWakeWidth = 84;

// The player's boat: speed, heading, the scroll it imposes on the course, the speed
// programs, the jump, the power-ups, the gun and the wreck.
class TMyCarSprite : public TImageSprite {
  public:
    TMyCarSprite(TRace& race, int32_t boatType);

    void Render() override;
    void Step(int moveCount) override;

    void Accelerate();
    void Brake();
    void SteerLeft();
    void SteerRight();
    void Boost();
    void HardSlow();
    void StartJump();
    void EndJump();
    void GainPowerUp(TPowerUp kind);
    void LosePowerUp(TPowerUp kind, bool audible);
    void TickPowerUps();
    void Wreck();
    void Respawn();
    void PlaceAtRandomX();
    void SetBoatPicture(std::string_view name);
    void AddScore(uint16_t points);
    void SubtractScore(uint16_t points);
    void FireGun();
    // The boat's own picture, out of the air.
    const char* NormalPictureName() const;
    // Restores the boat's own speed limits.
    void ResetSpecs();

    // What the race and the walls do to the boat.
    // A level starts: no power-ups, no speed, heading straight up, the boat's own limits, racing
    // and shown (a restart during a wreck must not leave it hidden). It keeps its place, its
    // picture and its jump.
    void StartLevel();
    // The player's controls for this tick (fire sounds the gun when it starts, if the boat has one).
    void HoldControls(bool throttle, bool brake, bool steerLeft, bool steerRight, bool fire);
    // The time is up: brakes to a stop.
    void BrakeToStop();
    // Over the finish line: brakes to a stop, after which the time bonus counts.
    void CrossFinishLine();
    // Slows hard to a speed (a tree, a flag).
    void SlowHardTo(double speed);
    // Turned aside for ms while it slows hard to a speed (weed).
    void DriftSlowingTo(bool left, int32_t ms, double speed);
    // Stops dead.
    void Stop();
    // A power-up the boat does not hold gets a clock no held one reaches, so that only held ones
    // can win the power-up window.
    void ParkUnheldPowerUpClocks();

    int32_t BoatType;
    TBoatState BoatState = bsRacing;
    int32_t BlastCycles = 0;
    int32_t JumpMs = 0;
    bool FinishSpawned = false;
    bool FinishCrossed = false;
    bool CountingDown = false;
    bool ControlEnabled = true;
    bool Jumping = false;
    double CentreX = 0;
    double CentreY = 0;
    int32_t SteerAngle = 0; // 1/256 of a turn, negative to the left
    double Speed = 0;
    double LateralStep = 0;
    double ScrollStep = 0;
    double Distance = 0;
    bool SteerLeftHeld = false;
    bool SteerRightHeld = false;
    bool ThrottleHeld = false;
    bool Firing = false;
    bool HasGun = false;
    bool HasEngine = false;
    bool HasShield = false;
    int32_t GunMs = 0;
    int32_t EngineMs = 0;
    int32_t ShieldMs = 0;
    double Accel = kPlainAccel;
    double Decel = kPlainDecel;
    double TopSpeed = kPlainTopSpeed;
    TSpeedMode SpeedMode = smNone;
    double DriftMs = 0;
    double TargetSpeed = 0;

    // For drawing only; the race never reads these. This tick's shot: whether one was fired,
    // where it ended and whether it ended on something it hit; how many ticks in a row the gun
    // has fired (the tracer rounds' phase); what is left of the splash after a landing.
    bool ShotFired = false;
    bool ShotHit = false;
    double ShotEndX = 0;
    double ShotEndY = 0;
    int32_t FiringTicks = 0;
    int32_t SplashMs = 0;

  private:
    void CountBlastCycles();
    void Steer();
    void WreckAftermath();
    void KeepOffBanks();
    void RunSpeedPrograms();
    void RefreshCentre();
    bool TracePoint(double x, double y);
    // The effects drawn around the boat (BoatEffects.cpp): its shadow on the water while it is in
    // the air, the splash when it lands, and the shot's tracer rounds and their strike.
    void DrawJumpShadow();
    void DrawLandingSplash();
    void DrawShot();

    TRace& m_race;
    double m_lastBlastFramePos = 0;
    // The boat's outline as a coverage mask, for its shadow; made at the first jump.
    std::vector<uint8_t> m_shadowMask;
    int m_shadowWidth = 0;
    int m_shadowHeight = 0;
};

// The spray beneath the boat, turned with it; also the frame clock of the traffic wakes.
class TMyCarAnim : public TImageSprite {
  public:
    TMyCarAnim(TRace& race, std::string_view pictureName, int32_t x, int32_t y, int32_t z);

    void Render() override;
    void Step(int moveCount) override;

  private:
    TRace& m_race;
};
