#include "soak/SoakPlayer.h"

#include "app/GameFixture.h"
#include "app/MForm.h"
#include "app/Messages.h"
#include "app/ReplayVerify.h"
#include "engine/display/GameTimer.h"
#include "engine/platform/KeyCodes.h"
#include "engine/sprite/Sprite.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "replay/ReplayFiles.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <sstream>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif
#if defined(SOAK_ASAN)
// From the sanitizer runtime's allocator interface (GCC installs no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {
constexpr uint32_t kTickMs = 15;
constexpr double kAudioRate = 44100;
constexpr int kMainMenuButtons = 6;
constexpr int kStartButton = 1;
constexpr int kExitButton = 6;
constexpr int kFirstBoatButton = 7;
constexpr size_t kMaxProblems = 50;

// The river's water and how far a turned boat may lean over a bank (a third of its height,
// plus one tick of sideways travel).
constexpr double kBankSlack = 8;

// A race shows its panels, the boat and its helpers, at most 30 walls and an overlay with two
// buttons; far more children than that means sprites are piling up.
constexpr int kRaceSpriteCeiling = 90;
// The bonus count-down may take the clock one step of 150 ms below zero.
constexpr int32_t kClockUndershootMs = 150;

// A race is given at least this long, so that short runs still see several races.
constexpr uint64_t kShortestRaceMs = 30000;

// A state outside the race that lasts this long means the game no longer answers.
constexpr uint64_t kStuckTicks = 20000;
// A race that runs this long past its own budget never ended.
constexpr uint64_t kRaceOverrunMs = 20ull * 60 * 1000;

long ReadStatusKb(const std::string& status, const char* key) {
    std::istringstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::strtol(line.c_str() + std::char_traits<char>::length(key), nullptr, 10);
        }
    }
    return 0;
}

const char* const kNameLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-_!";
} // namespace

TMemoryUse ReadMemoryUse() {
    std::ifstream in("/proc/self/status");
    std::stringstream text;
    text << in.rdbuf();
    TMemoryUse use;
    use.PeakKb = ReadStatusKb(text.str(), "VmHWM:");
    use.ResidentKb = ReadStatusKb(text.str(), "VmRSS:");
#if defined(SOAK_ASAN)
    use.HeapKb = static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    use.HeapKb = static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
    return use;
}

bool ResidentIncludesQuarantine() {
#if defined(SOAK_ASAN)
    return true;
#else
    return false;
#endif
}

TSoakPlayer::TSoakPlayer(TGameFixture& game, uint32_t seed, uint64_t budgetMs)
    : m_game(game), m_rng(seed), m_budgetMs(budgetMs) {
    m_stats.Seed = seed;
}

TMForm& TSoakPlayer::Form() {
    return m_game.Form();
}
TRace& TSoakPlayer::Race() {
    return m_game.Form().Race();
}

void TSoakPlayer::Run() {
    TGameTimer& timer = Form().MTimer();
    auto tick = timer.OnTimer;
    timer.OnTimer = [this, tick](int lagCount) {
        ++m_stats.Ticks;
        tick(lagCount);
    };
    Race().OnSoundPlayed = [this](std::string_view name) {
        if (name == "PlayerExplosion")
            ++m_stats.Wrecks;
        else if (name == "Jump")
            ++m_stats.Jumps;
        else if (name == "Finish")
            ++m_stats.LevelsFinished;
        else if (name == "Shot")
            ++m_stats.ShotBursts;
        else if (name == "WallExplosion")
            ++m_stats.WallExplosions;
        else if (name == "Bonus")
            ++m_stats.PowerUps; // the life box too; ObserveRace takes those back out
    };

    while (!Form().Terminated() && !m_stuck) {
        Decide();
        Step();
        Observe();
        if (m_stats.SimulatedMs > m_budgetMs + kRaceOverrunMs) {
            Problem("the game did not come back to its exit question after the time was spent");
            break;
        }
    }
    const TMemoryUse memory = ReadMemoryUse();
    m_stats.ResidentAtEndKb = memory.ResidentKb;
    m_stats.HeapAtEndKb = memory.HeapKb;
    m_stats.PeakResidentKb = memory.PeakKb;
    m_stats.ExitedThroughQuestion = Form().Terminated();
    Race().OnSoundPlayed = nullptr;
    timer.OnTimer = tick;
}

