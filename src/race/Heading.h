#pragma once

#include <cstdint>

// The sine and cosine of the boat's heading, in 1/256 of a full turn. A replay must come out the
// same wherever it is re-run: these are tables of the correctly rounded values of
// sin(angle * pi / 128) and cos(angle * pi / 128) (the angle in radians as a double, as the race
// has always computed it), so no machine's mathematics library has a say in the race.
inline constexpr int32_t kHeadingTableReach = 64;

// Defined for -kHeadingTableReach <= angle <= kHeadingTableReach; further out they fall back to
// the library's functions.
double HeadingSin(int32_t angle);
double HeadingCos(int32_t angle);
