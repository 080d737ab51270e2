#pragma once

#include <array>
#include <string_view>

// Every picture and sound effect the game looks up by name, named once. The strings are the
// data's own names; the data build must provide each of them (a test checks the built archives
// against the lists below): a missing name only shows up as an error when the game reaches it.

namespace PictureName {
// the menu archive, Data/Res/Res1.dxg
inline constexpr char MMBackground[] = "MMBackground";
inline constexpr char UpPanel[] = "UpPanel";
inline constexpr char DownPanel[] = "DownPanel";
inline constexpr char MMB_Active[] = "MMB_Active";
inline constexpr char MMB_Inactive[] = "MMB_Inactive";
inline constexpr char MM_ExitActive[] = "MM_ExitActive";
inline constexpr char MM_ExitInactive[] = "MM_ExitInactive";
// captions of the highlighted main-menu entry
inline constexpr char NullCaption[] = "NullCaption";
inline constexpr char StartC[] = "StartC";
inline constexpr char OptionsC[] = "OptionsC";
inline constexpr char HSC[] = "HSC";
inline constexpr char HelpC[] = "HelpC";
inline constexpr char VisitWWWC[] = "VisitWWWC";
inline constexpr char ExitC[] = "ExitC";
// sub-screen frames
inline constexpr char OptionsB[] = "OptionsB";
inline constexpr char HSB[] = "HSB";
inline constexpr char Help1[] = "Help1";
inline constexpr char Help2[] = "Help2";
inline constexpr char Help3[] = "Help3";
inline constexpr char StartGameB[] = "StartGameB";
// the high-score table's medals, drawn with its rows
inline constexpr char Medals[] = "Medals";
// options rows and their highlight
inline constexpr char Options1_1[] = "Options1_1";
inline constexpr char Options1_2[] = "Options1_2";
inline constexpr char Options2_1[] = "Options2_1";
inline constexpr char Options2_2[] = "Options2_2";
inline constexpr char Options3_1[] = "Options3_1";
inline constexpr char Options3_2[] = "Options3_2";
inline constexpr char Options4[] = "Options4";
inline constexpr char OptButton_A[] = "OptButton_A";
inline constexpr char OptButton_I[] = "OptButton_I";
// sub-screen buttons
inline constexpr char ClearHS[] = "ClearHS";
inline constexpr char ViewHS[] = "ViewHS";
inline constexpr char Previous[] = "Previous";
inline constexpr char Next[] = "Next";
inline constexpr char MenuBoat1_A[] = "MenuBoat1_A";
inline constexpr char MenuBoat1_I[] = "MenuBoat1_I";
inline constexpr char MenuBoat2_A[] = "MenuBoat2_A";
inline constexpr char MenuBoat2_I[] = "MenuBoat2_I";
inline constexpr char MenuBoat3_A[] = "MenuBoat3_A";
inline constexpr char MenuBoat3_I[] = "MenuBoat3_I";
// questions
inline constexpr char Window[] = "Window";
inline constexpr char YesButton[] = "YesButton";
inline constexpr char NoButton[] = "NoButton";
inline constexpr char Cursor[] = "Cursor";
// the race archive, Data/Res/Res3.dxg (which has Window and Cursor of its own too)
inline constexpr char Land[] = "Land";
inline constexpr char LeftPanel[] = "LeftPanel";
inline constexpr char RightPanel[] = "RightPanel";
inline constexpr char BoatSmall[] = "BoatSmall";
inline constexpr char Pointer[] = "Pointer";
inline constexpr char PanelGun[] = "PanelGun";
inline constexpr char PanelEngine[] = "PanelEngine";
inline constexpr char PanelShield[] = "PanelShield";
inline constexpr char None[] = "None";
// the player's boats and what they carry
inline constexpr char Boat1_Normal[] = "Boat1_Normal";
inline constexpr char Boat2_Normal[] = "Boat2_Normal";
inline constexpr char Boat3_Normal[] = "Boat3_Normal";
inline constexpr char Boat1_Big[] = "Boat1_Big";
inline constexpr char Boat2_Big[] = "Boat2_Big";
inline constexpr char Boat3_Big[] = "Boat3_Big";
inline constexpr char BoatGun[] = "BoatGun";
inline constexpr char BoatGunBig[] = "BoatGunBig";
inline constexpr char BoatShield[] = "BoatShield";
inline constexpr char BoatShieldBig[] = "BoatShieldBig";
inline constexpr char BoatEngine[] = "BoatEngine";
inline constexpr char BoatEngineBig[] = "BoatEngineBig";
// animations
inline constexpr char CarAnim[] = "CarAnim";
inline constexpr char EngineFire[] = "EngineFire";
inline constexpr char BoatGunFire[] = "BoatGunFire";
inline constexpr char ShotTracer[] = "ShotTracer";
inline constexpr char ShotSpark[] = "ShotSpark";
inline constexpr char Splash[] = "Splash";
inline constexpr char ExplosionBig[] = "ExplosionBig";
inline constexpr char ExplosionSmall[] = "ExplosionSmall";
inline constexpr char ExplosionMicro[] = "ExplosionMicro";
// on the water
inline constexpr char Tree[] = "Tree";
inline constexpr char Tramplin[] = "Tramplin";
inline constexpr char Flag[] = "Flag";
inline constexpr char Weed[] = "Weed";
inline constexpr char Fisher[] = "Fisher";
inline constexpr char Duck[] = "Duck";
inline constexpr char ShipRight[] = "ShipRight";
inline constexpr char ShipLeft[] = "ShipLeft";
inline constexpr char BridgeBigLeft[] = "BridgeBigLeft";
inline constexpr char BridgeBigRight[] = "BridgeBigRight";
inline constexpr char BoxLeft[] = "BoxLeft";
inline constexpr char BoxRight[] = "BoxRight";
inline constexpr char FinishLine[] = "FinishLine";
// what a box gives
inline constexpr char Bonus10[] = "Bonus10";
inline constexpr char Bonus20[] = "Bonus20";
inline constexpr char Bonus50[] = "Bonus50";
inline constexpr char Bonus100[] = "Bonus100";
inline constexpr char Gun[] = "Gun";
inline constexpr char Shield[] = "Shield";
inline constexpr char Engine[] = "Engine";
inline constexpr char Life[] = "Life";
// on the banks
inline constexpr char UmbrellaRed[] = "UmbrellaRed";
inline constexpr char UmbrellaGreen[] = "UmbrellaGreen";
inline constexpr char UmbrellaBlue[] = "UmbrellaBlue";
inline constexpr char RoomBlue[] = "RoomBlue";
inline constexpr char RoomRed[] = "RoomRed";
inline constexpr char BedLeft[] = "BedLeft";
inline constexpr char BedRight[] = "BedRight";
// traffic and its wakes
inline constexpr char Boat4[] = "Boat4";
inline constexpr char Boat5[] = "Boat5";
inline constexpr char Boat6[] = "Boat6";
inline constexpr char Boat7[] = "Boat7";
inline constexpr char Boat8[] = "Boat8";
inline constexpr char Boat9[] = "Boat9";
inline constexpr char Boat4_Inv[] = "Boat4_Inv";
inline constexpr char Boat5_Inv[] = "Boat5_Inv";
inline constexpr char Boat6_Inv[] = "Boat6_Inv";
inline constexpr char Boat7_Inv[] = "Boat7_Inv";
inline constexpr char Boat8_Inv[] = "Boat8_Inv";
inline constexpr char Boat9_Inv[] = "Boat9_Inv";
inline constexpr char BoatAnim[] = "BoatAnim";
inline constexpr char BoatAnim_Inv[] = "BoatAnim_Inv";
// captions a race shows from its own archive
} // namespace PictureName

