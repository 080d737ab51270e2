#include "app/ReplayVerify.h"

#include "app/MForm.h"
#include "app/RaceReplays.h"
#include "context/Frame.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/Cp1252.h"
#include "engine/platform/HeadlessPlatform.h"
#include "race/Race.h"
#include "race/RaceData.h"

#include <cstdio>

namespace {
std::string JsonText(std::string_view cp1252) {
    std::string out = "\"";
    for (char c : Cp1252ToUtf8(cp1252)) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonOptionalText(const std::optional<std::string>& text) {
    return text ? JsonText(*text) : "null";
}

const char* EndName(TRaceEnd end) {
    return end == TRaceEnd::GameOver ? "game over" : "finished";
}

std::string JsonResult(const TRaceResult& r) {
    return "{\"score\":" + std::to_string(r.Score) + ",\"level\":" + std::to_string(r.Level) +
           ",\"lives\":" + std::to_string(r.Lives) + ",\"ticks\":" + std::to_string(r.Ticks) + ",\"end\":\"" +
           EndName(r.End) + "\"}";
}

std::string Hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string MismatchOf(const TReplayVerdict& v) {
    const TReplay& replay = v.Replay;
    if (!v.Reproduced)
        return "the race does not end within the replay's " + std::to_string(replay.TickCount()) + " ticks";
    if (v.Reproduced->Ticks != replay.TickCount())
        return "the race ends after " + std::to_string(v.Reproduced->Ticks) + " ticks, the replay holds " +
               std::to_string(replay.TickCount());
    if (!replay.Claim)
        return "the replay claims no result";
    const TRaceResult& claim = *replay.Claim;
    const TRaceResult& got = *v.Reproduced;
    if (got.Score != claim.Score)
        return "score " + std::to_string(got.Score) + ", claimed " + std::to_string(claim.Score);
    if (got.Level != claim.Level)
        return "level " + std::to_string(got.Level) + ", claimed " + std::to_string(claim.Level);
    if (got.Lives != claim.Lives)
        return "lives " + std::to_string(got.Lives) + ", claimed " + std::to_string(claim.Lives);
    if (got.Ticks != claim.Ticks)
        return "ticks " + std::to_string(got.Ticks) + ", claimed " + std::to_string(claim.Ticks);
    if (got.End != claim.End)
        return std::string("the race ends by ") + EndName(got.End) + ", claimed " + EndName(claim.End);
    if (v.PictureChecksum && replay.PictureChecksum && *v.PictureChecksum != *replay.PictureChecksum)
        return "the last picture differs (" + Hex(*v.PictureChecksum, 8) + ", recorded " +
               Hex(*replay.PictureChecksum, 8) + ")";
    return {};
}
} // namespace

TReplayVerdict VerifyReplay(std::string_view bytes, const TReplayCheckOptions& options) {
    TReplayVerdict verdict;
    verdict.Replay = TReplay::Decode(bytes);
    if (options.MaxTicks != 0 && verdict.Replay.TickCount() > options.MaxTicks) {
        verdict.Capped = true;
        verdict.Mismatch = "the replay holds " + std::to_string(verdict.Replay.TickCount()) +
                           " ticks, more than the " + std::to_string(options.MaxTicks) + " re-run here";
        return verdict;
    }
    THeadlessPlatform platform;
    if (options.Pictures) {
        std::string error;
        platform.OpenWindow(kGameTitle, kScreenWidth, kScreenHeight, error);
    }
    TFormConfig config;
    config.DataDir = options.DataDir;
    TMForm form(platform, config);
    form.StartReplayRun(verdict.Replay, options.Pictures);
    // The clock is read every so many ticks only: a tick takes microseconds.
    constexpr uint32_t kTicksPerClockRead = 256;
    uint32_t ticks = 0;
    while (!form.ReplayRunOver()) {
        form.ReplayRunTick();
        if (options.AfterTick && form.Race().SpritesBuilt())
            options.AfterTick(form.Race());
        if (options.Deadline && ++ticks % kTicksPerClockRead == 0 &&
            std::chrono::steady_clock::now() > *options.Deadline) {
            verdict.Capped = true;
            verdict.TicksRun = form.Player()->TicksRun();
            verdict.Mismatch = "the re-run was stopped after " + std::to_string(verdict.TicksRun) +
                               " ticks: it took longer than the time allowed";
            return verdict;
        }
    }
    const TReplayPlayer& player = *form.Player();
    verdict.Reproduced = player.Result();
    verdict.TicksRun = verdict.Reproduced ? verdict.Reproduced->Ticks : player.TicksRun();
    if (options.Pictures)
        verdict.PictureChecksum = player.PictureChecksum();
    verdict.Mismatch = MismatchOf(verdict);
    verdict.Matches = verdict.Mismatch.empty();
    return verdict;
}

std::string VerdictJson(const TReplayVerdict& v) {
    const TReplay& replay = v.Replay;
    std::string json = "{";
    if (v.Reproduced) {
        json += "\"score\":" + std::to_string(v.Reproduced->Score) +
                ",\"level\":" + std::to_string(v.Reproduced->Level) +
                ",\"lives\":" + std::to_string(v.Reproduced->Lives) +
                ",\"ticks\":" + std::to_string(v.Reproduced->Ticks) + ",\"end\":\"" +
                EndName(v.Reproduced->End) + "\"";
    } else {
        json += "\"score\":null,\"level\":null,\"lives\":null,\"ticks\":" + std::to_string(v.TicksRun) +
                ",\"end\":null";
    }
    json += ",\"name\":" + JsonOptionalText(replay.Name);
    json += ",\"crew\":" + JsonOptionalText(replay.Crew);
    json += ",\"boat\":" + std::to_string(replay.Boat);
    json += ",\"data_hash\":\"" + Hex(replay.DataHash, 16) + "\"";
    json += ",\"game_version\":" + JsonText(replay.GameVersion);
    if (v.PictureChecksum)
        json += ",\"picture\":\"" + Hex(*v.PictureChecksum, 8) + "\"";
    json += ",\"claimed\":" + (replay.Claim ? JsonResult(*replay.Claim) : std::string("null"));
    json += std::string(",\"match\":") + (v.Matches ? "true" : "false");
    if (!v.Matches)
        json += ",\"reason\":" + JsonText(v.Mismatch);
    return json + "}";
}

TRaceBuild RaceBuildOf(const std::string& dataDir) {
    const std::string path = dataDir + "/Res/Res3.dxg";
    TGameImageList pictures;
    try {
        pictures.Items.LoadFromFile(path);
    } catch (const std::exception& e) {
        const std::string what = e.what();
        throw std::runtime_error(what.find(path) != std::string::npos ? what : "\"" + path + "\": " + what);
    }
    return {SPRAYDASH_VERSION, RaceOutcomeDataHash(pictures.Items)};
}
