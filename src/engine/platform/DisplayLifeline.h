#pragma once

#include <functional>
#include <string>

// When the connection to the display server breaks (log-out, a crashed server), the X library
// ends the process from inside whatever call noticed it; nothing after that call runs. The last
// words run first: the game saves there. Then the process ends with exit code 1, after a line on
// stderr that names the display. Does nothing where the X library is not in use.
void HoldDisplayLifeline(const std::string& displayName, std::function<void()> lastWords);
