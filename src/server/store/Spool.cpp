#include "server/store/Spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <vector>

namespace {

// A record: "SDS1", the payload's length and checksum (4 bytes each, little-endian), the payload.
// A record cut short or failing its checksum ends the file (a write the crash interrupted, never
// answered 200).
constexpr char kMagic[4] = {'S', 'D', 'S', '1'};
// The file's head: "SDSH", the owner's length (4 bytes), the owner.
constexpr char kHeadMagic[4] = {'S', 'D', 'S', 'H'};
constexpr std::size_t kRecordHead = 12;
constexpr std::uint32_t kMaxPayload = 1 << 20;

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}
void PutU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}
void PutText(std::string& out, const std::string& text) {
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class TBytes {
  public:
    explicit TBytes(std::string_view data) : m_data(data) {}
    bool U32(std::uint32_t& v) {
        if (m_at + 4 > m_data.size())
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_data[m_at + i])) << (8 * i);
        m_at += 4;
        return true;
    }
    bool U64(std::uint64_t& v) {
        std::uint32_t low = 0, high = 0;
        if (!U32(low) || !U32(high))
            return false;
        v = static_cast<std::uint64_t>(high) << 32 | low;
        return true;
    }
    bool Text(std::string& text) {
        std::uint32_t size = 0;
        if (!U32(size) || m_at + size > m_data.size())
            return false;
        text.assign(m_data.substr(m_at, size));
        m_at += size;
        return true;
    }
    bool Done() const { return m_at == m_data.size(); }

  private:
    std::string_view m_data;
    std::size_t m_at = 0;
};

std::uint32_t Checksum(std::string_view data) {
    std::uint32_t h = 2166136261u;
    for (char c : data) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

std::string Encode(const TNewScore& s) {
    std::string payload;
    PutText(payload, s.Name);
    PutU32(payload, static_cast<std::uint32_t>(s.Score));
    PutText(payload, s.Crew);
    PutU64(payload, static_cast<std::uint64_t>(s.Received));
    PutText(payload, s.Client);
    PutU64(payload, s.Digest);
    PutU32(payload, static_cast<std::uint32_t>(s.State));
    PutU64(payload, static_cast<std::uint64_t>(s.ResendSince));
    std::string record(kMagic, sizeof kMagic);
    PutU32(record, static_cast<std::uint32_t>(payload.size()));
    PutU32(record, Checksum(payload));
    return record + payload;
}

bool Decode(std::string_view payload, TNewScore& s) {
    TBytes in(payload);
    std::uint32_t score = 0, state = 0;
    std::uint64_t received = 0, since = 0;
    if (!in.Text(s.Name) || !in.U32(score) || !in.Text(s.Crew) || !in.U64(received) || !in.Text(s.Client) ||
        !in.U64(s.Digest) || !in.U32(state) || !in.U64(since) || !in.Done() || state > 2)
        return false;
    s.Score = static_cast<std::int32_t>(score);
    s.Received = static_cast<std::int64_t>(received);
    s.State = static_cast<TEntryState>(state);
    s.ResendSince = static_cast<std::int64_t>(since);
    return true;
}

std::string ReadFrom(int fd, off_t from) {
    std::string data;
    char buffer[65536];
    ::lseek(fd, from, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, static_cast<std::size_t>(n));
    return data;
}

// Every whole record after the head, and where the last one ends.
std::vector<TNewScore> ReadRecords(int fd, off_t headSize, off_t& end) {
    std::vector<TNewScore> scores;
    std::string data = ReadFrom(fd, headSize);
    std::size_t at = 0;
    while (at + kRecordHead <= data.size() && std::memcmp(data.data() + at, kMagic, sizeof kMagic) == 0) {
        TBytes head(std::string_view(data).substr(at + 4, 8));
        std::uint32_t size = 0, sum = 0;
        head.U32(size);
        head.U32(sum);
        if (size > kMaxPayload || at + kRecordHead + size > data.size())
            break;
        std::string_view payload(data.data() + at + kRecordHead, size);
        TNewScore s;
        if (Checksum(payload) != sum || !Decode(payload, s))
            break;
        scores.push_back(std::move(s));
        at += kRecordHead + size;
    }
    end = headSize + static_cast<off_t>(at);
    return scores;
}

} // namespace

