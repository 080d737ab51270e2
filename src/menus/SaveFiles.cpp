#include "menus/SaveFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

bool SaveFileExists(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    std::ifstream in(fileName, std::ios::binary);
    return in.is_open();
}

std::vector<std::string> ReadSaveLines(const std::string& fileName) {
    std::vector<std::string> lines;
    std::ifstream in(fileName, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
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
    std::string temp = fileName + ".tmp";
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