// Sound effects of Data/Res/Sounds.dxw.
namespace SoundName {
inline constexpr char Engine[] = "Engine";
inline constexpr char Shot[] = "Shot";
inline constexpr char TimeOver[] = "TimeOver";
inline constexpr char GameOver[] = "GameOver";
inline constexpr char B_Act[] = "B_Act";
inline constexpr char Jump[] = "Jump";
inline constexpr char Bonus[] = "Bonus";
inline constexpr char BonusLost[] = "BonusLost";
inline constexpr char PlayerExplosion[] = "PlayerExplosion";
inline constexpr char WallExplosion[] = "WallExplosion";
inline constexpr char Tree[] = "Tree";
inline constexpr char Flag[] = "Flag";
inline constexpr char Weed[] = "Weed";
inline constexpr char Money[] = "Money";
inline constexpr char Duck[] = "Duck";
inline constexpr char Tick[] = "Tick";
inline constexpr char Finish[] = "Finish";
} // namespace SoundName

// What each archive must hold.
inline constexpr std::array<std::string_view, 44> kMenuPictureNames{
    PictureName::MMBackground,
    PictureName::UpPanel,
    PictureName::DownPanel,
    PictureName::MMB_Active,
    PictureName::MMB_Inactive,
    PictureName::MM_ExitActive,
    PictureName::MM_ExitInactive,
    PictureName::NullCaption,
    PictureName::StartC,
    PictureName::OptionsC,
    PictureName::HSC,
    PictureName::HelpC,
    PictureName::VisitWWWC,
    PictureName::ExitC,
    PictureName::OptionsB,
    PictureName::HSB,
    PictureName::Help1,
    PictureName::Help2,
    PictureName::Help3,
    PictureName::StartGameB,
    PictureName::Medals,
    PictureName::Options1_1,
    PictureName::Options1_2,
    PictureName::Options2_1,
    PictureName::Options2_2,
    PictureName::Options3_1,
    PictureName::Options3_2,
    PictureName::Options4,
    PictureName::OptButton_A,
    PictureName::OptButton_I,
    PictureName::ClearHS,
    PictureName::ViewHS,
    PictureName::Previous,
    PictureName::Next,
    PictureName::MenuBoat1_A,
    PictureName::MenuBoat1_I,
    PictureName::MenuBoat2_A,
    PictureName::MenuBoat2_I,
    PictureName::MenuBoat3_A,
    PictureName::MenuBoat3_I,
    PictureName::Window,
    PictureName::YesButton,
    PictureName::NoButton,
    PictureName::Cursor,
};

