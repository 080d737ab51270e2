#pragma once
#include <string>
#include <vector>

namespace audiogen {

constexpr int SynthRate = 44100;

enum class Waveform { Sine, Square, Saw, Triangle, Noise };
enum class FilterMode { None, LowPass, HighPass, BandPass };

// One voice of a sound: an oscillator with a pitch sweep, an envelope and an optional swept filter.
// Sounds are sums of layers; every time and frequency is in seconds and Hz.
struct Layer {
    Waveform Wave = Waveform::Sine;
    double Start = 0, Length = -1;  // a negative length lasts to the end of the sound
    double Freq0 = 440, Freq1 = -1; // exponential sweep; a negative end keeps Freq0
    double Amp = 1;
    double Attack = 0.002, Decay = 0,
           Release = 0.005; // Decay: time constant of an exponential fall, 0 = none
    double Duty = 0.5;
    FilterMode Filter = FilterMode::None;
    double Cut0 = 1000, Cut1 = -1, Q = 0.707;
    double VibRate = 0, VibDepth = 0; // depth in semitones
    double AmRate = 0, AmDepth = 0;   // depth 0..1
    double FmRatio = 0, FmIndex = 0;  // phase modulation by a sine at Freq * FmRatio
    std::vector<double> Arp; // semitone offsets stepped through every ArpStep seconds; the last one holds
    double ArpStep = 0.05;
    int Repeat = 1;
    double RepeatEvery = 0;
    unsigned Seed = 1;
};

// Parses "key=value" tokens such as "wave=saw f=C3:C2 amp=0.5 lp=900:200"; throws std::runtime_error.
Layer ParseLayer(const std::vector<std::string>& tokens);

// Note names ("C4", "F#3", "Bb5") or plain numbers in Hz.
double ParseFrequency(const std::string& text);
// Semitone number of a note name with C-0 = 0; throws on anything else.
int ParseNoteName(const std::string& text);
double NoteFrequency(int semitone);

// Renders the sum of the layers, length seconds long, at SynthRate.
std::vector<float> RenderLayers(const std::vector<Layer>& layers, double length);

// Blends the tail past loopEnd into the samples before loopStart so that jumping from loopEnd back to
// loopStart is seamless; the result ends at loopEnd. Needs loopStart >= fade.
void CrossfadeLoop(std::vector<float>& samples, size_t loopStart, size_t loopEnd, size_t fade);

// A high-pass far below hearing: whatever does not swing round zero (a decaying kick, noise held at a
// low rate) would otherwise sit in the mix as an offset that eats headroom and clicks on start and stop.
void RemoveDc(std::vector<float>& samples);
// Shifts the whole sound so that the part from loopStart on, which repeats for as long as it is held,
// averages exactly zero. After RemoveDc only a trace is left to shift, too little to click.
void CentreLoop(std::vector<float>& samples, size_t loopStart);
double Mean(const std::vector<float>& samples);
float Peak(const std::vector<float>& samples);
// Loudest RMS over windows of the given length, a fair measure of how loud a short sound feels.
float LoudestWindowRms(const std::vector<float>& samples, size_t window);

std::vector<std::string> SplitWords(const std::string& line);

} // namespace audiogen
