#pragma once

#include "server/store/ScoreStore.h"

#include <optional>
#include <string>
#include <string_view>

// An entry as one line of JSON, everything kept exactly (texts as they are stored, UTF-8), for
// moving the scores from one store to another:
//   {"id":7,"received":1772638220,"state":"shown","score":4321,"name":"Ann","crew":"",
//    "client":"192.0.2.1","digest":123456789}
std::string EntryJsonLine(const TStoredEntry& entry);

// Reads what EntryJsonLine wrote (fields in any order; "id" may be left out); nullopt with the
// reason in error for anything else.
std::optional<TStoredEntry> ParseEntryJsonLine(std::string_view line, std::string& error);
