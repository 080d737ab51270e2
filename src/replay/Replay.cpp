#include "replay/Replay.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {
constexpr std::string_view kMagic = "SDRP";

enum THeaderFlag : uint8_t {
    hfClaim = 1U << 0U,
    hfName = 1U << 1U,
    hfCrew = 1U << 2U,
    hfPicture = 1U << 3U,
};
constexpr uint8_t kKnownFlags = hfClaim | hfName | hfCrew | hfPicture;
constexpr uint8_t kEdgeMask = 0x0F;
constexpr size_t kChecksumBytes = 4;
constexpr uint32_t kMaxEventArg = 255;
constexpr int32_t kMaxBoat = 3;

// The ticks are written as two streams of runs: the inputs, and the LagCount (which a busy
// machine changes every few ticks while the keys stay as they are).
//
// An input run's head holds its length above and a code below: the one input that changed from
// the run before, or kExplicitInputs with the inputs written out after it. Most changes are one
// key pressed or let go, so a typical run takes a byte or two.
constexpr uint32_t kInputCodeBits = 4;
constexpr uint32_t kInputBits = 10;
constexpr uint32_t kExplicitInputs = 15;
static_assert(kReplayInputMask == (1U << kInputBits) - 1);
// A LagCount run's head: its length above, the LagCount 1..3 below, or kExplicitLag with the
// LagCount written out after it.
constexpr uint32_t kLagCodeBits = 2;
constexpr uint32_t kExplicitLag = 3;

uint32_t InputCode(uint16_t previous, uint16_t inputs) {
    const uint32_t changed = static_cast<uint32_t>(previous ^ inputs);
    if (changed == 0 || (changed & (changed - 1)) != 0)
        return kExplicitInputs;
    uint32_t bit = 0;
    while ((changed >> bit) != 1U)
        ++bit;
    return bit;
}

uint32_t LagCode(uint32_t lag) {
    return lag < kExplicitLag + 1 ? lag - 1 : kExplicitLag;
}

// One stream: consecutive runs with the same value, merged.
struct TStreamRun {
    uint32_t Count;
    uint32_t Value;
};

template <typename Value> std::vector<TStreamRun> Stream(const std::vector<TReplayRun>& runs, Value value) {
    std::vector<TStreamRun> stream;
    for (const TReplayRun& run : runs) {
        if (!stream.empty() && stream.back().Value == value(run))
            stream.back().Count += run.Count;
        else
            stream.push_back({run.Count, value(run)});
    }
    return stream;
}

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
        table[i] = c;
    }
    return table;
}

class TWriter {
  public:
    void Byte(uint8_t b) { m_out.push_back(static_cast<char>(b)); }
    void Fixed(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            Byte(static_cast<uint8_t>(value >> (8 * i)));
    }
    void Varint(uint32_t value) {
        while (value >= 0x80) {
            Byte(static_cast<uint8_t>(value | 0x80U));
            value >>= 7U;
        }
        Byte(static_cast<uint8_t>(value));
    }
    void Signed(int32_t value) {
        const auto u = static_cast<uint32_t>(value);
        Varint((u << 1U) ^ (value < 0 ? 0xFFFFFFFFU : 0U));
    }
    void Text(const std::string& text) {
        Varint(static_cast<uint32_t>(text.size()));
        m_out += text;
    }
    std::string& Out() { return m_out; }

  private:
    std::string m_out;
};

