#pragma once

#include "menus/SaveFiles.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
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
    // The longest name the name entry takes. A file written by hand may hold longer ones, which
    // are kept as they are.
    static constexpr size_t kNameMax = 10;
    // Names and the check string in the files are read up to the same bound: the check is as
    // long as the longest name and each of its bytes depends only on the bytes at the same place
    // in the names and scores, so a table with names past the bound still matches its check
    // once both are cut.
    static constexpr size_t kFileNameMax = kTextLineMax;

    THighScoreTable() { ResetHighScores(); }

    THighScore& Entry(int n) { return HighScores[n]; }
    const THighScore& Entry(int n) const { return HighScores[n]; }

    // A missing file gives the default table; so does one that is there but cannot be read or
    // holds something other than numbers where they belong, which the result reports.
    TSaveFileLoad LoadHighScores(const std::string& fileName);
    void SaveHighScores(const std::string& fileName) const;
    void ResetHighScores();
    bool QualifiesForTable(int32_t score) const;
    void SortHighScores();
    std::string ComputeTableCheck() const;
    // A check line that is not there (no options file, or one cut short) vouches for nothing; a
    // present empty one is the check of a table of ten empty names and is compared as any other.
    bool TableCheckMatches() const { return TableCheck && *TableCheck == ComputeTableCheck(); }

    std::array<THighScore, kSpare + 1> HighScores{}; // [1..11]; [0] unused
    std::optional<std::string> TableCheck;           // the options file's check line, when it has one

  private:
    static void Mix(std::string& check, const std::string& text);
};
