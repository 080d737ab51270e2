// Checks the built archives against the names the game looks up and the
// picture geometry its drawing code relies on.
#include "context/DataNames.h"
#include "engine/archive/ImageArchive.h"
#include "engine/archive/WaveArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

struct PictureInfo {
    const TImageArchiveItem* Item;
    int Width, Height, Patterns; // one pattern's size, and the number the game cuts
};

// The game's pattern count: whole cells, plus a last pattern without its trailing skip.
int CountAlong(int size, int pattern, int skip) {
    if (pattern <= 0)
        return 1;
    int cell = pattern + skip;
    int n = size / cell;
    return size - n * cell == pattern ? n + 1 : n;
}

class Archive {
  public:
    explicit Archive(const std::string& file) : items_(ReadImageArchive(file)) {
        for (const auto& item : items_) {
            int w = item.Picture ? item.Picture->Width : 0, h = item.Picture ? item.Picture->Height : 0;
            PictureInfo info{&item, item.PatternWidth > 0 ? item.PatternWidth : w,
                             item.PatternHeight > 0 ? item.PatternHeight : h,
                             CountAlong(w, item.PatternWidth, item.SkipWidth) *
                                 CountAlong(h, item.PatternHeight, item.SkipHeight)};
            byName_.insert_or_assign(item.Name, info);
        }
    }
    const PictureInfo* Find(std::string_view name) const {
        auto it = byName_.find(std::string(name));
        return it == byName_.end() ? nullptr : &it->second;
    }
    const PictureInfo& Get(std::string_view name) const {
        const PictureInfo* p = Find(name);
        if (!p)
            throw std::runtime_error("no picture " + std::string(name));
        return *p;
    }
    const std::vector<TImageArchiveItem>& Items() const { return items_; }

  private:
    std::vector<TImageArchiveItem> items_;
    std::map<std::string, PictureInfo> byName_;
};

class BuiltArchives : public ::testing::Test {
  protected:
    // Both archives are read once: they are large, and every test only looks.
    static void SetUpTestSuite() {
        menuArchive_ = std::make_unique<Archive>(SPRAYDASH_RES1);
        raceArchive_ = std::make_unique<Archive>(SPRAYDASH_RES3);
    }
    static void TearDownTestSuite() {
        menuArchive_.reset();
        raceArchive_.reset();
    }
    void SetUp() override {
        menu_ = menuArchive_.get();
        race_ = raceArchive_.get();
    }
    static inline std::unique_ptr<Archive> menuArchive_, raceArchive_;
    const Archive* menu_ = nullptr;
    const Archive* race_ = nullptr;
};

template <size_t N>
void ExpectAllPresent(const Archive& archive, const std::array<std::string_view, N>& names,
                      const char* file) {
    std::string missing;
    for (auto name : names) {
        const PictureInfo* p = archive.Find(name);
        if (!p || !p->Item->Picture || p->Width <= 0 || p->Height <= 0 || p->Patterns < 1)
            missing += " " + std::string(name);
    }
    EXPECT_TRUE(missing.empty()) << file << " lacks a usable picture for:" << missing;
}

template <size_t N> void ExpectListSound(const std::array<std::string_view, N>& names) {
    std::set<std::string_view> seen;
    for (auto name : names) {
        EXPECT_FALSE(name.empty()) << "the list is longer than its names";
        EXPECT_TRUE(seen.insert(name).second) << name << " is listed twice";
    }
}

TEST(DataNames, ListsHaveNoGapsOrRepeats) {
    ExpectListSound(kMenuPictureNames);
    ExpectListSound(kRacePictureNames);
    ExpectListSound(kSoundNames);
}

TEST_F(BuiltArchives, EveryNameTheGameAsksForIsThere) {
    ExpectAllPresent(*menu_, kMenuPictureNames, SPRAYDASH_RES1);
    ExpectAllPresent(*race_, kRacePictureNames, SPRAYDASH_RES3);
}

TEST_F(BuiltArchives, PatternCountsMatchHowTheGameUsesThem) {
    struct Case {
        const Archive* archive;
        const char* name;
        int minPatterns, maxPatterns;
    };
    const Case cases[] = {
        {menu_, "MMB_Active", 5, 5},     {menu_, "MMB_Inactive", 5, 5},   {menu_, "ClearHS", 2, 2},
        {menu_, "ViewHS", 2, 2},         {menu_, "Previous", 2, 2},       {menu_, "Next", 2, 2},
        {menu_, "YesButton", 2, 2},      {menu_, "NoButton", 2, 2},       {race_, "ExplosionBig", 8, 8},
        {race_, "ExplosionSmall", 8, 8}, {race_, "ExplosionMicro", 4, 4}, {race_, "EngineFire", 4, 4},
        {race_, "BoatGunFire", 2, 4},    {race_, "CarAnim", 4, 8},        {menu_, "Medals", 3, 3},
        {race_, "ShotTracer", 1, 1},     {race_, "ShotSpark", 1, 4},      {race_, "Splash", 2, 8},
    };
    for (const auto& c : cases) {
        int n = c.archive->Get(c.name).Patterns;
        EXPECT_GE(n, c.minPatterns) << c.name;
        EXPECT_LE(n, c.maxPatterns) << c.name;
    }
    // Traffic wakes take their pattern from the player's wake clock.
    int wakeFrames = race_->Get("CarAnim").Patterns;
    EXPECT_GE(race_->Get("BoatAnim").Patterns, wakeFrames);
    EXPECT_GE(race_->Get("BoatAnim_Inv").Patterns, wakeFrames);
    // Every single picture of the menu is one pattern, so frame 0 is all of it.
    for (auto name : kMenuPictureNames) {
        std::string n(name);
        if (n.starts_with("MMB_") || n == "ClearHS" || n == "ViewHS" || n == "Previous" || n == "Next" ||
            n == "YesButton" || n == "NoButton" || n == "Medals")
            continue;
        EXPECT_EQ(menu_->Get(name).Patterns, 1) << name;
    }
}

