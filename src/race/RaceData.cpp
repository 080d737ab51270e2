#include "race/RaceData.h"
#include "context/DataNames.h"

#include "context/Frame.h"
#include "engine/gfx/ImageList.h"

#include <string_view>

namespace {
// The pictures whose size or pattern count the race's logic reads.
constexpr std::string_view kOutcomePictures[] = {
    PictureName::Boat1_Normal,  PictureName::Boat1_Big,      PictureName::Boat2_Normal,
    PictureName::Boat2_Big,     PictureName::Boat3_Normal,   PictureName::Boat3_Big,
    PictureName::Tree,          PictureName::Tramplin,       PictureName::Flag,
    PictureName::Weed,          PictureName::Fisher,         PictureName::ShipRight,
    PictureName::ShipLeft,      PictureName::BridgeBigLeft,  PictureName::BridgeBigRight,
    PictureName::Duck,          PictureName::BoxLeft,        PictureName::UmbrellaRed,
    PictureName::UmbrellaGreen, PictureName::UmbrellaBlue,   PictureName::BedLeft,
    PictureName::BedRight,      PictureName::RoomBlue,       PictureName::RoomRed,
    PictureName::Boat4,         PictureName::Boat4_Inv,      PictureName::Boat5,
    PictureName::Boat5_Inv,     PictureName::Boat6,          PictureName::Boat6_Inv,
    PictureName::Boat7,         PictureName::Boat7_Inv,      PictureName::Boat8,
    PictureName::Boat8_Inv,     PictureName::Boat9,          PictureName::Boat9_Inv,
    PictureName::FinishLine,    PictureName::ExplosionSmall, PictureName::ExplosionBig,
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
