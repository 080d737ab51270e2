#include "app/KeyAssignment.h"

#include "context/Comforts.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"

void AssignKeys(TGameKeyboard& keyboard, const TComforts& comforts) {
    keyboard.Assigns = {};
    keyboard.Assigns[isUp] = {vk::Up, 0, vk::Numpad8};
    keyboard.Assigns[isDown] = {vk::Down, 0, 0};
    keyboard.Assigns[isLeft] = {vk::Left, 0, 0};
    keyboard.Assigns[isRight] = {vk::Right, 0, 0};
    keyboard.Assigns[InputButton(1)] = {'Z', 0, 0};
    keyboard.Assigns[InputButton(2)] = {'X', 0, 0};
    keyboard.Assigns[InputButton(3)] = {'C', 0, 0};
    keyboard.Assigns[InputButton(4)] = {'P', 0, 0};
    keyboard.Assigns[InputButton(5)] = {vk::Escape, 0, 0};
    keyboard.Assigns[InputButton(6)] = {'Y', 0, 0};
    keyboard.Assigns[InputButton(7)] = {'N', 0, 0};
    keyboard.Assigns[InputButton(8)] = {vk::Space, 0, 0};
    keyboard.Assigns[InputButton(9)] = {vk::Return, 0, 0};
    const int rebound[TComforts::kRaceKeys] = {isUp, isDown, isLeft, isRight, InputButton(8)};
    for (int k = 0; k < TComforts::kRaceKeys; ++k) {
        if (int key = comforts.RaceKeys[static_cast<size_t>(k)]) {
            keyboard.Assigns[rebound[k]] = {key, 0, 0};
        }
    }
}
