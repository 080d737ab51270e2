#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "Synth.h"

namespace audiogen {

// A sound effect as written in an effects file:
//   effect NAME [loop] [max=N] len=SECONDS [gain=DB]
//   layer KEY=VALUE ...
struct EffectRecipe {
    std::string Name;
    bool Looped = false;
    int MaxPlayingCount = 0;
    double Length = 0;
    double GainDb = 0;
    std::vector<Layer> Layers;
};

// Throws std::runtime_error naming sourceName and the line.
std::vector<EffectRecipe> ParseEffects(std::istream& in, const std::string& sourceName);

// Renders at SynthRate, brought to a common loudness; a looped effect ends where it begins.
std::vector<int16_t> RenderEffect(const EffectRecipe& recipe);

} // namespace audiogen
