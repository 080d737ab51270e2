#pragma once

#include "server/ScoreStore.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

// The operator's commands on the database a server uses (safe while it runs). Each returns
// the process exit status: 0, or 1 when an id was not found.

// "shown", "held", "hidden"; nullopt for anything else.
std::optional<TEntryState> ParseEntryState(std::string_view name);
std::string_view EntryStateName(TEntryState state);

// Newest first, as an aligned table.
int AdminList(IScoreAdmin& admin, std::optional<TEntryState> state, std::int64_t limit, std::ostream& out);
// Show also approves a held entry; hide takes an entry off the list without deleting it.
int AdminSetState(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, TEntryState state,
                  std::ostream& out, std::ostream& err);
int AdminDelete(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, std::ostream& out,
                std::ostream& err);
// Every entry as CSV (UTF-8, a header line, oldest first).
int AdminExport(IScoreAdmin& admin, std::ostream& out);
