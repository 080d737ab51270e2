#pragma once

#include "server/store/ReplayStore.h"
#include "server/store/ScoreStore.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The operator's commands on the database a server uses (safe while it runs). Each returns
// the process exit status: 0, or 1 when an id was not found.

// "shown", "held", "hidden"; nullopt for anything else.
std::optional<TEntryState> ParseEntryState(std::string_view name);
std::string_view EntryStateName(TEntryState state);

// Newest first, as an aligned table.
int AdminList(IScoreAdmin& admin, std::optional<TEntryState> state, std::int64_t limit, std::ostream& out);
// Uploaded replays, newest first, with where each stands and why (failed, copy, other version).
int AdminReplays(IReplayStore& replays, std::optional<TReplayStatus> status, std::int64_t limit,
                 std::ostream& out);
// Show also approves a held entry; hide takes an entry off the list without deleting it.
int AdminSetState(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, TEntryState state,
                  std::ostream& out, std::ostream& err);
int AdminDelete(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, std::ostream& out,
                std::ostream& err);
// Every entry, oldest first: as CSV (UTF-8, a header line; for spreadsheets, with a "'" before a
// text that would run as a formula) or as JSON lines (exactly as stored, for AdminImport).
enum class TExportFormat { Csv, JsonLines };
int AdminExport(IScoreAdmin& admin, std::ostream& out, TExportFormat format = TExportFormat::Csv);
// Adds every entry of a JSON-lines export, all or none; a bad line is named (source: the file's
// name for messages) and nothing is added.
int AdminImport(IScoreAdmin& admin, std::istream& in, const std::string& source, std::ostream& out,
                std::ostream& err);