TEST_F(BuiltArchives, SizesFitTheLayout) {
    EXPECT_EQ(race_->Get("FinishLine").Width, 432);
    const PictureInfo& land = race_->Get("Land");
    EXPECT_GE(land.Width, 486);
    EXPECT_EQ(600 % land.Height, 0) << "Land is " << land.Height << " tall; the scroll wraps every 600 rows";
    EXPECT_EQ(race_->Get("CarAnim").Width, 84);

    // A button keeps its inactive picture's size when it lights up, so both looks must agree.
    const std::pair<const char*, const char*> pairs[] = {
        {"MMB_Active", "MMB_Inactive"}, {"MM_ExitActive", "MM_ExitInactive"}, {"MenuBoat1_A", "MenuBoat1_I"},
        {"MenuBoat2_A", "MenuBoat2_I"}, {"MenuBoat3_A", "MenuBoat3_I"},       {"OptButton_A", "OptButton_I"},
        {"OptButton_A", "Options1_1"},  {"Options1_1", "Options1_2"},         {"Options2_1", "Options2_2"},
        {"Options3_1", "Options3_2"},   {"Options1_1", "Options4"},
    };
    for (const auto& [a, b] : pairs) {
        EXPECT_EQ(menu_->Get(a).Width, menu_->Get(b).Width) << a << " / " << b;
        EXPECT_EQ(menu_->Get(a).Height, menu_->Get(b).Height) << a << " / " << b;
    }
    EXPECT_LE(menu_->Get("MMB_Active").Height, 58);
    EXPECT_LE(556 + menu_->Get("MMB_Active").Width, 798);
    EXPECT_LE(menu_->Get("UpPanel").Height, 100);
    EXPECT_LE(menu_->Get("DownPanel").Width, 300);
    EXPECT_LE(menu_->Get("DownPanel").Height, 110);
    for (auto name : {"YesButton", "NoButton"}) {
        EXPECT_LE(menu_->Get(name).Width, 95) << name;
        EXPECT_LE(menu_->Get(name).Height, 45) << name;
    }
    for (auto name : {"OptionsB", "HSB", "Help1", "Help2", "Help3", "StartGameB"}) {
        EXPECT_LE(12 + menu_->Get(name).Width, 556) << name << " would reach under the button column";
        EXPECT_LE(106 + menu_->Get(name).Height, 600) << name;
    }
    for (auto name : {"StartC", "OptionsC", "HSC", "HelpC", "VisitWWWC", "ExitC", "NullCaption"}) {
        EXPECT_LE(menu_->Get(name).Width, 520) << name;
        EXPECT_LE(menu_->Get(name).Height, 380) << name;
    }
}

// The display keys in 16-bit colour, so an opaque pixel that reduces to the
// key's 5-6-5 value would show as a hole.
TEST_F(BuiltArchives, NoOpaquePixelTurnsIntoTheColourKey) {
    for (const Archive* archive : {menu_, race_})
        for (const auto& item : archive->Items()) {
            if (!item.Transparent || !item.Picture)
                continue;
            EXPECT_EQ(item.TransparentColor, 0xFF00FF) << item.Name << " does not use clFuchsia";
            int collisions = 0;
            for (uint32_t p : item.Picture->Pixels) {
                if (p == 0xFF00FF)
                    continue;
                bool key565 = (p >> 19 & 0x1F) == 31 && (p >> 10 & 0x3F) == 0 && (p >> 3 & 0x1F) == 31;
                collisions += key565;
            }
            EXPECT_EQ(collisions, 0) << item.Name;
        }
}

TEST(SoundArchive, EveryEffectTheGamePlaysIsThere) {
    if (!std::filesystem::exists(SPRAYDASH_SOUNDS))
        GTEST_SKIP() << SPRAYDASH_SOUNDS << " is not built (the audio target is not part of this build)";
    std::set<std::string> names;
    for (const auto& item : ReadWaveArchive(SPRAYDASH_SOUNDS)) {
        EXPECT_FALSE(item.Wave.empty()) << item.Name << " has no wave data";
        names.insert(item.Name);
    }
    for (auto name : kSoundNames)
        EXPECT_TRUE(names.count(std::string(name))) << SPRAYDASH_SOUNDS << " lacks " << name;
}

} // namespace
