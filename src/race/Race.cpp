#include "race/Race.h"
#include "context/DataNames.h"

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"
#include "engine/input/GameInput.h"
#include "engine/sprite/Sprite.h"
#include "race/Explosion.h"
#include "race/PlayerBoat.h"
#include "race/RaceHud.h"
#include "race/WallSprite.h"

#include <algorithm>
#include <string>

namespace {

constexpr int32_t kBaseLevelMs = 60000;
constexpr int32_t kLevelMsStep = 30000;
constexpr int32_t kBaseTrackLength = 24000;
constexpr int32_t kTrackLengthStep = 24000;

constexpr double kScrollBackX = 124;
constexpr double kMarkerStartY = 322;
constexpr double kMarkerFinishY = 41;
constexpr double kMarkerTravel = kMarkerStartY - kMarkerFinishY;
constexpr double kMarkerCentreX = 736;
constexpr int kRightPanelRight = 799;
// The needle's own sprite (hidden; its picture is drawn turned about the dial's centre).
constexpr double kNeedleX = kSpeedDialX + 4;
constexpr double kNeedleY = kSpeedDialY - 4;

constexpr int kDepthPanel = 3;
constexpr int kDepthGauge = 4;
constexpr int kDepthFlame = 6;
constexpr int kDepthGunFlash = 7;
constexpr int kDepthBlast = 6;
constexpr double kWakeClockFramesPerSecond = 5;
constexpr double kGunFlashFramesPerSecond = 30;
constexpr double kFlameBelowCentre = 41;

// The tick sounds for the last ten seconds; the time bonus counts ten times faster.
constexpr int32_t kTickSoundFromMs = 10000;
constexpr int32_t kBonusSpeedUp = 10;
constexpr uint16_t kBonusPointsPerStep = 5;
constexpr int kFireButton = 8;

// The engine's hum follows the boat: idling it runs slower, lower and at half its level; at the
// plain top speed it sounds as recorded, and the engine power-up's extra speed revs it higher still
// at the same level.
constexpr double kEngineIdleRate = 0.6;
constexpr double kEngineTopRate = 1.0;
constexpr double kEngineIdleVolume = 0.5;

} // namespace

TRace::TRace(TGameContext& context) : m_context(context), m_track(*this) {}

TRace::~TRace() = default;

int32_t TRace::LevelTime(int32_t level) {
    return kBaseLevelMs + kLevelMsStep * ((level - 1) / 2);
}

int32_t TRace::TrackLength(int32_t level) {
    return kBaseTrackLength + kTrackLengthStep * ((level - 1) / 2);
}

TSpriteEngine& TRace::Root() {
    return m_context.MSpriteEngine().Engine();
}

TPictureCollectionItem& TRace::Picture(std::string_view name) {
    return m_context.MImageList3().Items.Find(name);
}

TDirectDrawSurface* TRace::Surface() {
    return Root().Surface();
}

int32_t TRace::Random(int32_t range) {
    return m_random.Random(range);
}

void TRace::PlaySound(std::string_view name) {
    if (OnSoundPlayed)
        OnSoundPlayed(name);
    m_context.Audio().PlaySound(std::string(name));
}

void TRace::StopSound(std::string_view name) {
    m_context.Audio().StopSound(std::string(name));
}

void TRace::OpenMessage(TMessageMode mode) {
    m_context.OpenMessage(mode);
}

int32_t TRace::TickMs() const {
    return m_context.TickView().TickMs;
}

double TRace::SpeedScale() const {
    return m_context.TickView().SpeedScale;
}

double TRace::ScrollStep() const {
    return PlayerBoat != nullptr ? PlayerBoat->ScrollStep : 0;
}

void TRace::LoadPictures() {
    TRacePictures p;
    p.BoxLeft = &Picture(PictureName::BoxLeft);
    p.BoxRight = &Picture(PictureName::BoxRight);
    for (size_t i = 0; i < p.Bonus.size(); ++i)
        p.Bonus[i] = &Picture(BonusPictureOf(static_cast<TWallKind>(wkBox10 + i)));
    p.BoatAnim = &Picture(PictureName::BoatAnim);
    p.BoatAnimInv = &Picture(PictureName::BoatAnim_Inv);
    p.EngineFire = &Picture(PictureName::EngineFire);
    p.BoatGun = &Picture(PictureName::BoatGun);
    p.BoatGunBig = &Picture(PictureName::BoatGunBig);
    p.BoatShield = &Picture(PictureName::BoatShield);
    p.BoatShieldBig = &Picture(PictureName::BoatShieldBig);
    p.BoatEngine = &Picture(PictureName::BoatEngine);
    p.BoatEngineBig = &Picture(PictureName::BoatEngineBig);
    p.BoatGunFire = &Picture(PictureName::BoatGunFire);
    p.ShotTracer = &Picture(PictureName::ShotTracer);
    p.ShotSpark = &Picture(PictureName::ShotSpark);
    p.Splash = &Picture(PictureName::Splash);
    m_pictures = p;
}

