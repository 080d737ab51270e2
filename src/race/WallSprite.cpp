#include "race/WallSprite.h"
#include "context/DataNames.h"

#include "engine/gfx/ImageList.h"
#include "race/Explosion.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/RaceGeometry.h"

#include <array>
#include <cmath>

namespace {

struct TWallKindInfo {
    const char* Picture;
    const char* BonusPicture; // shown on a floating box
    bool ShotProof;
    bool RandomPlace;
    bool OnShore;
    TShoreSide ShoreSide;
    TBlastSize BlastSize;
};

// Ships, bridges, traffic and the finish line get their pictures and motion in ApplyKindSettings.
constexpr std::array<TWallKindInfo, kWallKindCount> kKinds{{
    {PictureName::Tree, nullptr, true, true, false, shEither, blNone},
    {PictureName::Tramplin, nullptr, false, true, false, shEither, blBig},
    {PictureName::Flag, nullptr, false, true, false, shEither, blSmall},
    {PictureName::Weed, nullptr, true, true, false, shEither, blNone},
    {PictureName::Fisher, nullptr, false, true, false, shEither, blBig},
    {PictureName::ShipRight, nullptr, false, true, false, shEither, blBig},
    {PictureName::BridgeBigLeft, nullptr, false, false, false, shEither, blBig},
    {PictureName::Duck, nullptr, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Bonus10, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Bonus20, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Bonus50, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Bonus100, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Gun, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Shield, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Engine, false, true, false, shEither, blSmall},
    {PictureName::BoxLeft, PictureName::Life, false, true, false, shEither, blSmall},
    {PictureName::UmbrellaRed, nullptr, false, true, true, shEither, blNone},
    {PictureName::UmbrellaGreen, nullptr, false, true, true, shEither, blNone},
    {PictureName::UmbrellaBlue, nullptr, false, true, true, shEither, blNone},
    {PictureName::BedLeft, nullptr, false, true, true, shLeft, blNone},
    {PictureName::BedRight, nullptr, false, true, true, shRight, blNone},
    {PictureName::RoomBlue, nullptr, false, true, true, shEither, blNone},
    {PictureName::RoomRed, nullptr, false, true, true, shEither, blNone},
    {PictureName::Boat4, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat4_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat5, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat5_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat6, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat6_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat7, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat7_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat8, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat8_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat9, nullptr, false, true, false, shEither, blBig},
    {PictureName::Boat9_Inv, nullptr, false, true, false, shEither, blBig},
    {PictureName::FinishLine, nullptr, true, false, false, shEither, blNone},
}};

constexpr double kShipDrift = 10.0 / 7;
constexpr double kSpawnY = -140;
constexpr int kDepthWall = 2;
constexpr int kDepthMoving = 3;

constexpr int32_t kSwerveOdds = 150;

// A boat closing in faster than this on a traffic boat is wrecked by it.
constexpr double kWreckClosingSpeed = 25.0 / 7;
// Hitting a bridge slower than this only stops the boat.
constexpr double kBridgeSafeSpeed = 50.0 / 7;
constexpr double kWeedSlowDown = 25.0 / 7;
constexpr double kFlagSlowDown = 5;
constexpr int32_t kWeedDriftMs = 700;
constexpr uint16_t kDuckPenalty = 100;
constexpr double kBoxRightFromX = 392;
constexpr int kBonusLift = 4;

// Random(n) with the range clamped to 1, for pictures wider than their placement range.
int32_t PlaceRange(int32_t range) {
    return range < 1 ? 1 : range;
}

} // namespace

TWallSprite::TWallSprite(TRace& race, TWallKind kind, int32_t slot)
    : TImageSprite(&race.Root()), Slot(slot), Kind(kind), m_race(race) {
    Image = &m_race.Picture(ApplyKindSettings());
    Width = Image->Width();
    Height = Image->Height();
    if (RandomPlace)
        Place();
    Y = kSpawnY;
    if (Z() == 0)
        SetZ(kDepthWall);
    Blocked = Kind != wkFinishLine && m_race.Track().PlacementBlocked(Slot, X, Y, Width, Height);
}

const char* TWallSprite::ApplyKindSettings() {
    const TWallKindInfo& info = kKinds[Kind];
    const char* picture = info.Picture;
    ShotProof = info.ShotProof;
    RandomPlace = info.RandomPlace;
    OnShore = info.OnShore;
    ShoreSide = info.ShoreSide;
    BlastSize = info.BlastSize;
    BonusBox = info.BonusPicture != nullptr;
    if (Kind == wkShip) {
        Moving = true;
        // A coin toss: sailing right or left, facing its way.
        const bool right = m_race.Random(2) == 0;
        DriftX = right ? kShipDrift : -kShipDrift;
        picture = right ? PictureName::ShipRight : PictureName::ShipLeft;
        SetZ(kDepthMoving);
    } else if (Kind == wkBridge) {
        const bool left = m_race.Random(2) == 0;
        X = left ? kBridgeLeftX : kBridgeRightX;
        picture = left ? PictureName::BridgeBigLeft : PictureName::BridgeBigRight;
    } else if (IsTrafficKind(Kind)) {
        Moving = true;
        SameWay = IsSameWayTraffic(Kind);
        OwnSpeed = SameWay ? -(m_race.Random(70) + 30) / 14.0 : (m_race.Random(60) + 20) / 14.0;
        SwerveMs = 0;
        SetZ(kDepthMoving);
    } else if (Kind == wkFinishLine) {
        X = kWaterLeft;
        SetZ(kDepthWall);
    }
    return picture;
}

