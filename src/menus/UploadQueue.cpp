#include "menus/UploadQueue.h"

#include "menus/SaveFiles.h"
#include "replay/ReplayFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kUploadPath = "/api/v1/replays";
constexpr size_t kHashDigits = 16;
// Far more lines than a sound list holds; a damaged one is not read to its end.
constexpr int kMaxListLines = 256;
constexpr size_t kMaxRefusals = 16;
constexpr size_t kMaxServerBytes = 2048;

bool IsQueueFileName(const std::string& name) {
    const std::string extension = kReplayExtension;
    if (name.size() != kHashDigits + extension.size() || !name.ends_with(extension))
        return false;
    return std::all_of(name.begin(), name.begin() + kHashDigits,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// An address that fits on a line of the list: no blanks or control bytes, not endless.
bool IsUsableServer(const std::string& server) {
    return !server.empty() && server.size() <= kMaxServerBytes &&
           std::none_of(server.begin(), server.end(), [](char c) {
               const auto b = static_cast<unsigned char>(c);
               return b <= ' ' || b == 127;
           });
}

std::string NormalServer(std::string server) {
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

// The words of a line split at single spaces; the last keeps what is left of the line.
std::vector<std::string> SplitLine(const std::string& line, size_t fields) {
    std::vector<std::string> words;
    size_t start = 0;
    while (words.size() + 1 < fields) {
        const size_t space = line.find(' ', start);
        if (space == std::string::npos)
            break;
        words.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    words.push_back(line.substr(start));
    return words;
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}
} // namespace

TUploadAnswer UploadAnswerFor(int status) {
    if (status >= 200 && status <= 299)
        return TUploadAnswer::Done;
    switch (status) {
    case 400: // not a replay the server can read: the same bytes will never be
    case 409: // a version it does not verify: the server keeps the file for a later one
    case 413:
    case 422:
        return TUploadAnswer::Done;
    case 404:
    case 405:
        return TUploadAnswer::ServerRefuses;
    default:
        // Busy, away, a proxy in between, or no answer: the tries are bounded anyway.
        return TUploadAnswer::TryLater;
    }
}

std::string ReplayUploadUrl(const std::string& server) {
    return NormalServer(server) + kUploadPath;
}

std::string TUploadQueue::FileNameFor(const std::string& bytes) {
    // FNV-1a over the bytes: a name, not a proof; the server has its own hash.
    uint64_t hash = 14695981039346656037ULL;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kHashDigits, '0');
    for (size_t i = 0; i < kHashDigits; ++i)
        name[kHashDigits - 1 - i] = kHex[(hash >> (4 * i)) & 0xFU];
    return name + kReplayExtension;
}

void TUploadQueue::Load(const std::string& adoptFor, int64_t now) {
    namespace fs = std::filesystem;
    m_entries.clear();
    m_refusals.clear();
    m_holds.clear();
    const std::string list = PathOf(kListName);
    RemoveStaleTemporary(list);

    TSaveFileReader reader(list);
    std::string line;
    std::vector<std::string> spent; // listed, but tried to the end or going nowhere
    for (int n = 0; n < kMaxListLines && reader.ReadLine(line, kTextLineMax); ++n) {
        if (line.starts_with("replay ")) {
            const auto words = SplitLine(line, 4);
            if (words.size() != 4 || !IsQueueFileName(words[1]) || Find(words[1]))
                continue;
            const auto attempts = ParseSaveNumber(words[2]);
            if (!IsUsableServer(words[3]) || !attempts || *attempts < 0 || *attempts >= kMaxAttempts) {
                spent.push_back(words[1]);
                continue;
            }
            TEntry entry;
            entry.File = words[1];
            entry.Server = NormalServer(words[3]);
            entry.Attempts = static_cast<int>(*attempts);
            m_entries.push_back(std::move(entry));
        } else if (line.starts_with("refused ")) {
            const auto words = SplitLine(line, 3);
            if (words.size() != 3 || !IsUsableServer(words[2]))
                continue;
            // A refusal dated in the future (a clock set back) counts from now.
            const auto since = ParseSaveNumber(words[1]);
            if (since && now - std::min<int64_t>(*since, now) < kRefusalSeconds &&
                m_refusals.size() < kMaxRefusals)
                m_refusals.push_back({NormalServer(words[2]), std::min<int64_t>(*since, now)});
        } else if (line.starts_with("wait ")) {
            const auto words = SplitLine(line, 3);
            if (words.size() != 3 || !IsUsableServer(words[2]))
                continue;
            if (const auto until = ParseSaveNumber(words[1]); until && *until > now)
                HoldServer(words[2], *until - now, now);
        }
    }

    // What the folder holds: the listed files that are there, and the ones the list lost.
    std::vector<std::pair<fs::file_time_type, std::string>> unlisted;
    std::vector<std::string> stray;
    std::error_code ec;
    for (const fs::directory_entry& item : fs::directory_iterator(m_folder, ec)) {
        const std::string name = item.path().filename().string();
        if (name.ends_with(".tmp") && IsQueueFileName(name.substr(0, name.size() - 4))) {
            stray.push_back(name);
        } else if (IsQueueFileName(name) && std::find(spent.begin(), spent.end(), name) != spent.end()) {
            stray.push_back(name);
        } else if (IsQueueFileName(name) && !Find(name)) {
            std::error_code timeError;
            unlisted.emplace_back(item.last_write_time(timeError), name);
        }
    }
    for (const std::string& name : stray)
        ::unlink(PathOf(name).c_str());
    std::sort(unlisted.begin(), unlisted.end());
    const std::string adopter = NormalServer(adoptFor);
    for (const auto& [time, name] : unlisted) {
        if (!IsUsableServer(adopter)) {
            ::unlink(PathOf(name).c_str());
            continue;
        }
        TEntry entry;
        entry.File = name;
        entry.Server = adopter;
        m_entries.push_back(std::move(entry));
    }

    std::vector<TEntry> kept;
    for (TEntry& entry : m_entries) {
        const auto size = RegularFileSize(PathOf(entry.File));
        if (!size)
            continue; // gone, or something else stands under the name: not ours to remove
        if (*size == 0 || *size > kMaxReplayBytes || Refuses(entry.Server, now)) {
            ::unlink(PathOf(entry.File).c_str());
            continue;
        }
        entry.Size = *size;
        kept.push_back(std::move(entry));
    }
    m_entries = std::move(kept);
    KeepWithinBounds();
}

bool TUploadQueue::Add(const std::string& bytes, const std::string& serverAddress, int64_t now) {
    const std::string server = NormalServer(serverAddress);
    if (bytes.empty() || bytes.size() > kMaxReplayBytes || !IsUsableServer(server) || Refuses(server, now))
        return false;
    const std::string file = FileNameFor(bytes);
    if (Find(file))
        return true;
    TEntry entry;
    entry.File = file;
    entry.Server = server;
    entry.Size = bytes.size();
    std::string error;
    try {
        WriteReplayFile(PathOf(file), bytes);
    } catch (const std::exception& e) {
        error = e.what();
        entry.Unsaved = bytes;
    }
    m_entries.push_back(std::move(entry));
    KeepWithinBounds();
    if (!error.empty())
        throw std::runtime_error(error);
    Save();
    return true;
}

const TUploadQueue::TEntry* TUploadQueue::Find(const std::string& file) const {
    auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const TEntry& e) { return e.File == file; });
    return it == m_entries.end() ? nullptr : &*it;
}