void TSoakPlayer::Step() {
    // Now and then the machine is late and the timer reports more than one interval.
    const int lag = Chance(0.02) ? Between(2, 3) : 1;
    const uint32_t ms = kTickMs * static_cast<uint32_t>(lag);
    m_game.Platform().Advance(ms);
    Form().PumpOnce(false);
    m_stats.SimulatedMs += ms;
    m_audioFrames += kAudioRate * ms / 1000.0;
    const int frames = static_cast<int>(m_audioFrames);
    m_audioFrames -= frames;
    m_game.Platform().PullAudio(frames);
}

void TSoakPlayer::Hold(int virtualKey, bool down) {
    if (down == (m_held.count(virtualKey) != 0))
        return;
    if (down) {
        m_held.insert(virtualKey);
        m_game.KeyDown(virtualKey);
    } else {
        m_held.erase(virtualKey);
        m_game.KeyUp(virtualKey);
    }
}

void TSoakPlayer::ReleaseAll() {
    const std::set<int> held = m_held;
    for (int key : held)
        Hold(key, false);
    m_tapped.clear();
}

void TSoakPlayer::Tap(int virtualKey) {
    Hold(virtualKey, true);
    m_tapped.push_back(virtualKey);
}

void TSoakPlayer::Press(int virtualKey) {
    m_game.KeyDown(virtualKey);
    m_game.KeyUp(virtualKey);
}

void TSoakPlayer::Problem(const std::string& what) {
    if (m_stats.Problems.size() >= kMaxProblems)
        return;
    char where[96];
    std::snprintf(where, sizeof where,
                  "tick %llu (%.2f s simulated, seed %u): ", static_cast<unsigned long long>(m_stats.Ticks),
                  m_stats.SimulatedMs / 1000.0, m_stats.Seed);
    m_stats.Problems.push_back(where + what);
}

// ---- Deciding the keys for the coming tick ----

void TSoakPlayer::Decide() {
    for (int key : m_tapped)
        Hold(key, false);
    m_tapped.clear();
    const TTickView& view = Form().TickView();
    if (view.GameScreen == gsRace && view.MessageMode == msgNone) {
        if (m_waitTicks > 0)
            --m_waitTicks;
        DecideRace();
        return;
    }
    if (m_waitTicks > 0) {
        --m_waitTicks;
        return;
    }
    if (view.GameScreen == gsRace)
        DecideOverlay();
    else
        DecideMenu();
}

void TSoakPlayer::DecideMenu() {
    const TTickView& view = Form().TickView();
    const TScreenState& screen = Form().Screen();
    ReleaseAll();
    if (view.MessageMode == msgExitGame) {
        Tap('Y');
        Wait(2, 5);
        return;
    }
    m_wantsExit = BudgetSpent();
    switch (view.GameScreen) {
    case gsMainMenu: {
        // The intro runs, or the table is about to open by itself after a race.
        if (screen.MenuIntroPhase != 0 || screen.MenuFollowUp == 3)
            return;
        const int target = m_wantsExit ? kExitButton : kStartButton;
        const int active = screen.ActiveButton;
        if (active == target) {
            Press(vk::Return);
            Wait(5, 20);
            return;
        }
        // The column wraps: go the short way round.
        const int down = (target - active + kMainMenuButtons) % kMainMenuButtons;
        Tap(down <= kMainMenuButtons / 2 ? vk::Down : vk::Up);
        Wait(1, 8);
        return;
    }
    case gsBoatSelect: {
        if (m_wantsExit) {
            Press(vk::Escape);
            Wait(5, 20);
            return;
        }
        const int target = kFirstBoatButton - 1 + m_targetBoat;
        const int active = screen.ActiveButton;
        if (active == target) {
            Press(vk::Return);
            Wait(2, 10);
        } else {
            Tap(active < target && active >= kFirstBoatButton ? vk::Right : vk::Left);
            Wait(1, 8);
        }
        return;
    }
    default:
        // The high-score table after a race (or any other sub-screen): back to the menu.
        Press(vk::Escape);
        Wait(5, 20);
        return;
    }
}

