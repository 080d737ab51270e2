#include "menus/SaveFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kTemporarySuffix = ".tmp";

bool NothingThere(int error) {
    return error == ENOENT || error == ENOTDIR;
}

std::string TemporaryName(const std::string& fileName) {
    return fileName + kTemporarySuffix;
}

// After the rename the new name lives in the folder's entries, which are flushed apart from the
// file's own data. Some file systems cannot sync a folder; the file is in place all the same, so
// that is no failure of the save.
void SyncFolder(const std::filesystem::path& target) {
    std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

bool SaveFileExists(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 || !NothingThere(errno);
}

TSaveFileReader::TSaveFileReader(const std::string& fileName, size_t bufferSize)
    : m_fileName(fileName), m_buffer(std::max<size_t>(bufferSize, 1)) {
    // Non-blocking, so that a pipe standing under the name cannot hang the start.
    m_fd = fileName.empty() ? -1 : ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        int error = errno;
        if (SaveFileExists(fileName)) {
            Fail(error);
        } else {
            m_missing = true;
        }
        return;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        Fail(errno);
    } else if (S_ISDIR(st.st_mode)) {
        Fail(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        m_error = "Cannot read \"" + m_fileName + "\": it is not a file";
        ::close(m_fd);
        m_fd = -1;
    }
}

TSaveFileReader::~TSaveFileReader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void TSaveFileReader::Fail(int error) {
    m_error = "Cannot read \"" + m_fileName + "\": " + std::strerror(error);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TSaveFileReader::Fill() {
    if (m_fd < 0) {
        return false;
    }
    ssize_t n;
    do {
        n = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        Fail(errno);
        return false;
    }
    m_pos = 0;
    m_end = static_cast<size_t>(n);
    return n > 0;
}

bool TSaveFileReader::ReadLine(std::string& line, size_t keep) {
    line.clear();
    bool any = false; // a byte of this line or its end has been seen
    for (;;) {
        if (m_pos == m_end && !Fill()) {
            return any && !Failed();
        }
        if (m_afterCr) {
            m_afterCr = false;
            if (m_buffer[m_pos] == '\n') {
                ++m_pos;
                continue;
            }
        }
        any = true;
        const char* begin = m_buffer.data() + m_pos;
        const char* end = m_buffer.data() + m_end;
        // memchr, as a damaged line may run for megabytes.
        const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(end - begin)));
        const auto* cr =
            static_cast<const char*>(std::memchr(begin, '\r', static_cast<size_t>((lf ? lf : end) - begin)));
        const char* lineEnd = cr ? cr : lf ? lf : end;
        size_t room = keep - line.size();
        line.append(begin, std::min(static_cast<size_t>(lineEnd - begin), room));
        if (lineEnd != end) {
            m_afterCr = *lineEnd == '\r';
            m_pos += static_cast<size_t>(lineEnd - begin) + 1;
            return true;
        }
        m_pos = m_end;
    }
}

void WriteSaveLines(const std::string& fileName, const std::vector<std::string>& lines) {
    namespace fs = std::filesystem;
    fs::path target(fileName);
    std::error_code ec;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }
    std::string content;
    for (const auto& line : lines) {
        content += line;
        content += "\r\n";
    }
    std::string temp = TemporaryName(fileName);
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        throw std::runtime_error("Cannot write \"" + fileName + "\": " + std::strerror(errno));
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    int savedErrno = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::remove(temp.c_str());
        throw std::runtime_error("Cannot write \"" + fileName + "\": " + std::strerror(savedErrno));
    }
    if (std::rename(temp.c_str(), fileName.c_str()) != 0) {
        savedErrno = errno;
        std::remove(temp.c_str());
        throw std::runtime_error("Cannot replace \"" + fileName + "\": " + std::strerror(savedErrno));
    }
    SyncFolder(target);
}

void RemoveStaleTemporary(const std::string& fileName) {
    // Only a plain file is ours; anything else of that name is left alone.
    std::string temp = TemporaryName(fileName);
    struct stat st {};
    if (::lstat(temp.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::unlink(temp.c_str());
    }
}

std::optional<long long> ParseSaveNumber(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    size_t start = i;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
        ++i;
    }
    size_t digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        ++i;
    }
    // A number runs up to a blank or the line's end: "12x" is not a number.
    if (i == digits || i - digits > 18 || (i < line.size() && line[i] != ' ' && line[i] != '\t')) {
        return std::nullopt;
    }
    return std::stoll(line.substr(start, i - start));
}
