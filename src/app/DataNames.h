#pragma once

#include <array>
#include <string_view>

// Every picture and sound effect the game looks up by name. The data build
// must provide each of them (a test checks the built archives against these
// lists): a missing name only shows up as an error when the game reaches it.

// Pictures of the menu archive, Data/Res/Res1.dxg.
inline constexpr std::array<std::string_view, 44> kMenuPictureNames{
    "MMBackground", "UpPanel", "DownPanel", "MMB_Active", "MMB_Inactive", "MM_ExitActive", "MM_ExitInactive",
    // captions of the highlighted main-menu entry
    "NullCaption", "StartC", "OptionsC", "HSC", "HelpC", "VisitWWWC", "ExitC",
    // sub-screen frames
    "OptionsB", "HSB", "Help1", "Help2", "Help3", "StartGameB",
    // the high-score table's medals, drawn with its rows
    "Medals",
    // options rows and their highlight
    "Options1_1", "Options1_2", "Options2_1", "Options2_2", "Options3_1", "Options3_2", "Options4",
    "OptButton_A", "OptButton_I",
    // sub-screen buttons
    "ClearHS", "ViewHS", "Previous", "Next", "MenuBoat1_A", "MenuBoat1_I", "MenuBoat2_A", "MenuBoat2_I",
    "MenuBoat3_A", "MenuBoat3_I",
    // questions
    "Window", "YesButton", "NoButton", "Cursor"};

// Pictures of the race archive, Data/Res/Res3.dxg.
inline constexpr std::array<std::string_view, 74> kRacePictureNames{
    "Land", "LeftPanel", "RightPanel", "BoatSmall", "Pointer", "PanelGun", "PanelEngine", "PanelShield",
    "None",
    // the player's boats and what they carry
    "Boat1_Normal", "Boat2_Normal", "Boat3_Normal", "Boat1_Big", "Boat2_Big", "Boat3_Big", "BoatGun",
    "BoatGunBig", "BoatShield", "BoatShieldBig", "BoatEngine", "BoatEngineBig",
    // animations
    "CarAnim", "EngineFire", "BoatGunFire", "ShotTracer", "ShotSpark", "Splash", "ExplosionBig",
    "ExplosionSmall", "ExplosionMicro",
    // on the water
    "Tree", "Tramplin", "Flag", "Weed", "Fisher", "Duck", "ShipRight", "ShipLeft", "BridgeBigLeft",
    "BridgeBigRight", "BoxLeft", "BoxRight", "FinishLine",
    // what a box gives
    "Bonus10", "Bonus20", "Bonus50", "Bonus100", "Gun", "Shield", "Engine", "Life",
    // on the banks
    "UmbrellaRed", "UmbrellaGreen", "UmbrellaBlue", "RoomBlue", "RoomRed", "BedLeft", "BedRight",
    // traffic and its wakes
    "Boat4", "Boat5", "Boat6", "Boat7", "Boat8", "Boat9", "Boat4_Inv", "Boat5_Inv", "Boat6_Inv", "Boat7_Inv",
    "Boat8_Inv", "Boat9_Inv", "BoatAnim", "BoatAnim_Inv",
    // captions a race shows from its own archive
    "Window", "Cursor"};

// Sound effects of Data/Res/Sounds.dxw.
inline constexpr std::array<std::string_view, 17> kSoundNames{
    "Engine",        "Shot", "TimeOver", "GameOver", "B_Act", "Jump", "Bonus", "BonusLost", "PlayerExplosion",
    "WallExplosion", "Tree", "Flag",     "Weed",     "Money", "Duck", "Tick",  "Finish"};
