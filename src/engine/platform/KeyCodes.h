#pragma once

// Windows virtual-key codes, the key codes the game's input assignments are written in.
namespace vk {
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Menu = 18; // Alt
constexpr int Pause = 19;
constexpr int Capital = 20;
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Prior = 33;
constexpr int Next = 34;
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int Numpad0 = 96;
constexpr int Numpad8 = 104;
constexpr int Multiply = 106;
constexpr int Add = 107;
constexpr int Subtract = 109;
constexpr int Decimal = 110;
constexpr int Divide = 111;
constexpr int F1 = 112;
constexpr int F11 = 122;
constexpr int F12 = 123;
constexpr int NumLock = 144;
constexpr int Scroll = 145;
constexpr int Oem1 = 186; // ;:
constexpr int OemPlus = 187;
constexpr int OemComma = 188;
constexpr int OemMinus = 189;
constexpr int OemPeriod = 190;
constexpr int Oem2 = 191; // /?
constexpr int Oem3 = 192; // `~
constexpr int Oem4 = 219; // [{
constexpr int Oem5 = 220; // \|
constexpr int Oem6 = 221; // ]}
constexpr int Oem7 = 222; // '"
} // namespace vk
