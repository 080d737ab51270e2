#include "Effects.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "WaveFile.h"

namespace audiogen {
namespace {

// Every effect is brought to this loudness (RMS of its loudest 50 ms) before its own gain applies,
// so a tick and an explosion start out equally loud and the recipe only says how they differ.
constexpr float TargetRms = 0.125f;
// No effect peaks above -6 dBFS: the music and the other effects sound at the same time, and their
// sum has to stay clear of the mixer's ceiling.
constexpr float PeakLimit = 0.5f;
constexpr double LoudnessWindow = 0.05;
constexpr double LoopFade = 0.08;

double NumberAfter(const std::string& token, size_t prefix) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(token.substr(prefix), &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != token.size() - prefix)
        throw std::runtime_error("bad number in '" + token + "'");
    return value;
}

} // namespace

std::vector<EffectRecipe> ParseEffects(std::istream& in, const std::string& sourceName) {
    std::vector<EffectRecipe> effects;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        try {
            auto words = SplitWords(line);
            if (words.empty())
                continue;
            if (words[0] == "effect") {
                if (words.size() < 2)
                    throw std::runtime_error("effect needs a name");
                EffectRecipe recipe;
                recipe.Name = words[1];
                for (const auto& n : effects)
                    if (n.Name == recipe.Name)
                        throw std::runtime_error("effect '" + recipe.Name + "' defined twice");
                for (size_t i = 2; i < words.size(); ++i) {
                    const std::string& w = words[i];
                    if (w == "loop")
                        recipe.Looped = true;
                    else if (w.rfind("max=", 0) == 0)
                        recipe.MaxPlayingCount = static_cast<int>(NumberAfter(w, 4));
                    else if (w.rfind("len=", 0) == 0)
                        recipe.Length = NumberAfter(w, 4);
                    else if (w.rfind("gain=", 0) == 0)
                        recipe.GainDb = NumberAfter(w, 5);
                    else
                        throw std::runtime_error("unknown effect option '" + w + "'");
                }
                if (recipe.Length <= 0 || recipe.Length > 10)
                    throw std::runtime_error("effect '" + recipe.Name + "' needs len= between 0 and 10 s");
                if (recipe.MaxPlayingCount < 0)
                    throw std::runtime_error("max= must not be negative");
                effects.push_back(std::move(recipe));
            } else if (words[0] == "layer") {
                if (effects.empty())
                    throw std::runtime_error("layer before any effect");
                effects.back().Layers.push_back(ParseLayer({words.begin() + 1, words.end()}));
            } else {
                throw std::runtime_error("expected 'effect' or 'layer', got '" + words[0] + "'");
            }
        } catch (const std::exception& e) {
            throw std::runtime_error(sourceName + ":" + std::to_string(lineNo) + ": " + e.what());
        }
    }
    for (const auto& effect : effects)
        if (effect.Layers.empty())
            throw std::runtime_error(sourceName + ": effect '" + effect.Name + "' has no layers");
    return effects;
}

std::vector<int16_t> RenderEffect(const EffectRecipe& recipe) {
    std::vector<float> samples;
    if (recipe.Looped) {
        // Render one fade longer and blend that tail into the head: the buffer then repeats without a seam.
        double fade = std::min(LoopFade, recipe.Length / 4);
        size_t fadeSamples = static_cast<size_t>(fade * SynthRate);
        samples = RenderLayers(recipe.Layers, recipe.Length + 2 * fade);
        RemoveDc(samples);
        CrossfadeLoop(samples, fadeSamples, fadeSamples + static_cast<size_t>(recipe.Length * SynthRate),
                      fadeSamples);
        samples.erase(samples.begin(), samples.begin() + static_cast<long>(fadeSamples));
        CentreLoop(samples, 0);
    } else {
        samples = RenderLayers(recipe.Layers, recipe.Length);
        RemoveDc(samples);
    }
    float rms = LoudestWindowRms(samples, static_cast<size_t>(LoudnessWindow * SynthRate));
    if (rms <= 0)
        throw std::runtime_error("effect '" + recipe.Name + "' is silent");
    float scale = TargetRms / rms * static_cast<float>(std::pow(10.0, recipe.GainDb / 20));
    scale = std::min(scale, PeakLimit / Peak(samples));
    for (float& s : samples)
        s *= scale;
    return ToPcm16(samples);
}

} // namespace audiogen
