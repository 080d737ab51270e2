#include "app/GameFixture.h"
#include "soak/SoakPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>

namespace {
// CTest runs the short soak; run_hour.sh sets an hour.
constexpr double kDefaultMinutes = 3;
constexpr uint32_t kDefaultSeed = 40;
// Resident memory may grow this much between the settled level after the first races and the end.
constexpr long kDefaultRssMarginMb = 16;
// From this length on, every kind of event must have happened at least once.
constexpr double kFullCoverageMinutes = 20;

double EnvNumber(const char* name, double fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end != text && value > 0 ? value : fallback;
}

std::string Report(const TSoakStats& s, double realSeconds) {
    const auto& peaks = s.PeakSpritesPerRace;
    const int peakMin = peaks.empty() ? 0 : *std::min_element(peaks.begin(), peaks.end());
    const int peakMax = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
    const double peakMean =
        peaks.empty() ? 0
                      : std::accumulate(peaks.begin(), peaks.end(), 0.0) / static_cast<double>(peaks.size());
    std::ostringstream out;
    out << "Soak figures (seed " << s.Seed << ")\n";
    char line[256];
    std::snprintf(line, sizeof line, "  simulated %.1f min in %.1f s of real time, %llu ticks\n",
                  s.SimulatedMs / 60000.0, realSeconds, static_cast<unsigned long long>(s.Ticks));
    out << line;
    out << "  races " << s.Races << ", game overs " << s.GameOvers << ", time overs " << s.TimeOvers
        << ", wrecks " << s.Wrecks << "\n";
    out << "  highest level " << s.MaxLevel << ", finish lines crossed " << s.LevelsFinished
        << ", level starts:";
    for (const auto& [level, count] : s.LevelStarts)
        out << " " << level << "x" << count;
    out << "\n";
    out << "  power-up boxes " << s.PowerUps << ", extra lives " << s.ExtraLives << ", jumps " << s.Jumps
        << ", shot bursts " << s.ShotBursts << ", wall explosions " << s.WallExplosions << "\n";
    out << "  pauses " << s.Pauses << ", finish asked and answered no " << s.FinishAnsweredNo << " / yes "
        << s.FinishAnsweredYes << ", names entered " << s.NameEntries << ", sending declined "
        << s.SendDeclined << "\n";
    std::snprintf(line, sizeof line, "  peak sprites per race: min %d, mean %.1f, max %d; main menu %d\n",
                  peakMin, peakMean, peakMax, s.MenuSprites);
    out << line;
    std::snprintf(line, sizeof line,
                  "  resident memory: %.1f MB after warm-up, %.1f MB at the end, peak %.1f MB%s\n",
                  s.ResidentAfterWarmUpKb / 1024.0, s.ResidentAtEndKb / 1024.0, s.PeakResidentKb / 1024.0,
                  ResidentIncludesQuarantine() ? " (with the sanitizer's quarantine)" : "");
    out << line;
    std::snprintf(line, sizeof line, "  heap in use: %.1f MB after warm-up, %.1f MB at the end\n",
                  s.HeapAfterWarmUpKb / 1024.0, s.HeapAtEndKb / 1024.0);
    out << line;
    out << "  left through the exit question: " << (s.ExitedThroughQuestion ? "yes" : "no") << "\n";
    out << "  races re-run from their replays as played: " << s.ReplaysReRun << " of " << s.Races << "\n";
    return out.str();
}
} // namespace

// Hours of play must leave the game as it was: the menu rebuilt to the same sprites after
// every race, memory flat, no state it cannot leave, nothing the sanitizers object to.
TEST(Soak, RacesOverAndOverLeaveTheGameAsItWas) {
    if (!TGameFixture::DataAvailable())
        GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
    const double minutes = EnvNumber("SPRAYDASH_SOAK_MINUTES", kDefaultMinutes);
    const auto seed = static_cast<uint32_t>(EnvNumber("SPRAYDASH_SOAK_SEED", kDefaultSeed));
    const long marginKb =
        static_cast<long>(EnvNumber("SPRAYDASH_SOAK_RSS_MARGIN_MB", kDefaultRssMarginMb) * 1024);

    TGameFixture game;
    game.Start(seed);
    TSoakPlayer player(game, seed, static_cast<uint64_t>(minutes * 60000));
    const auto started = std::chrono::steady_clock::now();
    player.Run();
    const double realSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const TSoakStats& s = player.Stats();
    const auto openedUrls = game.Platform().OpenedUrls();
    // Only something outside the game can take its working directory away.
    const bool saveFolderKept = std::filesystem::is_directory(game.Dir() / "Data" / "Save");
    game.Stop();

    const std::string report = Report(s, realSeconds);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
    RecordProperty("figures", report);

    std::string problems;
    for (const std::string& p : s.Problems)
        problems += "\n  " + p;
    EXPECT_TRUE(s.Problems.empty()) << s.Problems.size() << " problem(s):" << problems;
    EXPECT_TRUE(s.ExitedThroughQuestion);
    EXPECT_TRUE(openedUrls.empty()) << "opened " << openedUrls.front();
    if (saveFolderKept) {
        EXPECT_TRUE(game.SaveExists("hs"));
        EXPECT_TRUE(game.SaveExists("options"));
    } else {
        ADD_FAILURE() << "the scratch folder " << game.Dir() << " was removed from outside during the run";
    }

    EXPECT_GE(s.Races, 2);
    EXPECT_EQ(s.PeakSpritesPerRace.size(), static_cast<size_t>(s.Races));
    EXPECT_GT(s.MenuSprites, 0);

    if (s.Races > TSoakPlayer::kWarmUpRaces) {
        EXPECT_LE(s.HeapAtEndKb - s.HeapAfterWarmUpKb, marginKb)
            << "the heap grew from " << s.HeapAfterWarmUpKb << " kB after the first races to "
            << s.HeapAtEndKb << " kB";
        if (!ResidentIncludesQuarantine()) {
            EXPECT_LE(s.ResidentAtEndKb - s.ResidentAfterWarmUpKb, marginKb)
                << "resident memory grew from " << s.ResidentAfterWarmUpKb << " kB after the first races to "
                << s.ResidentAtEndKb << " kB";
        }
    }
    if (minutes >= kFullCoverageMinutes) {
        EXPECT_GE(s.GameOvers, 1);
        EXPECT_GE(s.Wrecks, 1);
        EXPECT_GE(s.MaxLevel, 3);
        EXPECT_GE(s.TimeOvers, 1);
        EXPECT_GE(s.PowerUps, 1);
        EXPECT_GE(s.ShotBursts, 1);
        EXPECT_GE(s.Jumps, 1);
        EXPECT_GE(s.Pauses, 1);
        EXPECT_GE(s.FinishAnsweredNo, 1);
        EXPECT_GE(s.FinishAnsweredYes, 1);
        EXPECT_GE(s.NameEntries, 1);
    }
}