void TSoakPlayer::DecideOverlay() {
    const TTickView& view = Form().TickView();
    switch (view.MessageMode) {
    case msgPause:
        Tap(Chance(0.5) ? 'P' : vk::Escape);
        Wait(3, 10);
        return;
    case msgFinishRace:
        m_finishAnswer = m_ending == TEnding::AskToFinish ? 1 : 2;
        if (m_finishAnswer == 1) {
            Tap('Y');
        } else {
            // "No" is highlighted, so Enter answers no as well, and Esc closes the question.
            const int how = Between(0, 9);
            if (how < 6)
                Tap('N');
            else if (how < 8)
                Press(vk::Return);
            else
                Tap(vk::Escape);
        }
        Wait(3, 10);
        return;
    case msgEnterName:
        ReleaseAll();
        if (!m_nameTyped) {
            // The field starts with the name typed last: trim some of it, then type.
            for (int i = Between(0, 12); i > 0; --i)
                Press(vk::Back);
            std::string name;
            for (int i = Between(1, 11); i > 0; --i)
                name += kNameLetters[Between(
                    0, static_cast<int>(std::char_traits<char>::length(kNameLetters)) - 1)];
            if (Chance(0.2))
                name += "\xC3\xA9"; // é, beyond ASCII
            m_game.TypeText(name);
            m_nameTyped = true;
            Wait(10, 60);
        } else {
            Press(vk::Return);
            Wait(5, 20);
        }
        return;
    case msgSendResult:
        // Never yes: the soak test stays off the network.
        Tap('N');
        ++m_stats.SendDeclined;
        Wait(3, 10);
        return;
    case msgGameOver:
        ReleaseAll();
        return;
    default:
        // Banners and notices: the keys held stay held, as a player's would.
        return;
    }
}

// ---- Watching what the tick did ----

void TSoakPlayer::Observe() {
    if (Form().Terminated())
        return;
    const TTickView& view = Form().TickView();
    const int32_t screen = view.GameScreen;
    const uint8_t mode = view.MessageMode;

    if (screen != m_lastScreen) {
        if (screen == gsRace) {
            ++m_stats.Races;
            m_raceSprites = 0;
            m_raceStartMs = m_stats.SimulatedMs;
            // Short runs still see several races.
            m_raceBudgetMs = std::min<uint64_t>(static_cast<uint64_t>(Between(40, 300)) * 1000,
                                                std::max<uint64_t>(kShortestRaceMs, m_budgetMs / 3));
            m_attentive = Chance(0.7);
            m_throttleShare = 0.85 + Between(0, 13) / 100.0;
            m_ending = TEnding::None;
            m_throttle = false;
            m_throttleTicks = m_brakeTicks = m_steerTicks = m_fireTicks = 0;
            m_lastLives = -1;
        } else if (m_lastScreen == gsRace) {
            RaceEnded();
        }
        if (screen == gsBoatSelect) {
            m_targetBoat = Between(1, 3);
            Wait(10, 60);
        } else if (screen == gsHighScores) {
            Wait(30, 200);
        }
    }
    if (m_lastMessage == msgFinishRace && mode != msgFinishRace && m_finishAnswer != 0) {
        const bool resumed = screen == gsRace && mode == msgNone;
        ++(resumed ? m_stats.FinishAnsweredNo : m_stats.FinishAnsweredYes);
        if (resumed != (m_finishAnswer == 2))
            Problem(std::string("\"Finish race?\" answered ") +
                    (m_finishAnswer == 2 ? "no ended" : "yes resumed") + " the race");
        m_finishAnswer = 0;
    }
    if (screen == gsRace && mode != m_lastMessage) {
        switch (mode) {
        case msgLevel:
            ++m_stats.LevelStarts[Race().Level];
            m_stats.MaxLevel = std::max(m_stats.MaxLevel, Race().Level);
            break;
        case msgPause:
            ++m_stats.Pauses;
            Wait(20, 200);
            break;
        case msgFinishRace:
            // Hands off the arrows to answer: a held arrow would move the highlight.
            ReleaseAll();
            Wait(10, 60);
            break;
        case msgTimeOver:
            ++m_stats.TimeOvers;
            break;
        case msgGameOver:
            ++m_stats.GameOvers;
            break;
        case msgEnterName:
            ++m_stats.NameEntries;
            m_nameTyped = false;
            Wait(20, 100);
            break;
        case msgSendResult:
            Wait(10, 60);
            break;
        case msgSending:
            Problem("the result is being sent although the send question was answered no");
            break;
        default:
            break;
        }
    }

    if (screen == gsMainMenu) {
        if (Form().Screen().MenuIntroPhase != 0) {
            m_introRunning = true;
        } else if (m_introRunning) {
            m_introRunning = false;
            IntroEnded();
        }
    }
    if (screen == gsRace)
        ObserveRace();

    const bool waitingOnOverlayOrMenu = screen != gsRace || mode != msgNone;
    if (waitingOnOverlayOrMenu && screen == m_lastScreen && mode == m_lastMessage) {
        if (++m_sameStateTicks > kStuckTicks) {
            Problem("stuck on screen " + std::to_string(screen) + " with overlay " + std::to_string(mode));
            m_stuck = true;
        }
    } else {
        m_sameStateTicks = 0;
    }
    if (screen == gsRace && m_stats.SimulatedMs - m_raceStartMs > m_raceBudgetMs + kRaceOverrunMs) {
        Problem("the race did not end although the player asked to finish it");
        m_stuck = true;
    }
    m_lastScreen = screen;
    m_lastMessage = mode;
}

