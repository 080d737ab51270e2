#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>

namespace audiogen {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DcCutoff = 10;

double ParseNumber(const std::string& key, const std::string& text) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || !std::isfinite(value))
        throw std::runtime_error("'" + key + "' needs a number, got '" + text + "'");
    return value;
}

// "a:b" → (a, b); "a" → (a, fallback)
std::pair<std::string, std::string> SplitPair(const std::string& text) {
    auto colon = text.find(':');
    if (colon == std::string::npos)
        return {text, ""};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

Waveform ParseWave(const std::string& text) {
    if (text == "sine")
        return Waveform::Sine;
    if (text == "square")
        return Waveform::Square;
    if (text == "saw")
        return Waveform::Saw;
    if (text == "tri")
        return Waveform::Triangle;
    if (text == "noise")
        return Waveform::Noise;
    throw std::runtime_error("unknown wave '" + text + "' (sine, square, saw, tri, noise)");
}

// Zero-delay-feedback state variable filter: stays stable while its cutoff sweeps fast.
struct SvFilter {
    double Ic1 = 0, Ic2 = 0;
    double Process(double in, double cutoff, double q, FilterMode mode) {
        cutoff = std::clamp(cutoff, 10.0, SynthRate * 0.45);
        double g = std::tan(Pi * cutoff / SynthRate);
        double k = 1.0 / std::max(q, 0.05);
        double a1 = 1.0 / (1.0 + g * (g + k));
        double a2 = g * a1;
        double a3 = g * a2;
        double v3 = in - Ic2;
        double v1 = a1 * Ic1 + a2 * v3;
        double v2 = Ic2 + a2 * Ic1 + a3 * v3;
        Ic1 = 2 * v1 - Ic1;
        Ic2 = 2 * v2 - Ic2;
        switch (mode) {
        case FilterMode::LowPass:
            return v2;
        case FilterMode::HighPass:
            return in - k * v1 - v2;
        case FilterMode::BandPass:
            return v1;
        case FilterMode::None:
            break;
        }
        return in;
    }
};

double Oscillator(Waveform wave, double phase, double duty) {
    phase -= std::floor(phase);
    switch (wave) {
    case Waveform::Sine:
        return std::sin(2 * Pi * phase);
    case Waveform::Square:
        // A pulse that is not square spends longer on one side: lifted by its own mean it swings
        // round zero as an AC-coupled output stage would make it, and sounds the same.
        return (phase < duty ? 1.0 : -1.0) + (1 - 2 * duty);
    case Waveform::Saw:
        return 2 * phase - 1;
    case Waveform::Triangle:
        return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    case Waveform::Noise:
        break;
    }
    return 0;
}

void RenderLayer(const Layer& layer, double start, std::vector<float>& out) {
    size_t first = static_cast<size_t>(start * SynthRate);
    if (first >= out.size())
        return;
    double length = layer.Length < 0 ? static_cast<double>(out.size()) / SynthRate - start : layer.Length;
    size_t count = std::min(out.size() - first, static_cast<size_t>(length * SynthRate));
    if (count == 0)
        return;
    double f1 = layer.Freq1 < 0 ? layer.Freq0 : layer.Freq1;
    double c1 = layer.Cut1 < 0 ? layer.Cut0 : layer.Cut1;
    uint32_t rng = layer.Seed * 2654435761u + 12345u;
    double phase = 0, modPhase = 0, held = 0, holdPhase = 1;
    SvFilter filter;
    double release = std::min(layer.Release, length / 2);
    for (size_t i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / SynthRate;
        double x = length > 0 ? t / length : 0;
        double freq = layer.Freq0 > 0 ? layer.Freq0 * std::pow(f1 / layer.Freq0, x) : 0;
        if (!layer.Arp.empty()) {
            size_t step = std::min(static_cast<size_t>(t / layer.ArpStep), layer.Arp.size() - 1);
            freq *= std::pow(2.0, layer.Arp[step] / 12);
        }
        if (layer.VibDepth != 0)
            freq *= std::pow(2.0, layer.VibDepth * std::sin(2 * Pi * layer.VibRate * t) / 12);
        double sample;
        if (layer.Wave == Waveform::Noise) {
            // With a frequency the noise is sampled and held at that rate: a coarser, lower rumble.
            holdPhase += freq > 0 ? freq / SynthRate : 1;
            if (holdPhase >= 1) {
                holdPhase -= std::floor(holdPhase);
                rng = rng * 1664525u + 1013904223u;
                held = static_cast<double>(rng >> 8) / static_cast<double>(1u << 23) - 1.0;
            }
            sample = held;
        } else {
            double pm = 0;
            if (layer.FmIndex != 0) {
                modPhase += freq * layer.FmRatio / SynthRate;
                pm = layer.FmIndex * std::sin(2 * Pi * modPhase);
            }
            sample = Oscillator(layer.Wave, phase + pm / (2 * Pi), layer.Duty);
            phase += freq / SynthRate;
            phase -= std::floor(phase);
        }
        if (layer.Filter != FilterMode::None)
            sample = filter.Process(sample, layer.Cut0 * std::pow(c1 / layer.Cut0, x), layer.Q, layer.Filter);
        double env = 1;
        if (layer.Attack > 0 && t < layer.Attack)
            env = t / layer.Attack;
        if (layer.Decay > 0 && t > layer.Attack)
            env *= std::exp(-(t - layer.Attack) / layer.Decay);
        double left = length - t;
        if (release > 0 && left < release)
            env *= left / release;
        if (layer.AmDepth != 0)
            env *= 1 - layer.AmDepth * 0.5 * (1 - std::cos(2 * Pi * layer.AmRate * t));
        out[first + i] += static_cast<float>(sample * env * layer.Amp);
    }
}

} // namespace

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    // A comment starts at a word beginning with '#', so sharps such as F#3 stay notes.
    while (in >> word && word[0] != '#')
        words.push_back(word);
    return words;
}

