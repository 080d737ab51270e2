#include "replay/ReplayFiles.h"

#include "replay/Replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace {
constexpr const char* kTemporarySuffix = ".tmp";

std::string Reason(int error) {
    return std::strerror(error);
}

class TFd {
  public:
    explicit TFd(int fd) : m_fd(fd) {}
    ~TFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};
} // namespace

std::string TableReplayName(const std::string& entryName, int32_t entryScore) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = std::to_string(entryScore) + "-";
    for (char c : entryName) {
        const auto b = static_cast<unsigned char>(c);
        name += kHex[b >> 4U];
        name += kHex[b & 0x0FU];
    }
    return name + kReplayExtension;
}

std::string ReadReplayFile(const std::string& path) {
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        throw EReplayError("\"" + path + "\" cannot be opened: " + Reason(errno));
    std::string bytes;
    char buffer[16384];
    while (bytes.size() <= TReplay::kMaxFileBytes) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EReplayError("\"" + path + "\" cannot be read: " + Reason(errno));
        }
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    throw EReplayError("\"" + path + "\": oversized: more than " + std::to_string(TReplay::kMaxFileBytes) +
                       " bytes, more than any replay");
}

void WriteReplayFile(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string temporary = path + kTemporarySuffix;
    auto fail = [&](const std::string& what, int error) {
        ::unlink(temporary.c_str());
        throw std::runtime_error("\"" + path + "\" cannot be written: " + what + ": " + Reason(error));
    };
    TFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() < 0)
        fail("create", errno);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("write", n < 0 ? errno : EIO);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.Get()) != 0)
        fail("sync", errno);
    if (::close(fd.Release()) != 0)
        fail("close", errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        fail("rename", errno);
    TFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

void PruneTableReplays(const std::string& folder, const std::vector<std::string>& keep) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return;
    std::vector<fs::path> spent;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        const bool temporary = name.size() > std::strlen(kTemporarySuffix) &&
                               name.ends_with(std::string(kReplayExtension) + kTemporarySuffix);
        const bool replay = name.ends_with(kReplayExtension) && name != kLastRaceReplay &&
                            std::find(keep.begin(), keep.end(), name) == keep.end();
        if (temporary || replay)
            spent.push_back(entry.path());
    }
    for (const fs::path& p : spent)
        fs::remove(p, ec);
}
