#include "race/PlayerBoat.h"
#include "context/DataNames.h"

#include "context/GameState.h"
#include "engine/gfx/ImageList.h"
#include "race/Explosion.h"
#include "race/Heading.h"
#include "race/Race.h"
#include "race/RaceGeometry.h"
#include "race/WallSprite.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

struct TBoatSpec {
    double TopSpeed;
    double Accel;
    double Decel;
    const char* NormalPicture;
    const char* JumpPicture;
};

// The three boats differ only in their looks.
constexpr std::array<TBoatSpec, 3> kBoatSpecs{{
    {kPlainTopSpeed, kPlainAccel, kPlainDecel, PictureName::Boat1_Normal, PictureName::Boat1_Big},
    {kPlainTopSpeed, kPlainAccel, kPlainDecel, PictureName::Boat2_Normal, PictureName::Boat2_Big},
    {kPlainTopSpeed, kPlainAccel, kPlainDecel, PictureName::Boat3_Normal, PictureName::Boat3_Big},
}};

const TBoatSpec& SpecOf(int32_t boatType) {
    return kBoatSpecs[static_cast<size_t>(std::clamp(boatType, 1, 3) - 1)];
}

constexpr int kBoatZ = 4;
// Beyond any power-up's time: an unheld one never shows in the window.
constexpr int32_t kUnheldPowerUpMs = 100000;
constexpr int32_t kPowerUpMs = 10000;
constexpr int32_t kBlastCyclesPerWreck = 2;
constexpr double kBrakeStopSpeed = 0.1;
constexpr int32_t kStraightenStep = 2;
constexpr int32_t kDriftHeading = 14;
constexpr double kBoatBottomMargin = 15;
constexpr double kWakeFramesBase = 5;

// The gun's trace: 2-pixel steps, stopped at the water's edges and the screen.
constexpr double kShotStep = 2;

// The heading's sine and cosine come from tables that reach this far.
static_assert(kMaxSteer + kDriftHeading <= kHeadingTableReach);

} // namespace

TMyCarSprite::TMyCarSprite(TRace& race, int32_t boatType)
    : TImageSprite(&race.Root()), BoatType(std::clamp(boatType, 1, 3)), m_race(race) {
    const TBoatSpec& spec = SpecOf(BoatType);
    Image = &m_race.Picture(spec.NormalPicture);
    Width = Image->Width();
    Height = Image->Height();
    FramePos = 0;
    FirstFrame = 0;
    FrameCount = Image->PatternCount();
    Looping = false;
    FrameSpeed = 0;
    TopSpeed = spec.TopSpeed;
    Accel = spec.Accel;
    Decel = spec.Decel;
    SpeedMode = smNone;
    DriftMs = 0;
    TargetSpeed = 0;
    PlaceAtRandomX();
    Y = kScreenHeight - Height - kBoatBottomMargin;
    SetZ(kBoatZ);
    RefreshCentre();
    SteerLeftHeld = SteerRightHeld = ThrottleHeld = Firing = false;
    Jumping = false;
}

void TMyCarSprite::StartLevel() {
    FinishSpawned = FinishCrossed = CountingDown = false;
    HasGun = HasEngine = HasShield = false;
    BoatState = bsRacing;
    ResetSpecs();
    SteerAngle = 0;
    Speed = 0;
    Distance = 0;
    TargetSpeed = 0;
    SpeedMode = smNone;
    DriftMs = 0;
    ControlEnabled = true;
    SetZ(kBoatZ);
    Visible = true;
}

void TMyCarSprite::HoldControls(bool throttle, bool brake, bool steerLeft, bool steerRight, bool fire) {
    ThrottleHeld = throttle;
    if (brake)
        Brake();
    SteerLeftHeld = steerLeft;
    SteerRightHeld = steerRight;
    if (fire) {
        if (!Firing && HasGun)
            m_race.PlaySound(SoundName::Shot);
        Firing = true;
    } else {
        if (Firing)
            m_race.StopSound(SoundName::Shot);
        Firing = false;
    }
}

