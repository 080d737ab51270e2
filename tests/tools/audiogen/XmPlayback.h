#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What libxmp makes of a module: played once through, until it wraps to its restart position.
struct XmPlayback {
    bool Loaded = false;
    std::string Error;
    int Channels = 0, Orders = 0, RestartPosition = -1;
    double WrapSeconds = 0;      // time at which playback went back to the start
    int OrderAfterWrap = -1;     // order position right after the wrap
    std::vector<int16_t> Mono;   // rendered output, when asked for: both sides averaged
    std::vector<int16_t> Stereo; // and as played: left, right, left, ...
};

XmPlayback PlayXm(const std::vector<uint8_t>& bytes, double maxSeconds, bool keepAudio);