inline constexpr std::array<std::string_view, 74> kRacePictureNames{
    PictureName::Land,           PictureName::LeftPanel,      PictureName::RightPanel,
    PictureName::BoatSmall,      PictureName::Pointer,        PictureName::PanelGun,
    PictureName::PanelEngine,    PictureName::PanelShield,    PictureName::None,
    PictureName::Boat1_Normal,   PictureName::Boat2_Normal,   PictureName::Boat3_Normal,
    PictureName::Boat1_Big,      PictureName::Boat2_Big,      PictureName::Boat3_Big,
    PictureName::BoatGun,        PictureName::BoatGunBig,     PictureName::BoatShield,
    PictureName::BoatShieldBig,  PictureName::BoatEngine,     PictureName::BoatEngineBig,
    PictureName::CarAnim,        PictureName::EngineFire,     PictureName::BoatGunFire,
    PictureName::ShotTracer,     PictureName::ShotSpark,      PictureName::Splash,
    PictureName::ExplosionBig,   PictureName::ExplosionSmall, PictureName::ExplosionMicro,
    PictureName::Tree,           PictureName::Tramplin,       PictureName::Flag,
    PictureName::Weed,           PictureName::Fisher,         PictureName::Duck,
    PictureName::ShipRight,      PictureName::ShipLeft,       PictureName::BridgeBigLeft,
    PictureName::BridgeBigRight, PictureName::BoxLeft,        PictureName::BoxRight,
    PictureName::FinishLine,     PictureName::Bonus10,        PictureName::Bonus20,
    PictureName::Bonus50,        PictureName::Bonus100,       PictureName::Gun,
    PictureName::Shield,         PictureName::Engine,         PictureName::Life,
    PictureName::UmbrellaRed,    PictureName::UmbrellaGreen,  PictureName::UmbrellaBlue,
    PictureName::RoomBlue,       PictureName::RoomRed,        PictureName::BedLeft,
    PictureName::BedRight,       PictureName::Boat4,          PictureName::Boat5,
    PictureName::Boat6,          PictureName::Boat7,          PictureName::Boat8,
    PictureName::Boat9,          PictureName::Boat4_Inv,      PictureName::Boat5_Inv,
    PictureName::Boat6_Inv,      PictureName::Boat7_Inv,      PictureName::Boat8_Inv,
    PictureName::Boat9_Inv,      PictureName::BoatAnim,       PictureName::BoatAnim_Inv,
    PictureName::Window,         PictureName::Cursor,
};

inline constexpr std::array<std::string_view, 17> kSoundNames{
    SoundName::Engine,        SoundName::Shot,      SoundName::TimeOver,
    SoundName::GameOver,      SoundName::B_Act,     SoundName::Jump,
    SoundName::Bonus,         SoundName::BonusLost, SoundName::PlayerExplosion,
    SoundName::WallExplosion, SoundName::Tree,      SoundName::Flag,
    SoundName::Weed,          SoundName::Money,     SoundName::Duck,
    SoundName::Tick,          SoundName::Finish,
};