TCaptionSprite* TRace::CreateCaption(std::string_view picture, double x, double y, int z, bool visible) {
    auto* caption = new TCaptionSprite(m_context, std::string(picture));
    caption->X = x;
    caption->Y = y;
    caption->SetZ(z);
    caption->Visible = visible;
    return caption;
}

void TRace::StartRace() {
    m_random.Seed(RaceSeed);
    LoadPictures();
    TuneEngineSound(0);
    PlaySound(SoundName::Engine);
    m_context.ChangeScreen(gsRace);
    m_context.Audio().PlayScreenMusic();
    m_context.Screen().ButtonCount = 0;
    m_context.HideMouseCursor();

    TScrollBackground& back = m_context.ScrollBack();
    back.Image = &Picture(PictureName::Land);
    back.X = kScrollBackX;
    back.CourseScroll = [this] { return ScrollStep(); };

    LeftHudPanel = CreateCaption(PictureName::LeftPanel, 0, 0, kDepthPanel, true);
    RightHudPanel = CreateCaption(PictureName::RightPanel, 0, 0, kDepthPanel, true);
    RightHudPanel->X = kRightPanelRight - RightHudPanel->Width;
    ProgressMarker = CreateCaption(PictureName::BoatSmall, 0, kMarkerStartY, kDepthGauge, true);
    ProgressMarker->X = kMarkerCentreX - ProgressMarker->Width / 2.0;
    SpeedNeedle = CreateCaption(PictureName::Pointer, 0, kNeedleY, kDepthGauge, false);
    SpeedNeedle->X = kNeedleX - SpeedNeedle->Width;
    NeedleWobbleMs = -1;
    NeedleWobble = 0;

    PlayerBoat = new TMyCarSprite(*this, SelectedBoat);
    TMyCarSprite& boat = *PlayerBoat;

    const auto wakeX = static_cast<int32_t>(boat.X - (kWakeWidth - boat.Width) / 2);
    const auto wakeY = static_cast<int32_t>(boat.Y);
    BoatWake = new TMyCarAnim(*this, PictureName::CarAnim, wakeX, wakeY, boat.Z());
    BoatWake->Visible = false;
    WakeClock = new TMyCarAnim(*this, PictureName::CarAnim, wakeX, wakeY, boat.Z());
    WakeClock->FrameSpeed = TickMs() / 1000.0 * kWakeClockFramesPerSecond;
    WakeClock->Visible = false;

    EngineFlameClock = new TExplosion(*this, PictureName::EngineFire, static_cast<int32_t>(boat.X),
                                      static_cast<int32_t>(boat.Y));
    EngineFlameClock->X = boat.CentreX - EngineFlameClock->Width / 2.0;
    EngineFlameClock->Y = boat.CentreY + kFlameBelowCentre;
    EngineFlameClock->SetZ(kDepthFlame);
    EngineFlameClock->Visible = false;

    GunFlashClock = new TExplosion(*this, PictureName::BoatGunFire, boat.X, boat.Y);
    GunFlashClock->SetZ(kDepthGunFlash);
    GunFlashClock->FrameSpeed = TickMs() / 1000.0 * kGunFlashFramesPerSecond;
    GunFlashClock->Visible = false;

    GunPanel = CreateCaption(PictureName::PanelGun, 721, 416, kDepthGauge, false);
    EnginePanel = CreateCaption(PictureName::PanelEngine, 713, 414, kDepthGauge, false);
    ShieldPanel = CreateCaption(PictureName::PanelShield, 715, 414, kDepthGauge, false);
    NoPowerUpPanel = CreateCaption(PictureName::None, 710, 426, kDepthGauge, false);

    SpareBlast = new TExplosion(*this, PictureName::ExplosionMicro, 400, 300);
    PlayerBlast = new TExplosion(*this, PictureName::ExplosionBig, 400, 300);
    PlayerBlast->SetZ(kDepthBlast);
    PlayerBlast->Visible = false;

    m_track.WallSlotUsed.fill(false);
    m_track.WallSlots.fill(nullptr);
    m_context.SetTimerEnabled(true);
    DrawSpeedNeedle();
    Score = 0;
    Lives = 3;
    StartLevel(1);
}

void TRace::StartLevel(int32_t level) {
    PlayerBoat->StartLevel();
    Level = level;
    m_track.RowDistance = 0;
    m_track.RowCount = 0;
    TimeLeftMs = LevelTime(level);
    m_timeOutPaidByWreck = false;
    BoatWake->Visible = false;
    PlayerBlast->Visible = false;
    ProgressMarker->Y = kMarkerStartY;
    m_track.FreeAllWalls();
    FinishLineY = -100;
    m_track.SetSpawnWeights(level);
    OpenMessage(msgLevel);
}

