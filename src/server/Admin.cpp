#include "server/Admin.h"

#include "server/EntryLines.h"
#include "server/service/Period.h"
#include "server/TextEscape.h"

#include <array>
#include <string>

namespace {

constexpr std::array<std::string_view, 3> kStateNames = {"shown", "held", "hidden"};

// Pads to a width in characters (not bytes) so UTF-8 names line up.
std::string Padded(std::string text, std::size_t width) {
    std::size_t chars = 0;
    for (char c : text)
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (chars < width)
        text.append(width - chars, ' ');
    return text;
}

std::string RightAligned(const std::string& text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

} // namespace

std::optional<TEntryState> ParseEntryState(std::string_view name) {
    for (std::size_t i = 0; i < kStateNames.size(); ++i)
        if (kStateNames[i] == name)
            return static_cast<TEntryState>(i);
    return std::nullopt;
}

std::string_view EntryStateName(TEntryState state) {
    return kStateNames[static_cast<std::size_t>(state)];
}

int AdminList(IScoreAdmin& admin, std::optional<TEntryState> state, std::int64_t limit, std::ostream& out) {
    std::vector<TStoredEntry> entries = admin.List(state, limit);
    out << RightAligned("id", 8) << "  " << Padded("received (UTC)", 20) << "  " << Padded("state", 6) << "  "
        << RightAligned("score", 11) << "  " << Padded("name", 12) << "  " << Padded("crew", 12)
        << "  client\n";
    for (const TStoredEntry& e : entries) {
        out << RightAligned(std::to_string(e.Id), 8) << "  " << Padded(FormatIsoUtc(e.Received), 20) << "  "
            << Padded(std::string(EntryStateName(e.State)), 6) << "  "
            << RightAligned(std::to_string(e.Score), 11) << "  " << Padded(TerminalSafe(e.Name), 12) << "  "
            << Padded(TerminalSafe(e.Crew), 12) << "  " << TerminalSafe(e.Client) << "\n";
    }
    out << entries.size() << (entries.size() == 1 ? " entry\n" : " entries\n");
    return 0;
}

int AdminReplays(IReplayStore& replays, std::optional<TReplayStatus> status, std::int64_t limit,
                 std::ostream& out) {
    std::vector<TReplayRecord> list = replays.ListReplays(status, limit);
    out << Padded("replay", 12) << "  " << Padded("received (UTC)", 20) << "  " << Padded("status", 13)
        << "  " << RightAligned("entry", 8) << "  " << RightAligned("score", 11) << "  " << Padded("name", 12)
        << "  " << Padded("crew", 12) << "  " << Padded("client", 16) << "  race version, data: reason\n";
    for (const TReplayRecord& r : list) {
        out << Padded(r.Id.substr(0, 12), 12) << "  " << Padded(FormatIsoUtc(r.Received), 20) << "  "
            << Padded(std::string(ReplayStatusName(r.Status)), 13) << "  "
            << RightAligned(r.EntryId ? std::to_string(r.EntryId) : "-", 8) << "  "
            << RightAligned(std::to_string(r.Score), 11) << "  " << Padded(TerminalSafe(r.Name), 12) << "  "
            << Padded(TerminalSafe(r.Crew), 12) << "  " << Padded(TerminalSafe(r.Client), 16) << "  "
            << TerminalSafe(r.GameVersion) << ", " << r.DataHash << (r.Reason.empty() ? "" : ": ")
            << TerminalSafe(r.Reason) << "\n";
    }
    out << list.size() << (list.size() == 1 ? " replay\n" : " replays\n");
    return 0;
}

int AdminSetState(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, TEntryState state,
                  std::ostream& out, std::ostream& err) {
    int status = 0;
    for (std::int64_t id : ids) {
        if (admin.SetState(id, state)) {
            out << "entry " << id << ": " << EntryStateName(state) << "\n";
        } else {
            err << "entry " << id << ": no such entry\n";
            status = 1;
        }
    }
    return status;
}

int AdminDelete(IScoreAdmin& admin, const std::vector<std::int64_t>& ids, std::ostream& out,
                std::ostream& err) {
    int status = 0;
    for (std::int64_t id : ids) {
        if (admin.Delete(id)) {
            out << "entry " << id << ": deleted\n";
        } else {
            err << "entry " << id << ": no such entry\n";
            status = 1;
        }
    }
    return status;
}

int AdminExport(IScoreAdmin& admin, std::ostream& out, TExportFormat format) {
    if (format == TExportFormat::JsonLines) {
        admin.ForEachEntry([&out](const TStoredEntry& e) { out << EntryJsonLine(e) << '\n'; });
        return 0;
    }
    out << "id,received,state,score,name,crew,client\r\n";
    admin.ForEachEntry([&out](const TStoredEntry& e) {
        out << e.Id << ',' << FormatIsoUtc(e.Received) << ',' << EntryStateName(e.State) << ',' << e.Score
            << ',' << CsvField(e.Name) << ',' << CsvField(e.Crew) << ',' << CsvField(e.Client) << "\r\n";
    });
    return 0;
}

int AdminImport(IScoreAdmin& admin, std::istream& in, const std::string& source, std::ostream& out,
                std::ostream& err) {
    std::vector<TStoredEntry> entries;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        std::string error;
        std::optional<TStoredEntry> entry = ParseEntryJsonLine(line, error);
        if (!entry) {
            err << source << ":" << number << ": " << error << "; nothing imported\n";
            return 1;
        }
        entries.push_back(std::move(*entry));
    }
    if (in.bad()) {
        err << source << ": reading failed; nothing imported\n";
        return 1;
    }
    const std::size_t added = admin.Import(entries);
    out << added << (added == 1 ? " entry imported" : " entries imported");
    if (added < entries.size())
        out << ", " << entries.size() - added << " already there";
    out << '\n';
    return 0;
}
