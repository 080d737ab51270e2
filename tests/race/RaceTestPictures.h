#pragma once

#include "engine/gfx/ImageList.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

// Every race picture, made in memory at the size the art sheet asks for, each in one opaque
// colour of its own so a test can tell them apart on screen.
struct TRaceTestPicture {
    const char* Name;
    int Width;
    int Height;
    int Patterns;
};

inline constexpr TRaceTestPicture kPictures[] = {
    {"Land", 486, 600, 1},         {"LeftPanel", 127, 600, 1},
    {"RightPanel", 138, 600, 1},   {"BoatSmall", 12, 20, 1},
    {"Pointer", 19, 7, 1},         {"PanelGun", 30, 25, 1},
    {"PanelEngine", 40, 28, 1},    {"PanelShield", 36, 28, 1},
    {"None", 40, 20, 1},           {"Boat1_Normal", 36, 80, 1},
    {"Boat2_Normal", 36, 80, 1},   {"Boat3_Normal", 36, 80, 1},
    {"Boat1_Big", 45, 100, 1},     {"Boat2_Big", 45, 100, 1},
    {"Boat3_Big", 45, 100, 1},     {"BoatGun", 12, 30, 1},
    {"BoatGunBig", 15, 38, 1},     {"BoatShield", 44, 60, 1},
    {"BoatShieldBig", 55, 75, 1},  {"BoatEngine", 20, 30, 1},
    {"BoatEngineBig", 25, 38, 1},  {"CarAnim", 84, 120, 4},
    {"EngineFire", 16, 33, 4},     {"BoatGunFire", 16, 26, 2},
    {"ExplosionBig", 96, 96, 8},   {"ExplosionSmall", 48, 48, 8},
    {"ExplosionMicro", 24, 24, 4}, {"Tree", 90, 40, 1},
    {"Tramplin", 64, 56, 1},       {"Flag", 24, 40, 1},
    {"Weed", 64, 40, 1},           {"Fisher", 48, 56, 1},
    {"Duck", 24, 20, 1},           {"ShipRight", 140, 56, 1},
    {"ShipLeft", 140, 56, 1},      {"BridgeBigLeft", 75, 60, 1},
    {"BridgeBigRight", 75, 60, 1}, {"BoxLeft", 32, 32, 1},
    {"BoxRight", 32, 32, 1},       {"Bonus10", 24, 24, 1},
    {"Bonus20", 24, 24, 1},        {"Bonus50", 24, 24, 1},
    {"Bonus100", 24, 24, 1},       {"Gun", 24, 24, 1},
    {"Shield", 24, 24, 1},         {"Engine", 24, 24, 1},
    {"Life", 24, 24, 1},           {"UmbrellaRed", 40, 40, 1},
    {"UmbrellaGreen", 40, 40, 1},  {"UmbrellaBlue", 40, 40, 1},
    {"BedLeft", 40, 30, 1},        {"BedRight", 40, 30, 1},
    {"RoomBlue", 44, 44, 1},       {"RoomRed", 44, 44, 1},
    {"Boat4", 36, 80, 1},          {"Boat4_Inv", 36, 80, 1},
    {"Boat5", 40, 84, 1},          {"Boat5_Inv", 40, 84, 1},
    {"Boat6", 38, 72, 1},          {"Boat6_Inv", 38, 72, 1},
    {"Boat7", 44, 90, 1},          {"Boat7_Inv", 44, 90, 1},
    {"Boat8", 40, 76, 1},          {"Boat8_Inv", 40, 76, 1},
    {"Boat9", 42, 86, 1},          {"Boat9_Inv", 42, 86, 1},
    {"BoatAnim", 48, 120, 4},      {"BoatAnim_Inv", 48, 120, 4},
    {"FinishLine", 432, 40, 1},    {"Window", 380, 200, 1},
    {"Cursor", 12, 3, 1},          {"ShotTracer", 6, 24, 1},
    {"ShotSpark", 24, 24, 2},      {"Splash", 112, 152, 6},
};

inline uint32_t ColourOf(int index) {
    return 0x102030u + static_cast<uint32_t>(index) * 0x030507u;
}

inline int PictureIndex(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kPictures)); ++i)
        if (name == kPictures[i].Name)
            return i;
    return -1;
}

// Adds the pictures to a collection; add them before the display initializes, which then
// builds their surfaces.
inline void AddRacePictures(TPictureCollection& items) {
    for (int i = 0; i < static_cast<int>(std::size(kPictures)); ++i) {
        const TRaceTestPicture& spec = kPictures[i];
        TPictureCollectionItem& item = items.Add();
        item.SetName(spec.Name);
        item.PatternWidth = spec.Width;
        item.PatternHeight = spec.Height;
        item.SetTransparentColor(0xFF00FF);
        TPicture picture;
        picture.Width = spec.Width * spec.Patterns;
        picture.Height = spec.Height;
        picture.Pixels.assign(static_cast<size_t>(picture.Width) * picture.Height, ColourOf(i));
        item.Picture = std::move(picture);
    }
}