// Every read checks the bytes left first: a file that ends early is "truncated", never a read
// past its end.
class TReader {
  public:
    explicit TReader(std::string_view bytes) : m_bytes(bytes) {}
    size_t Left() const { return m_bytes.size() - m_pos; }
    uint8_t Byte() {
        Need(1);
        return static_cast<uint8_t>(m_bytes[m_pos++]);
    }
    uint64_t Fixed(int bytes) {
        Need(static_cast<size_t>(bytes));
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<uint64_t>(static_cast<uint8_t>(m_bytes[m_pos++])) << (8 * i);
        return value;
    }
    uint32_t Varint(const char* what) {
        uint64_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const uint8_t b = Byte();
            value |= static_cast<uint64_t>(b & 0x7FU) << shift;
            if ((b & 0x80U) == 0) {
                // One way to write each number: a file is read as one replay only.
                if (b == 0 && shift > 0)
                    Fail(std::string(what) + " is written with needless bytes");
                if (value > 0xFFFFFFFFULL)
                    Fail(std::string(what) + " does not fit 32 bits");
                return static_cast<uint32_t>(value);
            }
        }
        Fail(std::string(what) + " is longer than any number the format holds");
    }
    int32_t Signed(const char* what) {
        const uint32_t u = Varint(what);
        return static_cast<int32_t>((u >> 1U) ^ (0U - (u & 1U)));
    }
    uint32_t Bounded(const char* what, uint32_t low, uint32_t high) {
        const uint32_t value = Varint(what);
        if (value < low || value > high)
            Fail(std::string(what) + " " + std::to_string(value) + " is out of range (" +
                 std::to_string(low) + ".." + std::to_string(high) + ")");
        return value;
    }
    std::string Text(const char* what) {
        const uint32_t size = Bounded(what, 0, TReplay::kMaxTextBytes);
        Need(size);
        std::string text(m_bytes.substr(m_pos, size));
        m_pos += size;
        return text;
    }
    [[noreturn]] static void Fail(const std::string& what) { throw EReplayError(what); }

  private:
    void Need(size_t n) const {
        if (Left() < n)
            Fail("truncated: the file ends in the middle of the replay");
    }
    std::string_view m_bytes;
    size_t m_pos = 0;
};
} // namespace

uint32_t Crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFU;
    for (char ch : bytes)
        c = table[(c ^ static_cast<uint8_t>(ch)) & 0xFFU] ^ (c >> 8U);
    return c ^ 0xFFFFFFFFU;
}

void TReplay::AddTick(uint16_t inputs, uint32_t lagCount) {
    if (!Runs.empty() && Runs.back().Inputs == inputs && Runs.back().LagCount == lagCount) {
        ++Runs.back().Count;
    } else {
        Runs.push_back({1, inputs, lagCount});
    }
    ++m_ticks;
}

void TReplay::AddEvent(TReplayEventKind kind, uint32_t arg) {
    Events.push_back({m_ticks, kind, arg});
}

std::string TReplay::Encode() const {
    TWriter w;
    for (char c : kMagic)
        w.Byte(static_cast<uint8_t>(c));
    w.Byte(kFormatVersion);
    w.Text(GameVersion);
    w.Fixed(DataHash, 8);
    w.Byte(static_cast<uint8_t>(Boat));
    w.Fixed(Seed, 4);
    w.Byte(EdgesBefore & kEdgeMask);
    const uint8_t flags =
        (Claim ? hfClaim : 0) | (Name ? hfName : 0) | (Crew ? hfCrew : 0) | (PictureChecksum ? hfPicture : 0);
    w.Byte(flags);
    if (Claim) {
        w.Signed(Claim->Score);
        w.Signed(Claim->Level);
        w.Signed(Claim->Lives);
        w.Varint(Claim->Ticks);
        w.Byte(static_cast<uint8_t>(Claim->End));
    }
    if (Name)
        w.Text(Name->substr(0, kMaxTextBytes));
    if (Crew)
        w.Text(Crew->substr(0, kMaxTextBytes));
    if (PictureChecksum)
        w.Fixed(*PictureChecksum, 4);

    w.Varint(m_ticks);
    const std::vector<TStreamRun> inputs =
        Stream(Runs, [](const TReplayRun& r) { return uint32_t{r.Inputs}; });
    w.Varint(static_cast<uint32_t>(inputs.size()));
    uint16_t previous = 0;
    for (const TStreamRun& run : inputs) {
        const auto value = static_cast<uint16_t>(run.Value);
        const uint32_t code = InputCode(previous, value);
        w.Varint((run.Count - 1) << kInputCodeBits | code);
        if (code == kExplicitInputs)
            w.Varint(value);
        previous = value;
    }
    const std::vector<TStreamRun> lags = Stream(Runs, [](const TReplayRun& r) { return r.LagCount; });
    w.Varint(static_cast<uint32_t>(lags.size()));
    for (const TStreamRun& run : lags) {
        const uint32_t code = LagCode(run.Value);
        w.Varint((run.Count - 1) << kLagCodeBits | code);
        if (code == kExplicitLag)
            w.Varint(run.Value);
    }
    w.Varint(static_cast<uint32_t>(Events.size()));
    uint32_t at = 0;
    for (const TReplayEvent& e : Events) {
        w.Varint(e.BeforeTick - at);
        w.Byte(static_cast<uint8_t>(e.Kind));
        w.Varint(e.Arg);
        at = e.BeforeTick;
    }
    w.Fixed(Crc32(w.Out()), 4);
    return w.Out();
}

