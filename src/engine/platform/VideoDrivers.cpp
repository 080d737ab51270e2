#include "engine/platform/VideoDrivers.h"

#include <algorithm>
#include <cctype>

namespace {

// Desktop sessions and the console's own screen; the embedded boards' drivers draw on a screen too.
constexpr std::string_view kOnScreenDrivers[] = {"x11", "wayland", "kmsdrm", "directfb", "rpi", "vivante"};

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

bool ShowsWindowsToAPerson(std::string_view driver) {
    return std::any_of(std::begin(kOnScreenDrivers), std::end(kOnScreenDrivers),
                       [driver](std::string_view known) { return SameName(driver, known); });
}