void TRace::RaceTick(int lagCount) {
    const TTickView& view = m_context.TickView();
    if (view.PausePressed)
        OpenMessage(msgPause);
    if (view.EscPressed)
        OpenMessage(msgFinishRace);
    m_context.Frame().DrawFrame(lagCount, true);
    RaceTickAfterFrame();
}

void TRace::RaceTickAfterFrame() {
    const TTickView& view = m_context.TickView();
    if (m_context.Frame().CanDraw()) {
        DrawSpeedNeedle();
        DrawRaceHud();
        DrawPowerUpPanel();
    }
    if (view.MessageMode == msgNone) {
        TMyCarSprite& boat = *PlayerBoat;
        if (ProgressMarker->Y > kMarkerFinishY)
            ProgressMarker->Y = kMarkerStartY - boat.Distance * kMarkerTravel / TrackLength(Level);
        if (!boat.CountingDown)
            RunClock();
        else
            RunTimeBonus();
        if (boat.Y < FinishLineY && !boat.FinishCrossed) {
            PlaySound(SoundName::Finish);
            boat.CrossFinishLine();
        }
        boat.ParkUnheldPowerUpClocks();
        ReadControls();
        m_track.SpawnScenery();
        m_track.SpawnTrack();
        m_track.RemoveSpentWalls();
    }
    TuneEngineSound(PlayerBoat->Speed);
    m_context.Frame().PresentFrame();
}

void TRace::TuneEngineSound(double speed) {
    const double x = std::clamp(speed / kPlainTopSpeed, 0.0, kEngineTopSpeed / kPlainTopSpeed);
    m_context.Audio().TuneSound(SoundName::Engine, kEngineIdleRate + (kEngineTopRate - kEngineIdleRate) * x,
                                kEngineIdleVolume + (1 - kEngineIdleVolume) * std::min(x, 1.0));
}

void TRace::RunClock() {
    TMyCarSprite& boat = *PlayerBoat;
    const int32_t tick = TickMs();
    if (TimeLeftMs > 0) {
        if (TimeLeftMs < kTickSoundFromMs && (TimeLeftMs - tick) / 1000 < TimeLeftMs / 1000)
            PlaySound(SoundName::Tick);
        TimeLeftMs -= tick;
    } else if (boat.BoatState == bsWrecked) {
        // The wreck has taken this level's life; the blast plays out before the time-out.
        m_timeOutPaidByWreck = true;
    } else if (boat.Speed > 0) {
        boat.BrakeToStop();
    } else if (boat.Y > FinishLineY) {
        TimeOut();
    }
}

void TRace::TimeOut() {
    if (!m_timeOutPaidByWreck && Lives > 0)
        Lives -= 1;
    m_timeOutPaidByWreck = false;
    OpenMessage(Lives == 0 ? msgGameOver : msgTimeOver);
}

void TRace::RunTimeBonus() {
    const int32_t step = kBonusSpeedUp * TickMs();
    if (TimeLeftMs > 0) {
        if ((TimeLeftMs - step) / 1000 < TimeLeftMs / 1000)
            PlaySound(SoundName::Tick);
        TimeLeftMs -= step;
        PlayerBoat->AddScore(kBonusPointsPerStep);
    } else {
        StartLevel(Level + 1);
    }
}

void TRace::ReadControls() {
    const TGameInput& input = m_context.MInput();
    const bool fire = input.IsOn(InputButton(kFireButton)) || m_context.TickView().CtrlHeld;
    PlayerBoat->HoldControls(input.IsOn(isUp), input.IsOn(isDown), input.IsOn(isLeft), input.IsOn(isRight),
                             fire);
}

void TRace::OnTimeOverEnded() {
    StartLevel(Level);
}

void TRace::AnimateExplosions(int lagCount) {
    if (PlayerBlast == nullptr)
        return;
    PlayerBlast->Move(lagCount);
    for (int32_t i = 1; i <= TRaceTrack::kSlotCount; ++i) {
        if (m_track.WallSlotUsed[i] && m_track.WallSlots[i]->Exploded)
            m_track.WallSlots[i]->Move(lagCount);
    }
    m_track.RemoveSpentWalls();
}

void TRace::ScoreShot(const TWallSprite& wall) {
    PlayerBoat->AddScore(static_cast<uint16_t>(ShotScore(wall)));
}

void TRace::FreeRaceSprites() {
    m_context.ScrollBack().CourseScroll = nullptr;
    m_track.FreeAllWalls();
    auto free = [](auto*& sprite) {
        delete sprite;
        sprite = nullptr;
    };
    free(LeftHudPanel);
    free(RightHudPanel);
    free(ProgressMarker);
    free(SpeedNeedle);
    free(PlayerBoat);
    free(BoatWake);
    free(WakeClock);
    free(EngineFlameClock);
    free(GunFlashClock);
    free(GunPanel);
    free(EnginePanel);
    free(ShieldPanel);
    free(NoPowerUpPanel);
    free(SpareBlast);
    free(PlayerBlast);
}