std::string TUploadQueue::Read(const TEntry& entry) const {
    if (entry.Unsaved)
        return *entry.Unsaved;
    return ReadReplayFile(PathOf(entry.File));
}

void TUploadQueue::CountAttempt(const std::string& file, int by) {
    for (TEntry& entry : m_entries)
        if (entry.File == file)
            entry.Attempts = std::max(0, entry.Attempts + by);
}

void TUploadQueue::Remove(const std::string& file) {
    auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [&](const TEntry& e) { return e.File == file; });
    if (it == m_entries.end())
        return;
    if (!it->Unsaved)
        ::unlink(PathOf(file).c_str());
    m_entries.erase(it);
}

void TUploadQueue::RefuseServer(const std::string& serverAddress, int64_t now) {
    const std::string server = NormalServer(serverAddress);
    std::vector<std::string> dropped;
    for (const TEntry& entry : m_entries)
        if (entry.Server == server)
            dropped.push_back(entry.File);
    for (const std::string& file : dropped)
        Remove(file);
    std::erase_if(m_refusals, [&](const TServerMark& r) { return r.Server == server; });
    if (m_refusals.size() >= kMaxRefusals)
        m_refusals.erase(m_refusals.begin());
    m_refusals.push_back({server, now});
}

bool TUploadQueue::Refuses(const std::string& serverAddress, int64_t now) const {
    const std::string server = NormalServer(serverAddress);
    return std::any_of(m_refusals.begin(), m_refusals.end(), [&](const TServerMark& r) {
        return r.Server == server && now - std::min(r.Time, now) < kRefusalSeconds;
    });
}

void TUploadQueue::HoldServer(const std::string& serverAddress, int64_t seconds, int64_t now) {
    const std::string server = NormalServer(serverAddress);
    std::erase_if(m_holds, [&](const TServerMark& h) { return h.Server == server || h.Time <= now; });
    if (seconds <= 0)
        return;
    if (m_holds.size() >= kMaxRefusals)
        m_holds.erase(m_holds.begin());
    m_holds.push_back({server, now + std::min(seconds, kMaxHoldSeconds)});
}

bool TUploadQueue::Holds(const std::string& serverAddress, int64_t now) const {
    const std::string server = NormalServer(serverAddress);
    return std::any_of(m_holds.begin(), m_holds.end(),
                       [&](const TServerMark& h) { return h.Server == server && now < h.Time; });
}

void TUploadQueue::Save() const {
    std::vector<std::string> lines;
    for (const TEntry& entry : m_entries)
        if (!entry.Unsaved)
            lines.push_back("replay " + entry.File + " " + std::to_string(entry.Attempts) + " " +
                            entry.Server);
    for (const TServerMark& refusal : m_refusals)
        lines.push_back("refused " + std::to_string(refusal.Time) + " " + refusal.Server);
    for (const TServerMark& hold : m_holds)
        lines.push_back("wait " + std::to_string(hold.Time) + " " + hold.Server);
    WriteSaveLines(PathOf(kListName), lines);
}

void TUploadQueue::KeepWithinBounds() {
    auto total = [this] {
        uint64_t bytes = 0;
        for (const TEntry& entry : m_entries)
            bytes += entry.Size;
        return bytes;
    };
    while (m_entries.size() > 1 && (m_entries.size() > kMaxEntries || total() > kMaxBytes))
        Remove(m_entries.front().File);
}
