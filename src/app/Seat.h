#pragma once

#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/GameContext.h"
#include "replay/Replay.h"

#include <cstdint>
#include <string>

class IPlatform;
class TMenus;
class TRace;

// What only the form can do for the application's parts: the replay's bookkeeping at the end of
// a race, the end of the game, and the requests it held while a request ran. The form answers
// them in the game; a test answers them on a small context.
class IFormRequests {
  public:
    virtual ~IFormRequests() = default;

    // The race is over: the recorder (or the player) learns its result. False when the race was
    // a replay being played, which ends here instead of going on to the name entry.
    virtual bool RaceOver() = 0;
    // The name entry has put the result into the table.
    virtual void NameEntered() = 0;
    // The race just played, as recorded.
    virtual const TReplay& RecordedRace() const = 0;
    // Yes to "Exit the game?".
    virtual void ExitGame() = 0;
    // Acts on a close or a full-screen switch asked for while a request blocked the game.
    virtual void ActOnRequestsHeldWhileBusy() = 0;
    // The key that opened a text field (Y answering a question) must not type its letter into it.
    virtual void IgnoreTextOfKeysPressedSoFar() = 0;

    // What a replay being played does in place of the devices.
    virtual void PlayInputs(uint16_t inputs) = 0;
    virtual void PlayEvent(const TReplayEvent& event) = 0;
    // What a recorded replay is stamped with.
    virtual std::string GameVersion() const = 0;
    virtual uint64_t RaceDataHash() = 0;
};

// Where the application's parts sit (the overlays, the end of the race, the screen changes, the
// replays): the context the screens share, the two screens they drive, the platform for the
// clock and the pointer, and the form's own requests. Nothing here is owned.
struct TSeat {
    TGameContext& Context;
    IPlatform& Platform;
    TMenus& Menus;
    TRace& Race;
    IFormRequests& Form;
};
