#include "Song.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "Synth.h"
#include "WaveFile.h"

namespace audiogen {
namespace {

constexpr int ChordVoices = 3;
constexpr uint8_t VolumeColumnBase = 0x10;
constexpr float SamplePeak = 0.9f;
constexpr double MaxLoopFade = 0.05;
constexpr uint16_t DefaultFadeOut = 2048;

struct InstrumentSpec {
    std::string Name;
    int BaseNote = 48;
    double Length = 1;
    double LoopStart = -1, LoopEnd = -1;
    int Volume = 64, Panning = 128;
    int FadeOut = DefaultFadeOut;
    double GainDb = 0;
    std::vector<Layer> Layers;
};

int ParseInt(const std::string& text, int low, int high, const std::string& what) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < low || value > high)
        throw std::runtime_error(what + " must be a whole number " + std::to_string(low) + ".." +
                                 std::to_string(high) + ", got '" + text + "'");
    return value;
}

double ParseReal(const std::string& text, const std::string& what) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty())
        throw std::runtime_error(what + " must be a number, got '" + text + "'");
    return value;
}

// "TOKEN[:rows][@volume][*times]"
struct Step {
    std::string Head;
    int Rows = -1;
    int Volume = -1;
    int Times = 1;
};

Step ParseStep(const std::string& token) {
    Step step;
    std::string rest = token;
    auto star = rest.find('*');
    if (star != std::string::npos) {
        step.Times = ParseInt(rest.substr(star + 1), 1, 256, "repeat count");
        rest = rest.substr(0, star);
    }
    auto at = rest.find('@');
    if (at != std::string::npos) {
        step.Volume = ParseInt(rest.substr(at + 1), 0, 64, "volume");
        rest = rest.substr(0, at);
    }
    auto colon = rest.find(':');
    if (colon != std::string::npos) {
        step.Rows = ParseInt(rest.substr(colon + 1), 1, 256, "step length");
        rest = rest.substr(0, colon);
    }
    step.Head = rest;
    return step;
}

std::vector<int> ChordIntervals(const std::string& quality) {
    static const std::map<std::string, std::vector<int>> qualities = {
        {"", {0, 4, 7}},      {"m", {0, 3, 7}},    {"7", {0, 4, 10}},   {"m7", {0, 3, 10}},
        {"maj7", {0, 4, 11}}, {"sus2", {0, 2, 7}}, {"sus4", {0, 5, 7}}, {"dim", {0, 3, 6}},
        {"add9", {0, 4, 2}},  {"m9", {0, 3, 2}},   {"6", {0, 4, 9}},    {"m6", {0, 3, 9}}};
    auto found = qualities.find(quality);
    if (found == qualities.end())
        throw std::runtime_error("unknown chord quality '" + quality + "'");
    return found->second;
}

