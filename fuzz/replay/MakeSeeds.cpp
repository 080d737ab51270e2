// Writes a few replays for the fuzzer to start from: a short race, one with events, a claim,
// a name and a picture checksum, and one with long held runs and changed LagCounts.

#include "replay/Replay.h"

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    auto write = [&](const std::string& name, const TReplay& r) {
        std::ofstream(dir + "/" + name, std::ios::binary) << r.Encode();
    };
    TReplay plain;
    plain.GameVersion = "0.1";
    plain.Boat = 1;
    for (int i = 0; i < 40; ++i)
        plain.AddTick(i % 3 == 0 ? riUp : riUp | riLeft, 1);
    write("plain", plain);

    TReplay full = plain;
    full.Boat = 3;
    full.Seed = 77;
    full.EdgesBefore = 3;
    full.AddEvent(TReplayEventKind::Hover, 2);
    full.AddTick(riEsc, 2);
    full.AddEvent(TReplayEventKind::Click, 1);
    full.Claim = TRaceResult{120, 2, 1, full.TickCount(), TRaceEnd::Finished};
    full.Name = "Fuzz";
    full.Crew = "_______";
    full.PictureChecksum = 0x12345678;
    write("full", full);

    TReplay runs;
    runs.Boat = 2;
    for (int i = 0; i < 3000; ++i)
        runs.AddTick(i < 2000 ? riUp | riFire : riNoFrame, i % 500 == 0 ? 5 : 1);
    runs.AddEvent(TReplayEventKind::Minimize, 0);
    write("runs", runs);
    return 0;
}
