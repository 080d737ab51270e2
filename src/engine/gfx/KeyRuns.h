#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TDirectDrawSurface;

// Where a surface's pixels differ from its colour key, row by row, as runs: a keyed draw copies
// the runs whole and skips what lies between, instead of testing every pixel. Rows broken into
// many short runs are left to the pixel-by-pixel test.
class TKeyRuns {
  public:
    void Build(const TDirectDrawSurface& surface);
    // Built from this content of the surface with this key.
    bool Fits(uint64_t stamp, uint16_t key) const { return m_stamp == stamp && m_key == key; }

    // Row y's runs as pairs (begin, end), and how many; false when the row is left to the test.
    bool Runs(int y, const uint16_t*& runs, int& count) const {
        const TRow& r = m_rows[static_cast<size_t>(y)];
        if (r.Count == kTested)
            return false;
        runs = m_runs.data() + r.First;
        count = r.Count;
        return true;
    }

  private:
    // Beyond this many runs in a row a run costs more than the test it saves.
    static constexpr int kMaxRuns = 8;
    static constexpr uint16_t kTested = 0xFFFF;
    struct TRow {
        uint32_t First = 0;
        uint16_t Count = kTested;
    };
    uint64_t m_stamp = 0;
    uint16_t m_key = 0;
    std::vector<TRow> m_rows;
    std::vector<uint16_t> m_runs;
};
