#pragma once

#include <SDL.h>

// Translates an SDL key into a Windows virtual-key code (0 when it has none). Letters
// follow the label the player's layout prints on the key (so Y, N and P work on AZERTY
// and QWERTZ keyboards); everything else follows the key's position.
int VirtualKeyFromSdl(SDL_Scancode scancode, SDL_Keycode keycode);