int ParseNoteName(const std::string& text) {
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (text.size() < 2)
        throw std::runtime_error("bad note '" + text + "'");
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G')
        throw std::runtime_error("bad note '" + text + "'");
    int semitone = steps[letter - 'A'];
    size_t pos = 1;
    if (text[pos] == '#') {
        ++semitone;
        ++pos;
    } else if (text[pos] == 'b') {
        --semitone;
        ++pos;
    }
    if (pos + 1 != text.size() || text[pos] < '0' || text[pos] > '7')
        throw std::runtime_error("bad note '" + text + "' (octave 0..7)");
    return semitone + 12 * (text[pos] - '0');
}

double NoteFrequency(int semitone) {
    return 440.0 * std::pow(2.0, (semitone - 57) / 12.0);
}

double ParseFrequency(const std::string& text) {
    if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0])))
        return NoteFrequency(ParseNoteName(text));
    double hz = ParseNumber("f", text);
    if (hz < 0)
        throw std::runtime_error("frequency below 0: " + text);
    return hz;
}

Layer ParseLayer(const std::vector<std::string>& tokens) {
    Layer layer;
    bool haveFrequency = false;
    for (const auto& token : tokens) {
        auto eq = token.find('=');
        if (eq == std::string::npos)
            throw std::runtime_error("expected key=value, got '" + token + "'");
        std::string key = token.substr(0, eq), value = token.substr(eq + 1);
        auto [a, b] = SplitPair(value);
        auto number = [&](const std::string& s) { return ParseNumber(key, s); };
        if (key == "wave") {
            layer.Wave = ParseWave(value);
        } else if (key == "at") {
            layer.Start = number(value);
        } else if (key == "len") {
            layer.Length = number(value);
        } else if (key == "f") {
            haveFrequency = true;
            layer.Freq0 = ParseFrequency(a);
            if (!b.empty())
                layer.Freq1 = ParseFrequency(b);
        } else if (key == "amp") {
            layer.Amp = number(value);
        } else if (key == "a") {
            layer.Attack = number(value);
        } else if (key == "d") {
            layer.Decay = number(value);
        } else if (key == "r") {
            layer.Release = number(value);
        } else if (key == "duty") {
            layer.Duty = number(value);
        } else if (key == "lp" || key == "hp" || key == "bp") {
            layer.Filter = key == "lp"   ? FilterMode::LowPass
                           : key == "hp" ? FilterMode::HighPass
                                         : FilterMode::BandPass;
            layer.Cut0 = number(a);
            if (!b.empty())
                layer.Cut1 = number(b);
        } else if (key == "q") {
            layer.Q = number(value);
        } else if (key == "vib") {
            layer.VibRate = number(a);
            layer.VibDepth = number(b);
        } else if (key == "am") {
            layer.AmRate = number(a);
            layer.AmDepth = number(b);
        } else if (key == "fm") {
            layer.FmRatio = number(a);
            layer.FmIndex = number(b);
        } else if (key == "arp") {
            // arp=0,4,7:0.06
            std::istringstream list(a);
            std::string item;
            while (std::getline(list, item, ','))
                layer.Arp.push_back(number(item));
            if (!b.empty())
                layer.ArpStep = number(b);
            if (layer.ArpStep <= 0)
                throw std::runtime_error("arp step must be above 0");
        } else if (key == "repeat") {
            layer.Repeat = static_cast<int>(number(a));
            layer.RepeatEvery = b.empty() ? 0 : number(b);
            if (layer.Repeat < 1 || layer.Repeat > 64)
                throw std::runtime_error("repeat count must be 1..64");
        } else if (key == "seed") {
            layer.Seed = static_cast<unsigned>(number(value));
        } else {
            throw std::runtime_error("unknown layer key '" + key + "'");
        }
    }
    if (layer.Wave == Waveform::Noise && !haveFrequency)
        layer.Freq0 = 0; // plain white noise
    if (layer.Freq0 <= 0 && layer.Wave != Waveform::Noise)
        throw std::runtime_error("an oscillator needs a frequency above 0");
    if (layer.Freq0 <= 0)
        layer.Freq0 = 0, layer.Freq1 = -1;
    return layer;
}