void TWallSprite::Place() {
    // Left edges from the range's start to where the right edge meets the range's end.
    auto placeBetween = [this](int32_t left, int32_t right) {
        return m_race.Random(PlaceRange(right - left + 1 - Width)) + left;
    };
    if (!OnShore) {
        X = placeBetween(kRiverPlaceLeft, kRiverPlaceRight);
        return;
    }
    const int32_t coin = m_race.Random(2);
    if (ShoreSide == shLeft || (ShoreSide == shEither && coin == 0))
        X = placeBetween(kLeftBankLeft, kLeftBankRight);
    else
        X = placeBetween(kRightBankLeft, kRightBankRight);
}

void TWallSprite::SetWallPicture(std::string_view name) {
    Image = &m_race.Picture(name);
}

void TWallSprite::Step(int moveCount) {
    TImageSprite::Step(moveCount);
    CheckCollisions();
    if (Kind == wkFinishLine)
        m_race.FinishLineY = Y;

    const double scroll = m_race.PlayerBoat->ScrollStep;
    if (!Moving) {
        Y += scroll;
        return;
    }
    X += DriftX;
    Y += scroll + OwnSpeed;
    if (Kind == wkShip) {
        StepShip();
        return;
    }
    StepTraffic();
    if (X < kTrafficLeft) {
        X = kTrafficLeft;
        DriftX = 0;
        SwerveMs = 0;
    }
    if (X + Width > kTrafficRight) {
        X = kTrafficRight - Width;
        DriftX = 0;
        SwerveMs = 0;
    }
}

void TWallSprite::StepShip() {
    if (X + Width > kShipRight) {
        X = kShipRight - Width;
        DriftX = -DriftX;
        SetWallPicture(PictureName::ShipLeft);
    }
    if (X < kShipLeft) {
        X = kShipLeft;
        DriftX = -DriftX;
        SetWallPicture(PictureName::ShipRight);
    }
}

void TWallSprite::StepTraffic() {
    if (!Exploded && SwerveMs == 0) {
        const int32_t r = m_race.Random(kSwerveOdds);
        if (r == 1 || r == 2) {
            const double drift = (m_race.Random(10) + 20) / 14.0;
            DriftX = r == 1 ? drift : -drift;
            SwerveMs = m_race.Random(100) + 400;
        }
    }
    if (SwerveMs > 0) {
        SwerveMs -= m_race.TickMs();
    } else {
        DriftX = 0;
        SwerveMs = 0;
    }
}

void TWallSprite::Collide(TSprite* other, bool& /*done*/) {
    if (auto* boat = dynamic_cast<TMyCarSprite*>(other)) {
        if (!boat->Jumping && !Exploded)
            HitByBoat(*boat);
        return;
    }
    auto* wall = dynamic_cast<TWallSprite*>(other);
    if (wall == nullptr)
        return;
    // Ships and traffic destroy each other.
    if (Moving && wall->Moving && !Exploded && !wall->Exploded) {
        wall->Explode();
        Explode();
    }
    // Fishers and bridges are wrecked by whatever sails into them.
    if (Moving && !Exploded && !wall->Exploded && (wall->Kind == wkFisher || wall->Kind == wkBridge)) {
        wall->Explode();
        Explode();
    }
}

void TWallSprite::HitByBoat(TMyCarSprite& boat) {
    // Acts on the boat once.
    Collidable = false;
    if (!boat.FinishCrossed)
        ApplyEffect(boat);
    if (IsTraffic()) {
        if (std::fabs(OwnSpeed + boat.ScrollStep) > kWreckClosingSpeed)
            boat.Wreck();
        if (!boat.HasShield)
            boat.Stop();
        if (!Exploded)
            Explode();
    }
}

