#pragma once

#include <array>
#include <cstdint>
#include <string>

struct THighScore {
    std::string EntryName; // Windows-1252 bytes
    int32_t EntryScore = 0;
    int32_t Reserved1 = 0;
    int32_t Reserved2 = 0;
};

// The local table of the ten best results. Entries 1..10 are the table, best first;
// entry 11 is the spare a new result is sorted in from.
class THighScoreTable {
  public:
    static constexpr int kEntries = 10;
    static constexpr int kSpare = 11;

    THighScoreTable() { ResetHighScores(); }

    THighScore& Entry(int n) { return HighScores[n]; }
    const THighScore& Entry(int n) const { return HighScores[n]; }

    void LoadHighScores(const std::string& fileName);
    void SaveHighScores(const std::string& fileName) const;
    void ResetHighScores();
    bool QualifiesForTable(int32_t score) const;
    void SortHighScores();
    std::string ComputeTableCheck() const;
    // An empty check is what a missing or cut-short options file leaves; it must not vouch for a
    // table that a cut-short table file left blank (whose own check is empty too).
    bool TableCheckMatches() const { return !TableCheck.empty() && TableCheck == ComputeTableCheck(); }

    std::array<THighScore, kSpare + 1> HighScores{}; // [1..11]; [0] unused
    std::string TableCheck;

  private:
    static void Mix(std::string& check, const std::string& text);
};
