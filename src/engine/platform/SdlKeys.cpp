#include "engine/platform/SdlKeys.h"

#include "engine/platform/KeyCodes.h"

int VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) {
        return 'A' + static_cast<int>(keycode - SDLK_a);
    }
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        // A letter key whose layout prints something else (a non-Latin layout): keep its position.
        return 'A' + static_cast<int>(scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return '1' + static_cast<int>(scancode - SDL_SCANCODE_1);
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
        return vk::F1 + static_cast<int>(scancode - SDL_SCANCODE_F1);
    }
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
        return vk::Numpad0 + 1 + static_cast<int>(scancode - SDL_SCANCODE_KP_1);
    }
    switch (scancode) {
    case SDL_SCANCODE_0:
        return '0';
    case SDL_SCANCODE_KP_0:
        return vk::Numpad0;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return vk::Return;
    case SDL_SCANCODE_ESCAPE:
        return vk::Escape;
    case SDL_SCANCODE_BACKSPACE:
        return vk::Back;
    case SDL_SCANCODE_TAB:
        return vk::Tab;
    case SDL_SCANCODE_SPACE:
        return vk::Space;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        return vk::Control;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return vk::Shift;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        return vk::Menu;
    case SDL_SCANCODE_PAUSE:
        return vk::Pause;
    case SDL_SCANCODE_CAPSLOCK:
        return vk::Capital;
    case SDL_SCANCODE_PAGEUP:
        return vk::Prior;
    case SDL_SCANCODE_PAGEDOWN:
        return vk::Next;
    case SDL_SCANCODE_END:
        return vk::End;
    case SDL_SCANCODE_HOME:
        return vk::Home;
    case SDL_SCANCODE_LEFT:
        return vk::Left;
    case SDL_SCANCODE_UP:
        return vk::Up;
    case SDL_SCANCODE_RIGHT:
        return vk::Right;
    case SDL_SCANCODE_DOWN:
        return vk::Down;
    case SDL_SCANCODE_INSERT:
        return vk::Insert;
    case SDL_SCANCODE_DELETE:
        return vk::Delete;
    case SDL_SCANCODE_KP_MULTIPLY:
        return vk::Multiply;
    case SDL_SCANCODE_KP_PLUS:
        return vk::Add;
    case SDL_SCANCODE_KP_MINUS:
        return vk::Subtract;
    case SDL_SCANCODE_KP_PERIOD:
        return vk::Decimal;
    case SDL_SCANCODE_KP_DIVIDE:
        return vk::Divide;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return vk::NumLock;
    case SDL_SCANCODE_SCROLLLOCK:
        return vk::Scroll;
    case SDL_SCANCODE_SEMICOLON:
        return vk::Oem1;
    case SDL_SCANCODE_EQUALS:
        return vk::OemPlus;
    case SDL_SCANCODE_COMMA:
        return vk::OemComma;
    case SDL_SCANCODE_MINUS:
        return vk::OemMinus;
    case SDL_SCANCODE_PERIOD:
        return vk::OemPeriod;
    case SDL_SCANCODE_SLASH:
        return vk::Oem2;
    case SDL_SCANCODE_GRAVE:
        return vk::Oem3;
    case SDL_SCANCODE_LEFTBRACKET:
        return vk::Oem4;
    case SDL_SCANCODE_BACKSLASH:
        return vk::Oem5;
    case SDL_SCANCODE_RIGHTBRACKET:
        return vk::Oem6;
    case SDL_SCANCODE_APOSTROPHE:
        return vk::Oem7;
    default:
        return 0;
    }
}
