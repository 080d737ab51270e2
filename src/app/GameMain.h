#pragma once

#include "app/MForm.h"

class IPlatform;

// Opens the window, creates the main form and runs the message loop until the game
// ends. Returns the process exit code: non-zero when start-up failed.
int RunGame(IPlatform& platform, const TFormConfig& config);