void TMyCarSprite::BrakeToStop() {
    SpeedMode = smBrake;
    TargetSpeed = 0;
}

void TMyCarSprite::CrossFinishLine() {
    BoatState = bsFinished;
    BrakeToStop();
    FinishCrossed = true;
}

void TMyCarSprite::SlowHardTo(double speed) {
    SpeedMode = smSlow;
    TargetSpeed = speed;
}

void TMyCarSprite::DriftSlowingTo(bool left, int32_t ms, double speed) {
    SpeedMode = left ? smDriftLeft : smDriftRight;
    DriftMs = ms;
    TargetSpeed = speed;
}

void TMyCarSprite::Stop() {
    Speed = 0;
}

void TMyCarSprite::ParkUnheldPowerUpClocks() {
    if (!HasGun)
        GunMs = kUnheldPowerUpMs;
    if (!HasEngine)
        EngineMs = kUnheldPowerUpMs;
    if (!HasShield)
        ShieldMs = kUnheldPowerUpMs;
}

const char* TMyCarSprite::NormalPictureName() const {
    return SpecOf(BoatType).NormalPicture;
}

void TMyCarSprite::ResetSpecs() {
    const TBoatSpec& spec = SpecOf(BoatType);
    TopSpeed = spec.TopSpeed;
    Accel = spec.Accel;
    Decel = spec.Decel;
}

void TMyCarSprite::RefreshCentre() {
    CentreX = X + Width / 2.0;
    CentreY = Y + Height / 2.0;
}

void TMyCarSprite::PlaceAtRandomX() {
    const int32_t range = static_cast<int32_t>(kWaterRight - kWaterLeft) - Width;
    X = m_race.Random(std::max(range, 1)) + kWaterLeft;
}

void TMyCarSprite::SetBoatPicture(std::string_view name) {
    Image = &m_race.Picture(name);
    Width = Image->Width();
    Height = Image->Height();
}

void TMyCarSprite::Accelerate() {
    if (ControlEnabled && BoatState != bsFinished && Speed < TopSpeed)
        Speed += Accel;
}

void TMyCarSprite::Brake() {
    if (!ControlEnabled)
        return;
    if (Speed < kBrakeStopSpeed)
        Speed = 0;
    else
        Speed -= Decel;
}

void TMyCarSprite::SteerLeft() {
    if (ControlEnabled && !Jumping && SteerAngle > -kMaxSteer)
        SteerAngle -= 1;
}

void TMyCarSprite::SteerRight() {
    if (ControlEnabled && !Jumping && SteerAngle < kMaxSteer)
        SteerAngle += 1;
}

void TMyCarSprite::Boost() {
    if (!ControlEnabled)
        return;
    Speed += 3 * Accel;
    if (Speed > TopSpeed)
        Speed = TopSpeed;
}

void TMyCarSprite::HardSlow() {
    if (!ControlEnabled)
        return;
    if (3 * Decel > Speed)
        Speed = 0;
    else
        Speed -= 3 * Decel;
}

void TMyCarSprite::AddScore(uint16_t points) {
    m_race.Score += points;
}

void TMyCarSprite::SubtractScore(uint16_t points) {
    if (points > m_race.Score)
        m_race.Score = 0;
    else
        m_race.Score -= points;
}

void TMyCarSprite::StartJump() {
    m_race.PlaySound(SoundName::Jump);
    Jumping = true;
    const int oldWidth = Width;
    SetBoatPicture(SpecOf(BoatType).JumpPicture);
    X -= (Width - oldWidth) / 2.0;
    JumpMs = kJumpMs;
    SteerAngle = 0;
    TargetSpeed = std::min(2 * Speed, TopSpeed);
    SpeedMode = smBoost;
}

void TMyCarSprite::EndJump() {
    Jumping = false;
    SplashMs = kSplashMs;
    const int oldWidth = Width;
    SetBoatPicture(SpecOf(BoatType).NormalPicture);
    X += (oldWidth - Width) / 2.0;
}

