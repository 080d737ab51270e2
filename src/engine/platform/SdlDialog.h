#pragma once

#include <string>

struct SDL_Window;

enum class TDialogKind { Error, Warning };

// Shows a message box and returns when the person has closed it. With ownProcess the box is shown
// by a copy of the game's executable started for it (see RunSdlDialogProcess), in a process group of
// its own: a signal that would end the game while the box is up (SIGTERM, SIGINT, SIGHUP) closes the
// box and then reaches the game as it would have, and a game that is killed outright takes the box
// along. Without it (or when that process cannot be started) the box is shown in this process.
void ShowSdlDialog(TDialogKind kind, const std::string& title, const std::string& message, SDL_Window* owner,
                   bool ownProcess);