// Chord tones voiced upwards from the lowest allowed note, sorted: close voicings that move little
// from one chord to the next.
std::vector<int> VoiceChord(const std::string& symbol, int lowest) {
    if (symbol.empty())
        throw std::runtime_error("empty chord");
    size_t rootLength = symbol.size() > 1 && (symbol[1] == '#' || symbol[1] == 'b') ? 2 : 1;
    int root = (ParseNoteName(symbol.substr(0, rootLength) + "1") + 12) % 12;
    std::vector<int> notes;
    for (int interval : ChordIntervals(symbol.substr(rootLength))) {
        int pitch = (root + interval) % 12;
        int note = lowest + ((pitch - lowest) % 12 + 12) % 12;
        notes.push_back(note);
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

class SongParser {
  public:
    explicit SongParser(std::string sourceName) : SourceName(std::move(sourceName)) {}

    XmModule Parse(std::istream& in) {
        std::string line;
        int lineNo = 0;
        while (std::getline(in, line)) {
            ++lineNo;
            try {
                auto words = SplitWords(line);
                if (!words.empty())
                    Command(words);
            } catch (const std::exception& e) {
                throw std::runtime_error(SourceName + ":" + std::to_string(lineNo) + ": " + e.what());
            }
        }
        try {
            Finish();
        } catch (const std::exception& e) {
            throw std::runtime_error(SourceName + ": " + e.what());
        }
        return std::move(Module);
    }

  private:
    std::string SourceName;
    XmModule Module;
    std::vector<InstrumentSpec> Instruments;
    std::vector<std::string> PatternNames;
    bool Started = false; // channels are fixed once the first pattern exists
    double SongGainDb = 0;

    void Command(const std::vector<std::string>& w) {
        const std::string& cmd = w[0];
        if (cmd == "title") {
            std::string title;
            for (size_t i = 1; i < w.size(); ++i)
                title += (i > 1 ? " " : "") + w[i];
            Module.Name = title;
        } else if (cmd == "speed") {
            Module.Speed = ParseInt(Arg(w, 1), 1, 31, "speed");
        } else if (cmd == "bpm") {
            Module.Bpm = ParseInt(Arg(w, 1), 32, 255, "bpm");
        } else if (cmd == "channels") {
            if (Started)
                throw std::runtime_error("channels must come before the first pattern");
            Module.Channels = ParseInt(Arg(w, 1), 2, 32, "channels");
        } else if (cmd == "gain") {
            SongGainDb = ParseReal(Arg(w, 1), "gain");
            if (SongGainDb > 0 || SongGainDb < -40)
                throw std::runtime_error("gain must lie between -40 and 0 dB");
        } else if (cmd == "restart") {
            Module.RestartPosition = ParseInt(Arg(w, 1), 0, 255, "restart");
        } else if (cmd == "instrument") {
            AddInstrument(w);
        } else if (cmd == "layer") {
            if (Instruments.empty())
                throw std::runtime_error("layer before any instrument");
            Instruments.back().Layers.push_back(ParseLayer({w.begin() + 1, w.end()}));
        } else if (cmd == "pattern") {
            AddPattern(w);
        } else if (cmd == "clear") {
            int ch = Channel(Arg(w, 1));
            auto& p = CurrentPattern();
            for (int row = 0; row < p.Rows; ++row)
                p.Cells[static_cast<size_t>(row * Module.Channels + ch)] = XmCell{};
        } else if (cmd == "seq") {
            Sequence(w);
        } else if (cmd == "grid") {
            Grid(w);
        } else if (cmd == "chords") {
            Chords(w, false);
        } else if (cmd == "arp") {
            Chords(w, true);
        } else if (cmd == "order") {
            for (size_t i = 1; i < w.size(); ++i)
                Module.Orders.push_back(static_cast<uint8_t>(PatternIndex(w[i])));
        } else {
            throw std::runtime_error("unknown command '" + cmd + "'");
        }
    }

    static const std::string& Arg(const std::vector<std::string>& w, size_t i) {
        if (i >= w.size())
            throw std::runtime_error("'" + w[0] + "' needs more arguments");
        return w[i];
    }

    int Channel(const std::string& text) const { return ParseInt(text, 1, Module.Channels, "channel") - 1; }

    XmPattern& CurrentPattern() {
        if (Module.Patterns.empty())
            throw std::runtime_error("no pattern started");
        return Module.Patterns.back();
    }

    size_t PatternIndex(const std::string& name) const {
        auto found = std::find(PatternNames.begin(), PatternNames.end(), name);
        if (found == PatternNames.end())
            throw std::runtime_error("unknown pattern '" + name + "'");
        return static_cast<size_t>(found - PatternNames.begin());
    }

    uint8_t InstrumentNumber(const std::string& name) const {
        for (size_t i = 0; i < Instruments.size(); ++i)
            if (Instruments[i].Name == name)
                return static_cast<uint8_t>(i + 1);
        throw std::runtime_error("unknown instrument '" + name + "'");
    }

    void AddInstrument(const std::vector<std::string>& w) {
        if (Instruments.size() >= 128)
            throw std::runtime_error("too many instruments");
        InstrumentSpec spec;
        spec.Name = Arg(w, 1);
        for (const auto& other : Instruments)
            if (other.Name == spec.Name)
                throw std::runtime_error("instrument '" + spec.Name + "' defined twice");
        for (size_t i = 2; i < w.size(); ++i) {
            auto eq = w[i].find('=');
            if (eq == std::string::npos)
                throw std::runtime_error("expected key=value, got '" + w[i] + "'");
            std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            if (key == "base") {
                spec.BaseNote = ParseNoteName(value);
            } else if (key == "len") {
                spec.Length = ParseReal(value, "len");
            } else if (key == "loop") {
                auto colon = value.find(':');
                if (colon == std::string::npos)
                    throw std::runtime_error("loop needs START:END in seconds");
                spec.LoopStart = ParseReal(value.substr(0, colon), "loop start");
                spec.LoopEnd = ParseReal(value.substr(colon + 1), "loop end");
            } else if (key == "vol") {
                spec.Volume = ParseInt(value, 0, 64, "vol");
            } else if (key == "pan") {
                spec.Panning = ParseInt(value, 0, 255, "pan");
            } else if (key == "fade") {
                spec.FadeOut = ParseInt(value, 0, 0xFFF, "fade");
            } else if (key == "gain") {
                spec.GainDb = ParseReal(value, "gain");
            } else {
                throw std::runtime_error("unknown instrument option '" + key + "'");
            }
        }
        if (spec.Length <= 0 || spec.Length > 8)
            throw std::runtime_error("instrument len must be between 0 and 8 s");
        if (spec.LoopStart >= 0 && !(spec.LoopStart < spec.LoopEnd && spec.LoopEnd <= spec.Length))
            throw std::runtime_error("loop must lie within the instrument's length");
        Instruments.push_back(std::move(spec));
    }

    void AddPattern(const std::vector<std::string>& w) {
        const std::string& name = Arg(w, 1);
        if (std::find(PatternNames.begin(), PatternNames.end(), name) != PatternNames.end())
            throw std::runtime_error("pattern '" + name + "' defined twice");
        XmPattern pattern;
        pattern.Rows = ParseInt(Arg(w, 2), 1, 256, "rows");
        pattern.Cells.assign(static_cast<size_t>(pattern.Rows * Module.Channels), XmCell{});
        if (w.size() == 5 && w[3] == "from") {
            const XmPattern& source = Module.Patterns[PatternIndex(w[4])];
            if (source.Rows != pattern.Rows)
                throw std::runtime_error("pattern '" + w[4] + "' has another row count");
            pattern.Cells = source.Cells;
        } else if (w.size() != 3) {
            throw std::runtime_error("expected: pattern NAME ROWS [from OTHER]");
        }
        Started = true;
        PatternNames.push_back(name);
        Module.Patterns.push_back(std::move(pattern));
    }

    void Put(int row, int ch, uint8_t note, uint8_t instrument, int volume) {
        auto& p = CurrentPattern();
        if (row >= p.Rows)
            throw std::runtime_error("notes run past the pattern's " + std::to_string(p.Rows) + " rows");
        XmCell& cell = p.Cells[static_cast<size_t>(row * Module.Channels + ch)];
        cell = XmCell{};
        cell.Note = note;
        cell.Instrument = note == XmKeyOff ? 0 : instrument;
        // A volume in the note format is relative to the instrument's own level, so the mix is set
        // once per instrument; the volume column itself is absolute.
        if (volume >= 0 && instrument > 0)
            cell.Volume = static_cast<uint8_t>(
                VolumeColumnBase + std::lround(volume * Instruments[instrument - 1].Volume / 64.0));
    }

    static uint8_t XmNote(int semitone) {
        if (semitone < 0 || semitone > 95)
            throw std::runtime_error("note outside C0..B7");
        return static_cast<uint8_t>(semitone + 1);
    }

    // seq CH INSTRUMENT NOTE[:rows][@vol] ... ; "-" is a key-off, "~" lets the previous note ring.
    void Sequence(const std::vector<std::string>& w) {
        int ch = Channel(Arg(w, 1));
        uint8_t instrument = InstrumentNumber(Arg(w, 2));
        int row = 0, rows = 1;
        for (size_t i = 3; i < w.size(); ++i) {
            Step step = ParseStep(w[i]);
            if (step.Rows > 0)
                rows = step.Rows;
            for (int t = 0; t < step.Times; ++t) {
                if (step.Head == "-")
                    Put(row, ch, XmKeyOff, 0, -1);
                else if (step.Head != "~")
                    Put(row, ch, XmNote(ParseNoteName(step.Head)), instrument, step.Volume);
                row += rows;
            }
        }
        if (row > CurrentPattern().Rows)
            throw std::runtime_error("sequence is " + std::to_string(row) + " rows long, the pattern " +
                                     std::to_string(CurrentPattern().Rows));
    }

    // grid CH INSTRUMENT[:NOTE] x.o. ... ; repeated to fill the pattern. x loud, o soft, . nothing.
    void Grid(const std::vector<std::string>& w) {
        int ch = Channel(Arg(w, 1));
        std::string instName = Arg(w, 2), noteName;
        auto colon = instName.find(':');
        if (colon != std::string::npos) {
            noteName = instName.substr(colon + 1);
            instName = instName.substr(0, colon);
        }
        uint8_t instrument = InstrumentNumber(instName);
        int semitone = noteName.empty() ? Instruments[instrument - 1].BaseNote : ParseNoteName(noteName);
        std::string cells;
        for (size_t i = 3; i < w.size(); ++i)
            for (char c : w[i])
                if (c != '|')
                    cells += c;
        if (cells.empty())
            throw std::runtime_error("grid has no steps");
        for (int row = 0; row < CurrentPattern().Rows; ++row) {
            char c = cells[static_cast<size_t>(row) % cells.size()];
            if (c == 'x')
                Put(row, ch, XmNote(semitone), instrument, -1);
            else if (c == 'o')
                Put(row, ch, XmNote(semitone), instrument, 34);
            else if (c != '.')
                throw std::runtime_error(std::string("grid step '") + c + "' is not x, o or .");
        }
    }

    // chords CH INSTRUMENT LOWEST CHORD[:rows][@vol] ... on channels CH..CH+2;
    // arp CH INSTRUMENT STEP LOWEST CHORD[:rows][@vol] ... climbs the chord one note per STEP rows.
    void Chords(const std::vector<std::string>& w, bool arpeggio) {
        int ch = Channel(Arg(w, 1));
        uint8_t instrument = InstrumentNumber(Arg(w, 2));
        size_t next = 3;
        int stepRows = arpeggio ? ParseInt(Arg(w, next++), 1, 64, "arp step") : 0;
        int lowest = ParseNoteName(Arg(w, next++));
        if (!arpeggio && ch + ChordVoices > Module.Channels)
            throw std::runtime_error("a chord needs three channels from " + w[1]);
        int row = 0, rows = 1;
        for (size_t i = next; i < w.size(); ++i) {
            Step step = ParseStep(w[i]);
            if (step.Rows > 0)
                rows = step.Rows;
            if (step.Times != 1)
                throw std::runtime_error("chords take no repeat count");
            if (step.Head == "-") {
                for (int v = 0; v < (arpeggio ? 1 : ChordVoices); ++v)
                    Put(row, ch + v, XmKeyOff, 0, -1);
            } else if (step.Head != "~") {
                auto notes = VoiceChord(step.Head, lowest);
                if (arpeggio) {
                    notes.push_back(notes.front() + 12);
                    for (int r = 0, k = 0; r < rows; r += stepRows, ++k)
                        Put(row + r, ch, XmNote(notes[static_cast<size_t>(k) % notes.size()]), instrument,
                            step.Volume);
                } else {
                    for (int v = 0; v < ChordVoices; ++v)
                        Put(row, ch + v, XmNote(notes[static_cast<size_t>(v)]), instrument, step.Volume);
                }
            }
            row += rows;
        }
        if (row > CurrentPattern().Rows)
            throw std::runtime_error("chords run " + std::to_string(row) + " rows, the pattern " +
                                     std::to_string(CurrentPattern().Rows));
    }

    XmInstrument Render(const InstrumentSpec& spec) const {
        if (spec.Layers.empty())
            throw std::runtime_error("instrument '" + spec.Name + "' has no layers");
        XmInstrument inst;
        inst.Name = spec.Name;
        inst.Volume = static_cast<uint8_t>(spec.Volume);
        inst.Panning = static_cast<uint8_t>(spec.Panning);
        auto samples = RenderLayers(spec.Layers, spec.Length);
        RemoveDc(samples);
        if (spec.LoopStart >= 0) {
            size_t start = static_cast<size_t>(spec.LoopStart * SynthRate);
            size_t end = static_cast<size_t>(spec.LoopEnd * SynthRate);
            size_t fade = std::min({static_cast<size_t>(MaxLoopFade * SynthRate), start, (end - start) / 2});
            CrossfadeLoop(samples, start, end, fade);
            CentreLoop(samples, start);
            inst.Looped = true;
            inst.LoopStart = static_cast<uint32_t>(start);
            inst.LoopLength = static_cast<uint32_t>(end - start);
        }
        float peak = Peak(samples);
        if (peak <= 0)
            throw std::runtime_error("instrument '" + spec.Name + "' is silent");
        float scale = SamplePeak / peak * static_cast<float>(std::pow(10.0, (spec.GainDb + SongGainDb) / 20));
        for (float& s : samples)
            s *= scale;
        inst.Sample = ToPcm16(samples);
        TuneSample(inst, SynthRate, spec.BaseNote);
        // Key-off fades the note out instead of cutting it.
        inst.VolumeEnvelope = {{0, 64}, {1, 64}};
        inst.SustainPoint = 1;
        inst.FadeOut = static_cast<uint16_t>(spec.FadeOut);
        return inst;
    }

    void Finish() {
        if (Module.Patterns.empty())
            throw std::runtime_error("no patterns");
        if (Module.Orders.empty())
            throw std::runtime_error("no order list");
        if (Module.Orders.size() > 256)
            throw std::runtime_error("more than 256 orders");
        if (Module.RestartPosition >= static_cast<int>(Module.Orders.size()))
            throw std::runtime_error("restart position past the order list");
        for (const auto& spec : Instruments)
            Module.Instruments.push_back(Render(spec));
    }
};

} // namespace

XmModule ParseSong(std::istream& in, const std::string& sourceName) {
    return SongParser(sourceName).Parse(in);
}

double SongDuration(const XmModule& module) {
    int rows = 0;
    for (uint8_t order : module.Orders)
        rows += module.Patterns.at(order).Rows;
    // One tick lasts 2.5 / bpm seconds.
    return rows * module.Speed * 2.5 / module.Bpm;
}

} // namespace audiogen