void TMyCarSprite::GainPowerUp(TPowerUp kind) {
    m_race.PlaySound(SoundName::Bonus);
    switch (kind) {
    case puGun:
        HasGun = true;
        GunMs = kPowerUpMs;
        break;
    case puEngine:
        EngineMs = kPowerUpMs;
        if (!HasEngine) {
            TopSpeed = kEngineTopSpeed;
            Accel *= 2;
            Decel *= 2;
        }
        HasEngine = true;
        break;
    case puShield:
        HasShield = true;
        ShieldMs = kPowerUpMs;
        break;
    }
}

void TMyCarSprite::LosePowerUp(TPowerUp kind, bool audible) {
    if (audible)
        m_race.PlaySound(SoundName::BonusLost);
    switch (kind) {
    case puGun:
        HasGun = false;
        m_race.StopSound(SoundName::Shot);
        break;
    case puEngine:
        HasEngine = false;
        TopSpeed = kPlainTopSpeed;
        Accel /= 2;
        Decel /= 2;
        if (Speed > TopSpeed) {
            SpeedMode = smSlow;
            TargetSpeed = TopSpeed;
        }
        break;
    case puShield:
        HasShield = false;
        break;
    }
}

void TMyCarSprite::TickPowerUps() {
    const int32_t tick = m_race.TickMs();
    auto tickOne = [&](bool held, int32_t& ms, TPowerUp kind) {
        if (!held)
            return;
        if (ms <= 0)
            LosePowerUp(kind, true);
        else
            ms -= tick;
    };
    tickOne(HasGun, GunMs, puGun);
    tickOne(HasEngine, EngineMs, puEngine);
    tickOne(HasShield, ShieldMs, puShield);
}

void TMyCarSprite::Step(int moveCount) {
    TImageSprite::Step(moveCount);
    CountBlastCycles();

    ShotFired = false;
    if (SplashMs > 0)
        SplashMs -= m_race.TickMs();

    TMyCarAnim* wake = m_race.BoatWake;
    if (!Jumping && Speed > 0) {
        if (BoatState == bsRacing)
            wake->Visible = true;
        wake->FrameSpeed = m_race.TickMs() / 1000.0 * (Speed / 4 + kWakeFramesBase);
    } else {
        wake->Visible = false;
    }

    if (Jumping) {
        if (JumpMs > 0)
            JumpMs -= m_race.TickMs();
        else
            EndJump();
    }
    if (!Jumping && HasGun && Firing) {
        FireGun();
        ++FiringTicks;
    } else {
        FiringTicks = 0;
    }
    TickPowerUps();
    if (ThrottleHeld)
        Accelerate();
    if (BoatState == bsRacing || (BoatState == bsFinished && Speed > 0))
        Steer();
    if (BoatState == bsWrecked)
        WreckAftermath();
    // A wreck that ends the race has opened the game-over message; nothing else moves.
    RefreshCentre();

    LateralStep = HeadingSin(SteerAngle) * Speed * m_race.SpeedScale();
    ScrollStep = Speed * m_race.SpeedScale();
    KeepOffBanks();
    X += LateralStep;
    Distance += ScrollStep;
    m_race.Track().RowDistance += ScrollStep;

    if (SpeedMode == smNone && FinishCrossed) {
        Speed = 0;
        ControlEnabled = false;
        CountingDown = true;
    }
    RunSpeedPrograms();
}

void TMyCarSprite::CountBlastCycles() {
    TExplosion* blast = m_race.PlayerBlast;
    if (!blast->Visible)
        return;
    // The looping blast has wrapped: one more cycle played.
    if (blast->FramePos < m_lastBlastFramePos)
        BlastCycles -= 1;
    m_lastBlastFramePos = blast->FramePos;
}

