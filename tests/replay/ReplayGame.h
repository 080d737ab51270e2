#pragma once

#include "app/GameFixture.h"
#include "app/ReplayVerify.h"

#include <filesystem>
#include <string>

// Helpers for the tests that play, keep and re-run races.
namespace replay_test {

inline TReplayCheckOptions Options(bool pictures) {
    TReplayCheckOptions options;
    options.DataDir = TGameFixture::GeneratedDataDir().string();
    options.Pictures = pictures;
    return options;
}

inline std::string ReadAll(const std::filesystem::path& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace replay_test
