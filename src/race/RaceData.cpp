#include "race/RaceData.h"

#include "context/Frame.h"
#include "engine/gfx/ImageList.h"

#include <string_view>

namespace {
// The pictures whose size or pattern count the race's logic reads.
constexpr std::string_view kOutcomePictures[] = {
    "Boat1_Normal",  "Boat1_Big",      "Boat2_Normal",   "Boat2_Big", "Boat3_Normal", "Boat3_Big",
    "Tree",          "Tramplin",       "Flag",           "Weed",      "Fisher",       "ShipRight",
    "ShipLeft",      "BridgeBigLeft",  "BridgeBigRight", "Duck",      "BoxLeft",      "UmbrellaRed",
    "UmbrellaGreen", "UmbrellaBlue",   "BedLeft",        "BedRight",  "RoomBlue",     "RoomRed",
    "Boat4",         "Boat4_Inv",      "Boat5",          "Boat5_Inv", "Boat6",        "Boat6_Inv",
    "Boat7",         "Boat7_Inv",      "Boat8",          "Boat8_Inv", "Boat9",        "Boat9_Inv",
    "FinishLine",    "ExplosionSmall", "ExplosionBig",
};
// Raised whenever the race's rules change in a way that makes old replays come out otherwise.
constexpr uint32_t kRulesRevision = 1;

class TFnv1a {
  public:
    void Bytes(std::string_view bytes) {
        for (char c : bytes) {
            m_hash ^= static_cast<uint8_t>(c);
            m_hash *= 1099511628211ULL;
        }
    }
    void Number(int64_t value) {
        for (int i = 0; i < 8; ++i) {
            const char byte = static_cast<char>(static_cast<uint64_t>(value) >> (8 * i));
            Bytes(std::string_view(&byte, 1));
        }
    }
    uint64_t Value() const { return m_hash; }

  private:
    uint64_t m_hash = 14695981039346656037ULL;
};
} // namespace

uint64_t RaceOutcomeDataHash(const TPictureCollection& racePictures) {
    TFnv1a h;
    h.Number(kRulesRevision);
    h.Number(kFrameTickMs);
    for (std::string_view name : kOutcomePictures) {
        const TPictureCollectionItem& item = racePictures.Find(name);
        h.Bytes(name);
        h.Number(item.Width());
        h.Number(item.Height());
        h.Number(item.PatternCount());
    }
    return h.Value();
}
