#pragma once

#include <cstdint>
#include <vector>

// A decoded picture: Width × Height pixels, 0x00RRGGBB, top row first.
struct TPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;

    bool Empty() const { return Width <= 0 || Height <= 0; }
};
