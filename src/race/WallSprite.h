#pragma once

#include "engine/sprite/Sprite.h"

#include <cstdint>
#include <string_view>

class TRace;
class TMyCarSprite;

// Wall kinds: fixed obstacles, bonuses, shore scenery, traffic and the finish line.
enum TWallKind : uint8_t {
    wkTree = 0,
    wkRamp = 1,
    wkFlag = 2,
    wkWeed = 3,
    wkFisher = 4,
    wkShip = 5,
    wkBridge = 6,
    wkDuck = 7,
    wkBox10 = 8,
    wkBox20 = 9,
    wkBox50 = 10,
    wkBox100 = 11,
    wkBoxGun = 12,
    wkBoxShield = 13,
    wkBoxEngine = 14,
    wkBoxLife = 15,
    wkUmbrellaRed = 16,
    wkUmbrellaGreen = 17,
    wkUmbrellaBlue = 18,
    wkBedLeft = 19,
    wkBedRight = 20,
    wkRoomBlue = 21,
    wkRoomRed = 22,
    // Traffic boats, each going the player's way (up the river) or coming towards it.
    wkBoat4SameWay = 23,
    wkBoat4Oncoming = 24,
    wkBoat5SameWay = 25,
    wkBoat5Oncoming = 26,
    wkBoat6SameWay = 27,
    wkBoat6Oncoming = 28,
    wkBoat7SameWay = 29,
    wkBoat7Oncoming = 30,
    wkBoat8SameWay = 31,
    wkBoat8Oncoming = 32,
    wkBoat9SameWay = 33,
    wkBoat9Oncoming = 34,
    wkFinishLine = 35,
};
constexpr int kWallKindCount = wkFinishLine + 1;
constexpr TWallKind wkFirstTraffic = wkBoat4SameWay;
constexpr TWallKind wkLastTraffic = wkBoat9Oncoming;

constexpr bool IsTrafficKind(int kind) {
    return kind >= wkFirstTraffic && kind <= wkLastTraffic;
}
// Same-way and oncoming kinds alternate.
constexpr bool IsSameWayTraffic(TWallKind kind) {
    return IsTrafficKind(kind) && (kind - wkFirstTraffic) % 2 == 0;
}

// The explosion a wall turns into.
enum TBlastSize : int32_t {
    blNone = 0, // the picture stays as it is
    blSmall = 1,
    blBig = 2,
};

// Which bank shore scenery stands on.
enum TShoreSide : uint8_t {
    shEither = 0,
    shLeft = 2,
    shRight = 3,
};

// Everything that floats down the river or stands on its banks. A wall scans for what
// touches it in its own Step and applies its effect to the player's boat in Collide.
class TWallSprite : public TImageSprite {
  public:
    // Sets the kind's picture and flags and places the wall just above the screen;
    // Blocked tells the creator that the place touches another wall.
    TWallSprite(TRace& race, TWallKind kind, int32_t slot);

    void Collide(TSprite* other, bool& done) override;
    void Render() override;
    void Step(int moveCount) override;

    // Turns the wall into its explosion, centred where it was; it keeps scrolling.
    void Explode();
    // Swaps the picture; the box keeps its size.
    void SetWallPicture(std::string_view name);

    bool IsTraffic() const { return Moving && Kind != wkShip; }

    int32_t Slot;
    TWallKind Kind;
    bool Collected = false;
    TBlastSize BlastSize = blNone;
    bool Exploded = false;
    bool ShotProof = false;
    bool OnShore = false;
    bool BonusBox = false;
    bool RandomPlace = false;
    TShoreSide ShoreSide = shEither;
    bool Blocked = false;
    bool Moving = false;
    bool SameWay = false;
    double DriftX = 0;
    double OwnSpeed = 0;
    int32_t SwerveMs = 0;

  private:
    // Sets the kind's flags and motion; returns its picture's name.
    const char* ApplyKindSettings();
    void Place();
    void HitByBoat(TMyCarSprite& boat);
    void ApplyEffect(TMyCarSprite& boat);
    void StepShip();
    void StepTraffic();

    TRace& m_race;
};

// Points for a wall destroyed by the gun.
int32_t ShotScore(const TWallSprite& wall);

// The picture a floating box shows for its kind (box kinds only, else null).
const char* BonusPictureOf(TWallKind kind);
