#pragma once

#include <array>
#include <string>
#include <vector>

// The player's comforts beyond the options screen: window size, full-screen scaling, music and
// effect volumes, and the race's keys. They live in a file of their own beside the options file,
// which stays as it always was.
struct TComforts {
    static constexpr int kMaxWindowScale = 3;
    static constexpr int kVolumeStep = 10;

    // The race's rebindable keys, in this order.
    enum TRaceKey { rkThrottle, rkBrake, rkLeft, rkRight, rkFire, kRaceKeys };

    int WindowScale = 0;         // 1 × .. 3 × the picture, as far as the screen allows; 0: by the screen
    bool SharpFullScreen = true; // full screen: the largest whole factor with bands, else a fit
    int MusicVolume = 100;       // 0 .. 100 %
    int EffectsVolume = 100;     // 0 .. 100 %
    std::array<int, kRaceKeys> RaceKeys{}; // virtual-key codes; 0: the game's own key
    // Lines of the file this game does not know (a newer game's settings), kept as they were.
    std::vector<std::string> UnknownLines;
};
