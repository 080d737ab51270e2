#pragma once

#include "context/Frame.h"

#include <cstdint>

// Where things are across the race screen, left to right: the left panel, the left bank, the
// river's water, the right bank, the right panel. Every line along the river is measured from the
// water's two edges.

// The river's water; the player's boat stays between these.
constexpr int32_t kWaterLeft = 177;
constexpr int32_t kWaterRight = 609;

// A wall placed in the river keeps a pixel clear of either edge.
constexpr int32_t kRiverPlaceLeft = kWaterLeft + 1;
constexpr int32_t kRiverPlaceRight = kWaterRight - 1; // its right edge at most here

// The banks, where the scenery stands: from the left panel to 3 pixels short of the water, and from
// a pixel past the water to the right panel.
constexpr int32_t kLeftBankLeft = 127;
constexpr int32_t kLeftBankRight = kWaterLeft - 3;
constexpr int32_t kRightBankLeft = kWaterRight + 1;
constexpr int32_t kRightBankRight = 660;

// A shot flies until it is past the water's edge by more than a pixel, or off the screen.
constexpr double kShotLeft = kWaterLeft - 1;
constexpr double kShotRight = kWaterRight - 1;

// A ship turns back at the water's edges (two pixels short of the right one).
constexpr double kShipLeft = kWaterLeft;
constexpr double kShipRight = kWaterRight - 2;

// Traffic keeps off the water's edges: 41 pixels on the left, 43 on the right.
constexpr double kTrafficLeft = kWaterLeft + 41;
constexpr double kTrafficRight = kWaterRight - 43;

// A bridge section (about 75 pixels wide) reaches from its bank into the river.
constexpr double kBridgeLeftX = kWaterLeft - 7;
constexpr double kBridgeRightX = kWaterRight - 75;