void TMyCarSprite::Steer() {
    if (SteerLeftHeld && SteerAngle <= 0) {
        SteerLeft();
    } else if (SteerRightHeld && SteerAngle >= 0) {
        SteerRight();
    } else if (SteerAngle > 1) {
        SteerAngle -= kStraightenStep;
    } else if (SteerAngle < -1) {
        SteerAngle += kStraightenStep;
    } else {
        SteerAngle = 0;
    }
}

void TMyCarSprite::WreckAftermath() {
    TExplosion* blast = m_race.PlayerBlast;
    if (BlastCycles == 1) {
        // Second cycle: the blast settles on the water where the boat sat.
        blast->Y = Y + (Height - blast->Height);
    } else if (BlastCycles <= 0) {
        if (m_race.Lives <= 0) {
            blast->Visible = false;
            m_race.Lives = 0;
            m_race.OpenMessage(msgGameOver);
        } else {
            Respawn();
        }
    }
}

void TMyCarSprite::KeepOffBanks() {
    const double m = HeadingSin(SteerAngle) * Height / 3.0;
    if (X + Width > kWaterRight - m)
        X = kWaterRight - m - Width;
    if (X < kWaterLeft - m)
        X = kWaterLeft - m;
}

void TMyCarSprite::RunSpeedPrograms() {
    switch (SpeedMode) {
    case smNone:
        break;
    case smBrake:
        if (Speed > TargetSpeed)
            Brake();
        else
            SpeedMode = smNone;
        break;
    case smBoost:
        if (Speed >= TargetSpeed)
            SpeedMode = smNone;
        else
            Boost();
        break;
    case smSlow:
        if (Speed > TargetSpeed)
            HardSlow();
        else
            SpeedMode = smNone;
        break;
    case smDriftLeft:
    case smDriftRight:
        if (Speed > TargetSpeed)
            HardSlow();
        else
            Speed = TargetSpeed;
        if (DriftMs > 0) {
            DriftMs -= m_race.TickMs();
            SteerAngle = SpeedMode == smDriftLeft ? -kDriftHeading : kDriftHeading;
        }
        if (Speed == TargetSpeed && DriftMs <= 0)
            SpeedMode = smNone;
        break;
    }
}

bool TMyCarSprite::TracePoint(double x, double y) {
    TRaceTrack& track = m_race.Track();
    for (int32_t i = 1; i <= TRaceTrack::kSlotCount; ++i) {
        if (!track.WallSlotUsed[i])
            continue;
        TWallSprite* wall = track.WallSlots[i];
        if (wall->ShotProof)
            continue;
        if (wall->X < x && x < wall->X + wall->Width && wall->Y < y && y < wall->Y + wall->Height) {
            if (!wall->Exploded) {
                wall->Explode();
                m_race.ScoreShot(*wall);
            }
            return true;
        }
    }
    return false;
}

void TMyCarSprite::FireGun() {
    const double dx = kShotStep * HeadingSin(SteerAngle);
    const double dy = kShotStep * HeadingCos(SteerAngle);
    double x = CentreX;
    double y = CentreY;
    for (;;) {
        x += dx;
        y -= dy;
        const bool hit = TracePoint(x, y);
        if (hit || x > kShotRight || x < kShotLeft || y > kScreenHeight || y < 0) {
            ShotFired = true;
            ShotHit = hit;
            ShotEndX = x;
            ShotEndY = y;
            return;
        }
    }
}

void TMyCarSprite::Wreck() {
    if (HasShield || BoatState == bsWrecked || BoatState == bsFinished)
        return;
    if (HasGun)
        LosePowerUp(puGun, false);
    if (HasEngine)
        LosePowerUp(puEngine, false);
    m_race.StopSound(SoundName::WallExplosion);
    m_race.PlaySound(SoundName::PlayerExplosion);
    Speed = LateralStep = ScrollStep = 0;
    SpeedMode = smNone;
    BoatState = bsWrecked;
    ControlEnabled = false;
    TExplosion* blast = m_race.PlayerBlast;
    blast->X = X;
    blast->Y = CentreY - blast->Height / 2.0;
    blast->Visible = true;
    blast->FramePos = 0;
    m_lastBlastFramePos = 0;
    Visible = false;
    m_race.BoatWake->Visible = false;
    BlastCycles = kBlastCyclesPerWreck;
    if (m_race.Lives > 0)
        m_race.Lives -= 1;
}