TReplay TReplay::Decode(std::string_view bytes) {
    if (bytes.size() > kMaxFileBytes)
        TReader::Fail("oversized: " + std::to_string(bytes.size()) + " bytes, a replay has at most " +
                      std::to_string(kMaxFileBytes));
    if (bytes.size() < kMagic.size() || bytes.substr(0, kMagic.size()) != kMagic)
        TReader::Fail("not a replay file (it does not begin with \"SDRP\")");
    TReader r(bytes);
    r.Fixed(static_cast<int>(kMagic.size()));
    const uint8_t version = r.Byte();
    if (version != kFormatVersion)
        TReader::Fail("wrong format version " + std::to_string(version) + " (this game reads version " +
                      std::to_string(kFormatVersion) + ")");

    TReplay replay;
    replay.GameVersion = r.Text("game version length");
    replay.DataHash = r.Fixed(8);
    replay.Boat = r.Byte();
    if (replay.Boat < 1 || replay.Boat > kMaxBoat)
        TReader::Fail("boat " + std::to_string(replay.Boat) + " does not exist (1.." +
                      std::to_string(kMaxBoat) + ")");
    replay.Seed = static_cast<uint32_t>(r.Fixed(4));
    replay.EdgesBefore = r.Byte();
    if ((replay.EdgesBefore & ~kEdgeMask) != 0)
        TReader::Fail("unknown key states before the race");
    const uint8_t flags = r.Byte();
    if ((flags & ~kKnownFlags) != 0)
        TReader::Fail("unknown header flags");
    if ((flags & hfClaim) != 0) {
        TRaceResult claim;
        claim.Score = r.Signed("claimed score");
        claim.Level = r.Signed("claimed level");
        claim.Lives = r.Signed("claimed lives");
        claim.Ticks = r.Varint("claimed tick count");
        const uint8_t end = r.Byte();
        if (end != static_cast<uint8_t>(TRaceEnd::GameOver) &&
            end != static_cast<uint8_t>(TRaceEnd::Finished))
            TReader::Fail("unknown end of race " + std::to_string(end));
        claim.End = static_cast<TRaceEnd>(end);
        replay.Claim = claim;
    }
    if ((flags & hfName) != 0)
        replay.Name = r.Text("name length");
    if ((flags & hfCrew) != 0)
        replay.Crew = r.Text("crew text length");
    if ((flags & hfPicture) != 0)
        replay.PictureChecksum = static_cast<uint32_t>(r.Fixed(4));

    const uint32_t ticks = r.Bounded("tick count", 0, kMaxTicks);
    // Each run takes a byte at least: a count beyond what is left cannot be, whether the file
    // was cut short or the count lies. The runs of a stream must add up to the tick count.
    auto readStream = [&](const char* what, auto readRun) {
        const uint32_t count = r.Varint(what);
        if (count > r.Left())
            TReader::Fail("truncated: the file ends before the " + std::to_string(count) + " " + what +
                          " it announces");
        std::vector<TStreamRun> stream;
        stream.reserve(count);
        uint64_t sum = 0;
        for (uint32_t i = 0; i < count; ++i) {
            TStreamRun run = readRun(i == 0 ? nullptr : &stream.back());
            sum += run.Count;
            if (sum > ticks)
                TReader::Fail(std::string("the ") + what + " hold more ticks than the " +
                              std::to_string(ticks) + " the header gives");
            if (!stream.empty() && stream.back().Value == run.Value)
                TReader::Fail(std::string("two ") + what + " in a row are the same");
            stream.push_back(run);
        }
        if (sum != ticks)
            TReader::Fail(std::string("the ") + what + " hold " + std::to_string(sum) +
                          " ticks, the header gives " + std::to_string(ticks));
        return stream;
    };
    const std::vector<TStreamRun> inputs = readStream("input runs", [&](const TStreamRun* previous) {
        const uint32_t head = r.Varint("input run");
        const uint32_t code = head & ((1U << kInputCodeBits) - 1);
        const uint32_t before = previous ? previous->Value : 0;
        TStreamRun run{(head >> kInputCodeBits) + 1, 0};
        if (code == kExplicitInputs) {
            run.Value = r.Bounded("inputs", 0, kReplayInputMask);
            if (InputCode(static_cast<uint16_t>(before), static_cast<uint16_t>(run.Value)) != kExplicitInputs)
                TReader::Fail("an input run is written the long way where the short one serves");
        } else if (code < kInputBits) {
            run.Value = before ^ (1U << code);
        } else {
            TReader::Fail("unknown input run code " + std::to_string(code));
        }
        return run;
    });
    const std::vector<TStreamRun> lags = readStream("LagCount runs", [&](const TStreamRun*) {
        const uint32_t head = r.Varint("LagCount run");
        const uint32_t code = head & ((1U << kLagCodeBits) - 1);
        TStreamRun run{(head >> kLagCodeBits) + 1, code + 1};
        if (code == kExplicitLag) {
            run.Value = r.Bounded("LagCount", kExplicitLag + 1, kMaxLagCount);
        }
        return run;
    });
    // Both streams together: a run wherever either changes.
    size_t a = 0, b = 0;
    uint32_t leftA = inputs.empty() ? 0 : inputs[0].Count, leftB = lags.empty() ? 0 : lags[0].Count;
    while (a < inputs.size() && b < lags.size()) {
        const uint32_t n = std::min(leftA, leftB);
        replay.Runs.push_back({n, static_cast<uint16_t>(inputs[a].Value), lags[b].Value});
        leftA -= n;
        leftB -= n;
        if (leftA == 0 && ++a < inputs.size())
            leftA = inputs[a].Count;
        if (leftB == 0 && ++b < lags.size())
            leftB = lags[b].Count;
    }
    replay.m_ticks = ticks;

    const uint32_t eventCount = r.Varint("event count");
    if (eventCount > r.Left() / 3)
        TReader::Fail("truncated: the file ends before the " + std::to_string(eventCount) +
                      " events it announces");
    replay.Events.reserve(eventCount);
    uint64_t at = 0;
    for (uint32_t i = 0; i < eventCount; ++i) {
        at += r.Varint("event tick");
        if (at > ticks)
            TReader::Fail("an event lies after the last tick");
        TReplayEvent e;
        e.BeforeTick = static_cast<uint32_t>(at);
        const uint8_t kind = r.Byte();
        if (kind < static_cast<uint8_t>(TReplayEventKind::Click) ||
            kind > static_cast<uint8_t>(TReplayEventKind::Hover))
            TReader::Fail("unknown event kind " + std::to_string(kind));
        e.Kind = static_cast<TReplayEventKind>(kind);
        e.Arg = r.Bounded("event argument", 0, kMaxEventArg);
        replay.Events.push_back(e);
    }

    const size_t bodyEnd = bytes.size() - r.Left();
    const auto stored = static_cast<uint32_t>(r.Fixed(static_cast<int>(kChecksumBytes)));
    if (r.Left() != 0)
        TReader::Fail("trailing bytes after the replay's checksum");
    if (stored != Crc32(bytes.substr(0, bodyEnd)))
        TReader::Fail("bad checksum: the file is damaged");
    return replay;
}

void TReplayCursor::Advance() {
    ++m_tick;
    if (++m_inRun >= m_replay.Runs[m_run].Count) {
        ++m_run;
        m_inRun = 0;
    }
}
