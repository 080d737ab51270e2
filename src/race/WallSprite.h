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
    wkFirstTraffic = 23, // 23, 25 … 33 go the player's way, 24, 26 … 34 come towards it
    wkLastTraffic = 34,
    wkFinishLine = 35,
};
constexpr int kWallKindCount = 36;

constexpr bool IsTrafficKind(int kind) {
    return kind >= wkFirstTraffic && kind <= wkLastTraffic;
}

// Everything that floats down the river or stands on its banks. A wall scans for what
// touches it in its own Step and applies its effect to the player's boat in Collide.
class TWallSprite : public TImageSprite {
  public:
    // Sets the kind's picture and flags and places the wall just above the screen;
    // Blocked tells the creator that the place touches another wall.
    TWallSprite(TRace& race, uint8_t kind, int32_t slot);

    void Collide(TSprite* other, bool& done) override;
    void Render() override;
    void Step(int moveCount) override;

    // Turns the wall into its explosion, centred where it was; it keeps scrolling.
    void Explode();
    // Swaps the picture; the box keeps its size.
    void SetWallPicture(std::string_view name);

    bool IsTraffic() const { return Moving && Kind != wkShip; }

    int32_t Slot;
    uint8_t Kind;
    bool Collected = false;
    int32_t BlastSize = 0; // 0 none, 1 small, 2 big
    bool Exploded = false;
    bool ShotProof = false;
    bool OnShore = false;
    bool BonusBox = false;
    bool RandomPlace = false;
    uint8_t ShoreSide = 0; // 0 either bank, 2 left, 3 right
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
const char* BonusPictureOf(uint8_t kind);
