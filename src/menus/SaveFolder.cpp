#include "menus/SaveFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kProbeName = ".write-test";
constexpr const char* kRejectedSuffix = ".rejected";
// Far more put-aside copies than anyone keeps; past it the oldest stay and the newest is not made.
constexpr int kMaxRejected = 100;

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}
} // namespace

TSaveFolder::~TSaveFolder() {
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // releases the lock
    }
}

TSaveFolder::TClaim TSaveFolder::Claim() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(m_path, ec);
    if (!fs::is_directory(m_path, ec)) {
        m_problem = "The save folder " + Quoted(m_path) + " cannot be made" +
                    (fs::exists(m_path, ec) ? ": a file of that name is in its place." : ".");
        return TClaim::Unwritable;
    }
    const std::string lock = m_path + "/" + kLockName;
    m_lockFd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_lockFd < 0) {
        // A folder that cannot be written may still hold a lock file another game made.
        m_lockFd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (m_lockFd >= 0 && ::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(m_lockFd);
        m_lockFd = -1;
        m_problem = "Another Spraydash game is running with its save files in " + Quoted(m_path) +
                    ". Two games on the same files would write over each other's high scores: "
                    "close the other game first.";
        return TClaim::InUse;
    }
    const std::string probe = m_path + "/" + kProbeName;
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool written = fd >= 0 && ::write(fd, "ok", 2) == 2;
    int error = errno;
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    if (!written) {
        m_problem =
            "The save folder " + Quoted(m_path) + " cannot be written (" + std::strerror(error) + ").";
        return TClaim::Unwritable;
    }
    return TClaim::Held;
}

namespace {
// Gives fileName the name target unless target is taken. 0, EEXIST, or what went wrong.
int MoveUnlessTaken(const std::string& fileName, const std::string& target) {
    // A hard link fails when the name is taken, so an earlier copy is never replaced.
    if (::link(fileName.c_str(), target.c_str()) == 0) {
        ::unlink(fileName.c_str());
        return 0;
    }
    int error = errno;
    if (error != EPERM && error != ENOTSUP) {
        return error;
    }
    // A file system without hard links: a rename, once the name is seen to be free.
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        return EEXIST;
    }
    return ::rename(fileName.c_str(), target.c_str()) == 0 ? 0 : errno;
}
} // namespace

std::string PutAside(const std::string& fileName, std::string& error) {
    for (int n = 1; n <= kMaxRejected; ++n) {
        std::string target = fileName + kRejectedSuffix + (n == 1 ? "" : "-" + std::to_string(n));
        int result = MoveUnlessTaken(fileName, target);
        if (result == 0) {
            return target;
        }
        if (result != EEXIST) {
            error =
                "Cannot keep " + Quoted(fileName) + " as " + Quoted(target) + ": " + std::strerror(result);
            return {};
        }
    }
    error = "Cannot keep " + Quoted(fileName) + ": " + std::to_string(kMaxRejected) +
            " earlier copies are already beside it";
    return {};
}