void TWallSprite::ApplyEffect(TMyCarSprite& boat) {
    switch (Kind) {
    case wkTree:
        m_race.PlaySound(SoundName::Tree);
        boat.SlowHardTo(boat.Speed / 2);
        break;
    case wkRamp:
        // Only a boat whose top edge is in the ramp's lower half takes off.
        if (Y + Height / 2.0 < boat.Y)
            boat.StartJump();
        break;
    case wkFlag:
        m_race.PlaySound(SoundName::Flag);
        boat.SlowHardTo(boat.Speed > kFlagSlowDown ? boat.Speed - kFlagSlowDown : 0);
        break;
    case wkWeed:
        m_race.PlaySound(SoundName::Weed);
        boat.DriftSlowingTo(m_race.Random(2) == 0, kWeedDriftMs,
                            boat.Speed > kWeedSlowDown ? boat.Speed - kWeedSlowDown : 0);
        break;
    case wkFisher:
    case wkShip:
        Explode();
        boat.Wreck();
        break;
    case wkBridge:
        Explode();
        if (boat.Speed <= kBridgeSafeSpeed)
            boat.Stop();
        else
            boat.Wreck();
        break;
    case wkDuck:
        m_race.PlaySound(SoundName::Duck);
        boat.SubtractScore(kDuckPenalty);
        Collected = true;
        break;
    case wkBox10:
    case wkBox20:
    case wkBox50:
    case wkBox100: {
        static constexpr uint16_t kPoints[] = {10, 20, 50, 100};
        m_race.PlaySound(SoundName::Money);
        boat.AddScore(kPoints[Kind - wkBox10]);
        Collected = true;
        break;
    }
    case wkBoxGun:
        boat.GainPowerUp(puGun);
        Collected = true;
        break;
    case wkBoxShield:
        boat.GainPowerUp(puShield);
        Collected = true;
        break;
    case wkBoxEngine:
        boat.GainPowerUp(puEngine);
        Collected = true;
        break;
    case wkBoxLife:
        m_race.PlaySound(SoundName::Bonus);
        m_race.Lives += 1;
        Collected = true;
        break;
    // Scenery on the banks never touches the boat; traffic acts in HitByBoat; the finish line is
    // only read for its place.
    case wkUmbrellaRed:
    case wkUmbrellaGreen:
    case wkUmbrellaBlue:
    case wkBedLeft:
    case wkBedRight:
    case wkRoomBlue:
    case wkRoomRed:
    case wkBoat4SameWay:
    case wkBoat4Oncoming:
    case wkBoat5SameWay:
    case wkBoat5Oncoming:
    case wkBoat6SameWay:
    case wkBoat6Oncoming:
    case wkBoat7SameWay:
    case wkBoat7Oncoming:
    case wkBoat8SameWay:
    case wkBoat8Oncoming:
    case wkBoat9SameWay:
    case wkBoat9Oncoming:
    case wkFinishLine:
        break;
    }
}

void TWallSprite::Explode() {
    if (m_race.PlayerBoat->BoatState == bsRacing)
        m_race.PlaySound(SoundName::WallExplosion);
    const int oldWidth = Width;
    const int oldHeight = Height;
    switch (BlastSize) {
    case blNone:
        break;
    case blSmall:
        SetWallPicture(PictureName::ExplosionSmall);
        break;
    case blBig:
        SetWallPicture(PictureName::ExplosionBig);
        break;
    }
    Width = Image->Width();
    Height = Image->Height();
    X += (oldWidth - Width) / 2.0;
    Y += (oldHeight - Height) / 2.0;
    FrameCount = Image->PatternCount();
    Looping = false;
    FrameSpeed = m_race.TickMs() / 1000.0 * kBlastFramesPerSecond;
    FramePos = 0;
    OwnSpeed = 0;
    DriftX = 0;
    Exploded = true;
}

void TWallSprite::Render() {
    TDirectDrawSurface* surface = m_race.Surface();
    const TRacePictures& pictures = m_race.Pictures();
    if (BonusBox && !Exploded) {
        const TPictureCollectionItem* box = X > kBoxRightFromX ? pictures.BoxRight : pictures.BoxLeft;
        box->Draw(surface, static_cast<int>(X), static_cast<int>(Y), 0);
        const TPictureCollectionItem* bonus = pictures.Bonus[Kind - wkBox10];
        bonus->Draw(surface, static_cast<int>(X - (bonus->Width() - Width) / 2.0),
                    static_cast<int>(Y - (bonus->Height() - Height) / 2.0) - kBonusLift, 0);
        return;
    }
    if (IsTraffic() && !Exploded) {
        const int pattern = static_cast<int>(m_race.WakeClock->FramePos);
        if (OwnSpeed > 0) {
            // Coming down: the spray trails above, bottom-aligned with the boat.
            const TPictureCollectionItem* wake = pictures.BoatAnimInv;
            wake->Draw(surface, static_cast<int>(X + Width / 2.0 - wake->Width() / 2.0),
                       static_cast<int>(Y - (wake->Height() - Height)), pattern);
        } else {
            const TPictureCollectionItem* wake = pictures.BoatAnim;
            wake->Draw(surface, static_cast<int>(X + Width / 2.0 - wake->Width() / 2.0), static_cast<int>(Y),
                       pattern);
        }
    }
    TImageSprite::Render();
}

const char* BonusPictureOf(TWallKind kind) {
    return kind < kWallKindCount ? kKinds[kind].BonusPicture : nullptr;
}

int32_t ShotScore(const TWallSprite& wall) {
    int32_t points = wall.Moving ? 20 : 0;
    switch (wall.Kind) {
    case wkRamp:
    case wkShip:
    case wkBridge:
        points += 10;
        break;
    case wkFlag:
    case wkFisher:
    case wkDuck:
        points += 5;
        break;
    default:
        break;
    }
    return points;
}
