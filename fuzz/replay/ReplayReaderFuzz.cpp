// Feeds arbitrary bytes to the replay reader. What it accepts must be within the limits it
// promises, walk tick by tick to its end, and write back to the very same bytes.

#include "replay/Replay.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TReplay replay;
    try {
        replay = TReplay::Decode(bytes);
    } catch (const EReplayError&) {
        return 0;
    }
    if (replay.TickCount() > TReplay::kMaxTicks || replay.Boat < 1 || replay.Boat > 3)
        std::abort();
    TReplayCursor cursor(replay);
    uint32_t ticks = 0;
    uint32_t lastEvent = 0;
    while (!cursor.AtEnd()) {
        cursor.TakeEvents([&](const TReplayEvent& e) { lastEvent = e.BeforeTick; });
        const TReplayRun& run = cursor.Current();
        if (run.LagCount < 1 || run.LagCount > TReplay::kMaxLagCount || (run.Inputs & ~kReplayInputMask) != 0)
            std::abort();
        cursor.Advance();
        ++ticks;
    }
    cursor.TakeEvents([&](const TReplayEvent& e) { lastEvent = e.BeforeTick; });
    if (ticks != replay.TickCount() || lastEvent > ticks)
        std::abort();
    if (replay.Encode() != bytes)
        std::abort(); // two files read as the same replay: the reader is not strict
    return 0;
}
