#include "engine/gfx/ChangedRows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The rows as text, '#' marked: easier to read in a failure than coordinates.
std::vector<std::string> Picture(const TChangedRows& rows, int w, int h) {
    std::vector<std::string> out;
    for (int y = 0; y < h; ++y) {
        std::string line;
        for (int x = 0; x < w; ++x)
            line += rows.Contains(x, y) ? '#' : '.';
        out.push_back(line);
    }
    return out;
}

TEST(ChangedRows, MarksAndClears) {
    struct Case {
        const char* Name;
        std::vector<TRect> Marks;
        std::vector<TRect> Clears; // after all marks
        std::string Row0;          // what row 0 shows afterwards
    };
    const Case cases[] = {
        {"a mark", {{2, 0, 5, 1}}, {}, "..###......."},
        {"touching marks join", {{2, 0, 5, 1}, {5, 3, 7, 4}}, {}, "..#####....."},
        {"a cover takes the left end", {{2, 0, 9, 1}}, {{0, 0, 4, 8}}, "....#####..."},
        {"a cover takes the right end", {{2, 0, 9, 1}}, {{6, 0, 12, 8}}, "..####......"},
        {"a cover in the middle splits", {{1, 0, 11, 1}}, {{4, 0, 6, 8}}, ".###..#####."},
        {"a cover over all", {{2, 0, 9, 1}}, {{0, 0, 12, 8}}, "............"},
        {"a cover short of the band's rows takes nothing", {{2, 0, 9, 1}}, {{0, 0, 12, 7}}, "..#######..."},
        {"five apart: the closest two join",
         {{0, 0, 1, 1}, {3, 0, 4, 1}, {5, 0, 6, 1}, {8, 0, 9, 1}, {11, 0, 12, 1}},
         {},
         "#..###..#..#"},
        {"no split once full",
         {{0, 0, 1, 1}, {2, 0, 3, 1}, {4, 0, 9, 1}, {11, 0, 12, 1}},
         {{6, 0, 7, 8}},
         "#.#.#####..#"},
    };
    // Rows go in bands of eight: row 0 stands for its band, row 8 for the next.
    for (const Case& c : cases) {
        TChangedRows rows;
        rows.Reset(12);
        for (const TRect& r : c.Marks)
            rows.Mark(r);
        for (const TRect& r : c.Clears)
            rows.Clear(r);
        EXPECT_EQ(Picture(rows, 12, 1)[0], c.Row0) << c.Name;
        EXPECT_EQ(Picture(rows, 12, 12)[7], c.Row0) << c.Name << ": the whole band";
        EXPECT_EQ(Picture(rows, 12, 12)[8], "............") << c.Name << ": the next band untouched";
    }
}

// Random marks and clears: everything marked and not cleared stays marked, and the gathered
// parts cover every mark, never overlap and are few.
TEST(ChangedRows, GatheredPartsCoverEveryMark) {
    constexpr int kW = 120, kH = 90;
    std::mt19937 random(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 200; ++round) {
        TChangedRows rows;
        rows.Reset(kH);
        std::vector<char> must(kW * kH, 0);
        for (int i = 0, n = pick(1, 25); i < n; ++i) {
            const TRect r = Bounds(pick(-5, kW), pick(-5, kH), pick(1, 60), pick(1, 40));
            if (pick(0, 3) == 0) {
                rows.Clear(r);
                for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, kH); ++y)
                    for (int x = std::max(r.Left, 0); x < std::min(r.Right, kW); ++x)
                        must[y * kW + x] = 0;
            } else {
                rows.Mark(r);
                for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, kH); ++y)
                    for (int x = std::max(r.Left, 0); x < std::min(r.Right, kW); ++x)
                        must[y * kW + x] = 1;
            }
        }
        std::vector<TRect> parts;
        rows.Gather(parts);
        ASSERT_LE(parts.size(), TChangedRows::kMaxParts) << "round " << round;
        for (size_t a = 0; a < parts.size(); ++a)
            for (size_t b = a + 1; b < parts.size(); ++b)
                ASSERT_FALSE(OverlapRect(parts[a], parts[b])) << "round " << round;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                if (!must[y * kW + x] && !rows.Contains(x, y))
                    continue;
                ASSERT_TRUE(rows.Contains(x, y)) << "round " << round << ": " << x << "," << y << " lost";
                bool covered = false;
                for (const TRect& p : parts)
                    covered = covered || (x >= p.Left && x < p.Right && y >= p.Top && y < p.Bottom);
                ASSERT_TRUE(covered) << "round " << round << ": " << x << "," << y << " not gathered";
            }
    }
}

} // namespace
