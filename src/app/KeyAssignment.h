#pragma once

class TGameKeyboard;
struct TComforts;

// The game's keyboard assignment: each input state to up to three virtual keys. The race's keys
// may be rebound in the comforts' file: a rebound key takes the state's slots alone.
void AssignKeys(TGameKeyboard& keyboard, const TComforts& comforts);
