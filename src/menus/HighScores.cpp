#include "menus/HighScores.h"

#include "menus/SaveFiles.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
constexpr const char* kDefaultName = "ANONYMOUS";
constexpr int kLinesPerEntry = 4;

int32_t ToInt32(const std::string& line, bool& valid) {
    auto n = ParseSaveNumber(line);
    if (!n || *n < INT32_MIN || *n > INT32_MAX) {
        valid = false;
        return 0;
    }
    return static_cast<int32_t>(*n);
}
} // namespace

void THighScoreTable::ResetHighScores() {
    for (int i = 1; i <= kEntries; ++i) {
        HighScores[i] = THighScore{kDefaultName, 5500 - 500 * i, 0, 0};
    }
}

void THighScoreTable::LoadHighScores(const std::string& fileName) {
    if (!SaveFileExists(fileName)) {
        ResetHighScores();
        return;
    }
    std::vector<std::string> lines = ReadSaveLines(fileName);
    lines.resize(kEntries * kLinesPerEntry); // a file cut short reads as empty names and zeros
    bool valid = true;
    for (int i = 1; i <= kEntries; ++i) {
        const std::string* entry = &lines[(i - 1) * kLinesPerEntry];
        auto number = [&](const std::string& line) {
            return line.find_first_not_of(" \t") == std::string::npos ? 0 : ToInt32(line, valid);
        };
        HighScores[i] = THighScore{entry[0], number(entry[1]), number(entry[2]), number(entry[3])};
    }
    // A number line with something else in it means a damaged or foreign file: start from the
    // default table rather than half of it. The check alone would let damage in the reserved
    // fields through, as they do not enter it.
    if (!valid) {
        ResetHighScores();
    }
}

void THighScoreTable::SaveHighScores(const std::string& fileName) const {
    std::vector<std::string> lines;
    for (int i = 1; i <= kEntries; ++i) {
        const THighScore& e = HighScores[i];
        lines.push_back(e.EntryName);
        lines.push_back(std::to_string(e.EntryScore));
        lines.push_back(std::to_string(e.Reserved1));
        lines.push_back(std::to_string(e.Reserved2));
    }
    WriteSaveLines(fileName, lines);
}

bool THighScoreTable::QualifiesForTable(int32_t score) const {
    for (int i = 1; i <= kEntries; ++i) {
        if (HighScores[i].EntryScore < score) {
            return true;
        }
    }
    return false;
}

void THighScoreTable::SortHighScores() {
    for (int pass = 1; pass <= kEntries; ++pass) {
        for (int j = 1; j <= kSpare - pass; ++j) {
            if (HighScores[j].EntryScore < HighScores[j + 1].EntryScore) {
                std::swap(HighScores[j], HighScores[j + 1]);
            }
        }
    }
}

void THighScoreTable::Mix(std::string& check, const std::string& text) {
    // Positions past the check string's length have no place in it and are ignored.
    size_t n = std::min(text.size(), check.size());
    for (size_t j = 0; j < n; ++j) {
        unsigned sum = static_cast<unsigned char>(check[j]) + static_cast<unsigned char>(text[j]);
        check[j] = static_cast<char>(sum % 224 + 32);
    }
}

std::string THighScoreTable::ComputeTableCheck() const {
    size_t longest = 0;
    for (int i = 1; i <= kEntries; ++i) {
        longest = std::max(longest, HighScores[i].EntryName.size());
    }
    std::string check(longest, ' ');
    for (int i = 1; i <= kEntries; ++i) {
        Mix(check, HighScores[i].EntryName);
        Mix(check, std::to_string(HighScores[i].EntryScore));
    }
    return check;
}
