#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

class TGameFixture;
class TMForm;
class TRace;

// Memory of this process: resident, from /proc/self/status (kB; 0 where unavailable), and
// the heap blocks in use as the allocator counts them.
struct TMemoryUse {
    long PeakKb = 0;     // VmHWM
    long ResidentKb = 0; // VmRSS
    long HeapKb = 0;
};
TMemoryUse ReadMemoryUse();
// Under AddressSanitizer freed blocks wait in a quarantine of up to 256 MB that counts as
// resident, so only the heap in use says whether memory stays flat.
bool ResidentIncludesQuarantine();

// What a soak run did and what it found wrong.
struct TSoakStats {
    uint32_t Seed = 0;
    uint64_t Ticks = 0;
    uint64_t SimulatedMs = 0;
    int Races = 0;
    int MaxLevel = 0;
    std::map<int, int> LevelStarts; // level → how often it started (restarts included)
    int LevelsFinished = 0;         // finish lines crossed
    int Wrecks = 0;
    int TimeOvers = 0;
    int GameOvers = 0;
    int PowerUps = 0; // gun, engine or shield boxes picked up
    int ExtraLives = 0;
    int Jumps = 0;
    int ShotBursts = 0; // fire held with the gun on board
    int WallExplosions = 0;
    int Pauses = 0;
    int FinishAnsweredNo = 0;
    int FinishAnsweredYes = 0;
    int NameEntries = 0;
    int SendDeclined = 0;
    std::vector<int> PeakSpritesPerRace;
    int MenuSprites = -1; // root children on the main menu after the first intro
    long ResidentAfterWarmUpKb = 0;
    long ResidentAtEndKb = 0;
    long HeapAfterWarmUpKb = 0;
    long HeapAtEndKb = 0;
    long PeakResidentKb = 0;
    bool ExitedThroughQuestion = false;
    int ReplaysReRun = 0; // races whose replay was re-run and came out as played
    // Invariant breaches, each with the tick it was seen in; the seed replays the run.
    std::vector<std::string> Problems;
};

// A player who knows the keys but not the river: starts races from the menu with real key
// events, drives with random but plausible held keys, pauses, asks to finish and answers,
// types a name when the score qualifies, declines to send, and starts again, until its
// simulated time is spent; then it leaves through the exit question. After every tick it
// checks what must always hold and keeps the figures.
class TSoakPlayer {
  public:
    TSoakPlayer(TGameFixture& game, uint32_t seed, uint64_t budgetMs);

    // Plays until the budget is spent and the game has ended; stops early when the game
    // gets stuck.
    void Run();
    const TSoakStats& Stats() const { return m_stats; }

    // Re-run every race's replay and check that it comes out as the race did (a benchmark of the
    // play alone turns it off).
    bool ReRunReplays = true;

    // Races after which the resident memory is taken as the settled level.
    static constexpr int kWarmUpRaces = 3;
    // The river's water between the banks.
    static constexpr double kRiverLeft = 177;
    static constexpr double kRiverRight = 609;

  private:
    enum class TEnding { None, AskToFinish, LetClockRun };

    // One pass of the message loop after the virtual clock moved on; the mixer is drained
    // as a sound card would, so effects end and the mixer's queue stays bounded.
    void Step();
    void Decide();
    void DecideMenu();
    void DecideRace();
    void DecideOverlay();
    void Drive();
    // Steering away from what wrecks or slows the boat, towards boxes; 0 when nothing is near.
    int SteerAroundObstacles(bool& slowForBridge);
    void Observe();
    void ObserveRace();
    void RaceEnded();
    void CheckReplay();
    void IntroEnded();

    void Hold(int virtualKey, bool down);
    void ReleaseAll();
    // Down now, up before the next decision: one edge for the input states.
    void Tap(int virtualKey);
    void Press(int virtualKey); // a key-down and key-up event pair (Enter, Escape on menus)
    void Wait(int minTicks, int maxTicks) { m_waitTicks = Between(minTicks, maxTicks); }
    int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng) < p; }
    void Problem(const std::string& what);
    bool BudgetSpent() const { return m_stats.SimulatedMs >= m_budgetMs; }
    TMForm& Form();
    TRace& Race();

    TGameFixture& m_game;
    std::mt19937 m_rng;
    uint64_t m_budgetMs;
    TSoakStats m_stats;
    double m_audioFrames = 0;
    std::set<int> m_held;
    std::vector<int> m_tapped;
    int m_waitTicks = 0;

    // What the previous tick showed.
    int32_t m_lastScreen = -1;
    uint8_t m_lastMessage = 0;
    int32_t m_lastLives = -1;
    bool m_introRunning = true;

    // The race being driven.
    int m_raceSprites = 0;
    uint64_t m_raceStartMs = 0;
    uint64_t m_raceBudgetMs = 0;
    bool m_attentive = false;
    double m_throttleShare = 0.9;
    TEnding m_ending = TEnding::None;
    bool m_throttle = false;
    int m_throttleTicks = 0;
    int m_brakeTicks = 0;
    int m_steer = 0; // -1 left, 0 none, 1 right
    int m_steerTicks = 0;
    int m_fireTicks = 0;
    bool m_fireWithCtrl = false;
    int m_targetBoat = 1;
    bool m_nameTyped = false;
    int m_finishAnswer = 0; // the answer given to the open finish question: 1 yes, 2 no
    bool m_wantsExit = false;
    uint64_t m_sameStateTicks = 0;
    bool m_stuck = false;
};