TSpool::TSpool(TSpoolOptions options, IScoreStore& store) : m_options(std::move(options)), m_store(store) {
    m_fd = ::open(m_options.Path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        throw EStoreError(m_options.Path + ": cannot open the spool: " + std::strerror(errno));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(m_fd);
        m_fd = -1;
        throw EStoreError(m_options.Path + ": the spool is " +
                          (error == EWOULDBLOCK ? std::string("held by another server")
                                                : std::string("not lockable: ") + std::strerror(error)));
    }
    std::string head = ReadFrom(m_fd, 0).substr(0, 8 + m_options.Owner.size() + 4096);
    std::string expected(kHeadMagic, sizeof kHeadMagic);
    PutU32(expected, static_cast<std::uint32_t>(m_options.Owner.size()));
    expected += m_options.Owner;
    m_headSize = static_cast<off_t>(expected.size());
    if (head.empty()) {
        if (::write(m_fd, expected.data(), expected.size()) != static_cast<ssize_t>(expected.size()) ||
            ::fdatasync(m_fd) != 0)
            throw EStoreError(m_options.Path + ": cannot write the spool: " + std::strerror(errno));
    } else if (head.compare(0, expected.size(), expected) != 0) {
        std::string owner = "something else";
        TBytes in(std::string_view(head).substr(std::min<std::size_t>(4, head.size())));
        if (head.compare(0, 4, kHeadMagic, 4) == 0 && in.Text(owner))
            owner = "the database " + owner;
        ::close(m_fd);
        m_fd = -1;
        throw EStoreError(m_options.Path + ": the spool holds results for " + owner +
                          "; start a server on that database to store them, or move the file away");
    }
    off_t end = 0;
    m_held = ReadRecords(m_fd, m_headSize, end).size();
    // A record cut short by a crash was never acknowledged: it goes, so appends follow whole ones.
    if (::ftruncate(m_fd, end) != 0 || ::lseek(m_fd, end, SEEK_SET) < 0)
        throw EStoreError(m_options.Path + ": cannot tidy the spool: " + std::strerror(errno));
    m_thread = std::thread([this] { Run(); });
}

void TSpool::Stop() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

TSpool::~TSpool() {
    Stop();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TSpool::Keep(const TNewScore& score) {
    std::string record = Encode(score);
    {
        std::lock_guard lock(m_fileMutex);
        if (m_held.load() >= m_options.MaxEntries)
            return false;
        off_t end = ::lseek(m_fd, 0, SEEK_END);
        std::size_t written = 0;
        while (written < record.size()) {
            ssize_t n = ::write(m_fd, record.data() + written, record.size() - written);
            if (n <= 0) {
                m_log.Write(m_options.Path + ": writing to the spool failed: " + std::strerror(errno));
                if (::ftruncate(m_fd, end) != 0) {
                    // The next reading stops at the broken record; nothing acknowledged is behind it.
                }
                return false;
            }
            written += static_cast<std::size_t>(n);
        }
        if (::fdatasync(m_fd) != 0) {
            m_log.Write(m_options.Path + ": syncing the spool failed: " + std::strerror(errno));
            if (::ftruncate(m_fd, end) != 0) {
            }
            return false;
        }
        ++m_held;
    }
    m_wake.notify_all();
    return true;
}

void TSpool::Run() {
    std::unique_lock lock(m_wakeMutex);
    while (!m_stopping) {
        m_wake.wait_for(lock, m_options.RetryInterval);
        if (m_stopping || m_held.load() == 0)
            continue;
        lock.unlock();
        if (m_store.Healthy())
            HandOver();
        lock.lock();
    }
}

bool TSpool::HandOver() {
    off_t end = 0;
    std::vector<TNewScore> scores;
    {
        std::lock_guard file(m_fileMutex);
        scores = ReadRecords(m_fd, m_headSize, end);
        ::lseek(m_fd, 0, SEEK_END);
    }
    // Not under the file's lock: the store answers on its writer thread, which may meanwhile be
    // keeping another result here.
    std::vector<std::future<TSubmitOutcome>> outcomes;
    outcomes.reserve(scores.size());
    for (TNewScore& s : scores) {
        auto done = std::make_shared<std::promise<TSubmitOutcome>>();
        outcomes.push_back(done->get_future());
        m_store.Submit(std::move(s), [done](TSubmitOutcome outcome) { done->set_value(outcome); });
    }
    bool all = true;
    for (auto& outcome : outcomes)
        all = outcome.get() != TSubmitOutcome::Failed && all;
    if (!all) {
        // Kept whole for the next try; those stored meanwhile are then recognised as resends.
        m_log.Write(m_options.Path + ": the store refused results from the spool; trying again shortly");
        return false;
    }
    std::lock_guard file(m_fileMutex);
    if (::lseek(m_fd, 0, SEEK_END) != end)
        return false; // more came meanwhile: the next round hands over all (the stored ones as resends)
    if (::ftruncate(m_fd, m_headSize) != 0 || ::fdatasync(m_fd) != 0 || ::lseek(m_fd, 0, SEEK_END) < 0) {
        m_log.Write(m_options.Path + ": emptying the spool failed: " + std::strerror(errno));
        return false;
    }
    m_handedOver += scores.size();
    m_held = 0;
    Log(TLogLevel::Info, m_options.Path + ": " + std::to_string(scores.size()) +
                             " results kept during the outage are now in the database");
    return true;
}