std::vector<float> RenderLayers(const std::vector<Layer>& layers, double length) {
    std::vector<float> out(static_cast<size_t>(std::max(0.0, length) * SynthRate), 0.0f);
    for (const auto& layer : layers) {
        for (int r = 0; r < layer.Repeat; ++r) {
            if (layer.Freq0 > 0 || layer.Wave == Waveform::Noise)
                RenderLayer(layer, layer.Start + r * layer.RepeatEvery, out);
        }
    }
    return out;
}

void CrossfadeLoop(std::vector<float>& samples, size_t loopStart, size_t loopEnd, size_t fade) {
    if (loopEnd > samples.size() || loopStart < fade || loopEnd <= loopStart + fade)
        throw std::runtime_error("loop points do not fit the sound");
    for (size_t i = 0; i < fade; ++i) {
        float w = static_cast<float>(i + 1) / static_cast<float>(fade + 1);
        size_t dst = loopEnd - fade + i;
        samples[dst] = samples[dst] * (1 - w) + samples[loopStart - fade + i] * w;
    }
    samples.resize(loopEnd);
}

void RemoveDc(std::vector<float>& samples) {
    // One-pole DC blocker; at 10 Hz it lets a 31 Hz rumble through at 95 %.
    const double r = std::exp(-2 * Pi * DcCutoff / SynthRate);
    double previousIn = 0, out = 0;
    for (float& s : samples) {
        out = s - previousIn + r * out;
        previousIn = s;
        s = static_cast<float>(out);
    }
}

void CentreLoop(std::vector<float>& samples, size_t loopStart) {
    if (loopStart >= samples.size())
        return;
    double sum = 0;
    for (size_t i = loopStart; i < samples.size(); ++i)
        sum += samples[i];
    const auto mean = static_cast<float>(sum / static_cast<double>(samples.size() - loopStart));
    for (float& s : samples)
        s -= mean;
}

double Mean(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += s;
    return samples.empty() ? 0 : sum / static_cast<double>(samples.size());
}

float Peak(const std::vector<float>& samples) {
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

float LoudestWindowRms(const std::vector<float>& samples, size_t window) {
    if (samples.empty() || window == 0)
        return 0;
    double loudest = 0;
    size_t step = std::max<size_t>(1, window / 4);
    for (size_t begin = 0; begin < samples.size(); begin += step) {
        size_t end = std::min(samples.size(), begin + window);
        double sum = 0;
        for (size_t i = begin; i < end; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        loudest = std::max(loudest, sum / static_cast<double>(window));
        if (end == samples.size())
            break;
    }
    return static_cast<float>(std::sqrt(loudest));
}

} // namespace audiogen
