#pragma once

// The river's water on screen; the banks lie outside it.
constexpr double kWaterLeft = 177;
constexpr double kWaterRight = 609;
