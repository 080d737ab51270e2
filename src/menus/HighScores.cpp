#include "menus/HighScores.h"

#include "menus/SaveFiles.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
constexpr const char* kDefaultName = "ANONYMOUS";

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

TSaveFileLoad THighScoreTable::LoadHighScores(const std::string& fileName) {
    RemoveStaleTemporary(fileName);
    TSaveFileReader file(fileName);
    if (file.Missing() || file.Failed()) {
        ResetHighScores();
        return TSaveFileLoad{file.Failed(), file.Error()};
    }
    // A file cut short reads as empty names and zeros.
    auto text = [&](size_t keep) {
        std::string line;
        file.ReadLine(line, keep);
        return line;
    };
    bool valid = true;
    auto number = [&] {
        std::string line = text(kNumberLineMax);
        return line.find_first_not_of(" \t") == std::string::npos ? 0 : ToInt32(line, valid);
    };
    for (int i = 1; i <= kEntries; ++i) {
        THighScore& e = HighScores[i];
        e.EntryName = text(kFileNameMax);
        e.EntryScore = number();
        e.Reserved1 = number();
        e.Reserved2 = number();
    }
    if (file.Failed()) {
        ResetHighScores();
        return TSaveFileLoad{true, file.Error()};
    }
    // A number line with something else in it means a damaged or foreign file: start from the
    // default table rather than half of it. The check alone would let damage in the reserved
    // fields through, as they do not enter it.
    if (!valid) {
        ResetHighScores();
        TSaveFileLoad load;
        load.Damaged = true;
        return load;
    }
    return {};
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