void TSoakPlayer::ObserveRace() {
    TRace& race = Race();
    const TMyCarSprite* boat = race.PlayerBoat;
    if (boat == nullptr) {
        Problem("a race screen without a boat");
        m_stuck = true;
        return;
    }
    const int sprites = race.Root().ChildCount();
    if (sprites > m_raceSprites) {
        if (sprites > kRaceSpriteCeiling && m_raceSprites <= kRaceSpriteCeiling)
            Problem("the race has " + std::to_string(sprites) + " sprites under the root");
        m_raceSprites = sprites;
    }
    if (race.Lives < 0)
        Problem("lives below zero: " + std::to_string(race.Lives));
    if (race.Score < 0)
        Problem("score below zero: " + std::to_string(race.Score));
    if (race.Level < 1)
        Problem("level " + std::to_string(race.Level));
    if (race.TimeLeftMs < -kClockUndershootMs || race.TimeLeftMs > TRace::LevelTime(race.Level))
        Problem("clock at " + std::to_string(race.TimeLeftMs) + " ms on level " + std::to_string(race.Level));
    if (boat->Visible && boat->BoatState == bsRacing) {
        const double slack = boat->Height / 3.0 + kBankSlack;
        if (boat->X < kRiverLeft - slack || boat->X + boat->Width > kRiverRight + slack)
            Problem("the boat left the river at X " + std::to_string(boat->X));
    }
    const uint8_t mode = Form().TickView().MessageMode;
    const bool question = mode == msgFinishRace || mode == msgSendResult;
    const int cursor = m_game.Platform().CursorCount();
    if (question && cursor < 0)
        Problem("the pointer is hidden while a race question is open");
    if ((mode == msgNone || mode == msgLevel) && cursor >= 0)
        Problem("the pointer shows while racing");
    // The life box sounds like a power-up: tell them apart by the lives.
    if (race.Lives > m_lastLives && m_lastLives >= 0) {
        ++m_stats.ExtraLives;
        --m_stats.PowerUps;
    }
    m_lastLives = race.Lives;
}

void TSoakPlayer::RaceEnded() {
    m_stats.PeakSpritesPerRace.push_back(m_raceSprites);
    if (Race().SpritesBuilt())
        Problem("race sprites are left after the race ended");
    if (m_game.Platform().CursorCount() < 0)
        Problem("the pointer is still hidden after the race");
    const THighScoreTable& table = Form().Menus().Table;
    for (int i = 1; i < THighScoreTable::kEntries; ++i) {
        if (table.Entry(i).EntryScore < table.Entry(i + 1).EntryScore)
            Problem("the high-score table is out of order at entry " + std::to_string(i));
    }
    if (ReRunReplays)
        CheckReplay();
    ReleaseAll();
}

void TSoakPlayer::CheckReplay() {
    const std::string path = (m_game.Dir() / "Data" / "Save" / "replays" / kLastRaceReplay).string();
    try {
        TReplayCheckOptions options;
        options.DataDir = TGameFixture::GeneratedDataDir().string();
        const TReplayVerdict verdict = VerifyReplay(ReadReplayFile(path), options);
        if (!verdict.Matches)
            Problem("race " + std::to_string(m_stats.Races) +
                    " does not come out as played from its replay: " + verdict.Mismatch);
        else
            ++m_stats.ReplaysReRun;
    } catch (const std::exception& e) {
        Problem("race " + std::to_string(m_stats.Races) + "'s replay: " + e.what());
    }
}

void TSoakPlayer::IntroEnded() {
    const int sprites = Race().Root().ChildCount();
    if (m_stats.MenuSprites < 0) {
        m_stats.MenuSprites = sprites;
    } else if (sprites != m_stats.MenuSprites) {
        Problem("the main menu has " + std::to_string(sprites) + " sprites after race " +
                std::to_string(m_stats.Races) + ", " + std::to_string(m_stats.MenuSprites) +
                " after the first intro");
    }
    // Memory settles once the first races have warmed every cache and pool.
    if (m_stats.Races >= 1 && m_stats.Races <= kWarmUpRaces) {
        const TMemoryUse memory = ReadMemoryUse();
        m_stats.ResidentAfterWarmUpKb = memory.ResidentKb;
        m_stats.HeapAfterWarmUpKb = memory.HeapKb;
    }
}
