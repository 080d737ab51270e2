#pragma once

#ifdef SPRAYDASH_MENUS_LIBRARY
#error "the menus start a race through TGameContext::StartRace, not through the race"
#endif

#include "context/GameRandom.h"
#include "context/GameState.h"
#include "race/Track.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

class TGameContext;
class TSprite;
class TSpriteEngine;
class TImageSprite;
class TCaptionSprite;
class TDirectDrawSurface;
class TPictureCollectionItem;
class TMyCarSprite;
class TMyCarAnim;
class TExplosion;
class TWallSprite;

// Pictures drawn every frame by the race's own Render code, looked up once per race.
struct TRacePictures {
    const TPictureCollectionItem* BoxLeft = nullptr;
    const TPictureCollectionItem* BoxRight = nullptr;
    // Bonus pictures of the box kinds 8..15.
    std::array<const TPictureCollectionItem*, 8> Bonus{};
    const TPictureCollectionItem* BoatAnim = nullptr;
    const TPictureCollectionItem* BoatAnimInv = nullptr;
    const TPictureCollectionItem* EngineFire = nullptr;
    const TPictureCollectionItem* BoatGun = nullptr;
    const TPictureCollectionItem* BoatGunBig = nullptr;
    const TPictureCollectionItem* BoatShield = nullptr;
    const TPictureCollectionItem* BoatShieldBig = nullptr;
    const TPictureCollectionItem* BoatEngine = nullptr;
    const TPictureCollectionItem* BoatEngineBig = nullptr;
    const TPictureCollectionItem* BoatGunFire = nullptr;
    const TPictureCollectionItem* ShotTracer = nullptr;
    const TPictureCollectionItem* ShotSpark = nullptr;
    const TPictureCollectionItem* Splash = nullptr;
};

// The race screen: its globals, levels, clock, score and HUD, and the race's sprites.
// Sprites hang under the engine root and are freed by FreeRaceSprites.
class TRace {
  public:
    explicit TRace(TGameContext& context);
    ~TRace();
    TRace(const TRace&) = delete;
    TRace& operator=(const TRace&) = delete;

    static int32_t LevelTime(int32_t level);
    static int32_t TrackLength(int32_t level);

    // Builds the race screen for SelectedBoat and starts level 1; the race's own random
    // generator starts from RaceSeed, so the seed and the inputs decide the whole race.
    void StartRace();
    // Resets the course, the boat and the clock for a level and shows its banner.
    void StartLevel(int32_t level);
    // One frame-timer tick of the race screen while no overlay is open: pause and "Finish race?"
    // on their keys, the frame with every sprite moved, then the rest of the tick.
    void RaceTick(int lagCount);
    // The rest of a race tick once the frame is drawn (by the race, or by the overlay open over
    // it): the HUD, the race's logic unless an overlay is open now, and the present.
    void RaceTickAfterFrame();

    void DrawSpeedNeedle();
    void DrawRaceHud();
    void DrawPowerUpPanel();

    // Frees every wall and race sprite (the race's part of the tear-down).
    void FreeRaceSprites();
    bool SpritesBuilt() const { return PlayerBoat != nullptr; }

    // Hooks for the overlays.
    // "Your time is over." has closed: the same level again.
    void OnTimeOverEnded();
    // While the time-over or game-over notice stands: the running explosions play on and
    // spent walls are removed.
    void AnimateExplosions(int lagCount);

    // Points for a wall destroyed by the gun.
    void ScoreShot(const TWallSprite& wall);

    // Services the race's sprites use.
    TSpriteEngine& Root();
    TPictureCollectionItem& Picture(std::string_view name);
    const TRacePictures& Pictures() const { return m_pictures; }
    TDirectDrawSurface* Surface();
    int32_t Random(int32_t range);
    void PlaySound(std::string_view name);
    void StopSound(std::string_view name);
    void OpenMessage(TMessageMode mode);
    int32_t TickMs() const;
    double SpeedScale() const;
    // Pixels the course scrolls this tick; 0 outside a race.
    double ScrollStep() const;
    TRaceTrack& Track() { return m_track; }

    // Called with the name of every effect the race starts; lets tests follow the sounds.
    std::function<void(std::string_view)> OnSoundPlayed;

    // Race globals.
    int32_t Score = 0;
    int32_t Level = 1;
    int32_t Lives = 3;
    int32_t TimeLeftMs = 0;
    int32_t SelectedBoat = 1;
    uint32_t RaceSeed = 0;
    double FinishLineY = -100;
    int32_t NeedleWobble = 0;
    int32_t NeedleWobbleMs = -1;

    // Race sprites: owned by the sprite tree, freed by FreeRaceSprites.
    TCaptionSprite* LeftHudPanel = nullptr;
    TCaptionSprite* RightHudPanel = nullptr;
    TCaptionSprite* ProgressMarker = nullptr;
    TCaptionSprite* SpeedNeedle = nullptr;
    TMyCarSprite* PlayerBoat = nullptr;
    TMyCarAnim* BoatWake = nullptr;
    TMyCarAnim* WakeClock = nullptr;
    TExplosion* EngineFlameClock = nullptr;
    TExplosion* GunFlashClock = nullptr;
    TCaptionSprite* GunPanel = nullptr;
    TCaptionSprite* EnginePanel = nullptr;
    TCaptionSprite* ShieldPanel = nullptr;
    TCaptionSprite* NoPowerUpPanel = nullptr;
    TExplosion* SpareBlast = nullptr;
    TExplosion* PlayerBlast = nullptr;

  private:
    void LoadPictures();
    TCaptionSprite* CreateCaption(std::string_view picture, double x, double y, int z, bool visible);
    void StepNeedleWobble();
    void RunClock();
    void RunTimeBonus();
    void ReadControls();
    // The clock ran out on a stopped boat short of the finish line.
    void TimeOut();
    // Pitch and level of the engine's hum for the boat's speed.
    void TuneEngineSound(double speed);

    TGameContext& m_context;
    // Only the race draws from it: nothing outside the race can change what the race does.
    TGameRandom m_random;
    TRaceTrack m_track;
    TRacePictures m_pictures;
    // The time ran out while the boat was wrecked: that wreck already cost this level's life.
    bool m_timeOutPaidByWreck = false;
};