void TMyCarSprite::Respawn() {
    BoatState = bsRacing;
    Jumping = false;
    Visible = true;
    ControlEnabled = true;
    PlaceAtRandomX();
    SteerAngle = 0;
    m_race.PlayerBlast->Visible = false;
}

void TMyCarSprite::Render() {
    TDirectDrawSurface* surface = m_race.Surface();
    const TRacePictures& pictures = m_race.Pictures();
    const int cx = static_cast<int>(CentreX);
    const int cy = static_cast<int>(CentreY);
    const int midY = static_cast<int>(Y + Height / 2.0);
    auto drawAttachment = [&](const TPictureCollectionItem* picture, int x, int y, int pattern, double pivotX,
                              double pivotY, int angle) {
        picture->DrawRotated(surface, x, y, picture->Width(), picture->Height(), pattern, pivotX, pivotY,
                             angle);
    };

    // Beneath the boat: its shadow while it flies, the foam where it has landed.
    if (Jumping)
        DrawJumpShadow();
    else if (SplashMs > 0)
        DrawLandingSplash();
    Image->DrawRotated(surface, cx, cy, Width, Height, 0, 0.5, 0.5, SteerAngle);
    if (HasEngine && !Jumping && BoatState == bsRacing && (ThrottleHeld || Speed > kPlainTopSpeed)) {
        drawAttachment(pictures.EngineFire, static_cast<int>(CentreX - 2), midY,
                       static_cast<int>(m_race.EngineFlameClock->FramePos), 0.5, -1.2, SteerAngle - 1);
    }
    if (HasGun)
        drawAttachment(Jumping ? pictures.BoatGunBig : pictures.BoatGun, cx, cy, 0, 0.5, 0.5, SteerAngle);
    if (HasShield) {
        const TPictureCollectionItem* shield = Jumping ? pictures.BoatShieldBig : pictures.BoatShield;
        const int k = Jumping ? 0 : 1;
        drawAttachment(shield, static_cast<int>(CentreX + k), midY, 0, 0.5, (Height / 2.0) / shield->Height(),
                       SteerAngle);
    }
    if (HasEngine)
        drawAttachment(Jumping ? pictures.BoatEngineBig : pictures.BoatEngine, cx, midY, 0, 0.5, 0,
                       SteerAngle);
    if (HasGun && Firing) {
        drawAttachment(pictures.BoatGunFire, static_cast<int>(CentreX - 1), cy,
                       static_cast<int>(m_race.GunFlashClock->FramePos), 0.5, 1.4, SteerAngle);
        if (ShotFired)
            DrawShot();
    }
}

TMyCarAnim::TMyCarAnim(TRace& race, std::string_view pictureName, int32_t x, int32_t y, int32_t z)
    : TImageSprite(&race.Root()), m_race(race) {
    Image = &m_race.Picture(pictureName);
    Width = Image->Width();
    Height = Image->Height();
    X = x;
    Y = y;
    SetZ(z);
    FramePos = 0;
    FrameCount = Image->PatternCount();
    FrameSpeed = m_race.TickMs() / 1000.0;
    Looping = true;
}

void TMyCarAnim::Step(int moveCount) {
    TImageSprite::Step(moveCount);
    const TMyCarSprite& boat = *m_race.PlayerBoat;
    X = boat.X - (kWakeWidth - boat.Width) / 2;
}

void TMyCarAnim::Render() {
    const TMyCarSprite& boat = *m_race.PlayerBoat;
    Image->DrawRotated(m_race.Surface(), static_cast<int>(boat.CentreX), static_cast<int>(boat.CentreY),
                       Width, Height, static_cast<int>(FramePos), 0.5, 0.5, boat.SteerAngle);
}
