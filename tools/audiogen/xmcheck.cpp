// spraydash-xmcheck: plays modules through libxmp without a sound card and reports what a listener
// would meet: load errors, order changes, the time until the module wraps, and the signal level.
//   spraydash-xmcheck FILE.xm... [--wav OUT.wav]   (--wav renders the first file's first pass)
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "WaveFile.h"

namespace {

constexpr int OutputRate = 44100;
constexpr int MaxSeconds = 600;

struct PassReport {
    bool Loaded = false;
    double Seconds = 0;
    double Rms = 0;
    int Peak = 0;
    double Sum[2] = {0, 0};    // per side, for the DC offset
    std::vector<int16_t> Left; // only when rendering
};

PassReport PlayOnePass(const std::string& path, bool keep) {
    PassReport report;
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module(ctx, const_cast<char*>(path.c_str())) != 0) {
        std::printf("%s: libxmp cannot load it\n", path.c_str());
        xmp_free_context(ctx);
        return report;
    }
    report.Loaded = true;
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    std::printf("%s: \"%s\" %s, %d channels, %d patterns, %d instruments, %d orders, restart %d\n",
                path.c_str(), info.mod->name, info.mod->type, info.mod->chn, info.mod->pat, info.mod->ins,
                info.mod->len, info.mod->rst);
    xmp_start_player(ctx, OutputRate, 0);
    xmp_frame_info frame;
    int lastPos = -1;
    double sum = 0;
    long count = 0;
    std::printf("  orders:");
    while (xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &frame);
        if (frame.loop_count > 0 || frame.time > MaxSeconds * 1000)
            break;
        if (frame.pos != lastPos) {
            std::printf(" %d@%.1fs", frame.pos, frame.time / 1000.0);
            lastPos = frame.pos;
        }
        auto* pcm = static_cast<const int16_t*>(frame.buffer);
        for (int i = 0; i < frame.buffer_size / 2; ++i) {
            sum += static_cast<double>(pcm[i]) * pcm[i];
            report.Sum[i % 2] += pcm[i];
            report.Peak = std::max(report.Peak, std::abs(static_cast<int>(pcm[i])));
            if (keep && i % 2 == 0)
                report.Left.push_back(static_cast<int16_t>((pcm[i] + pcm[i + 1]) / 2));
        }
        count += frame.buffer_size / 2;
        report.Seconds = (frame.time + frame.frame_time / 1000.0) / 1000.0;
    }
    report.Rms = count ? std::sqrt(sum / static_cast<double>(count)) : 0;
    const double perSide = count ? static_cast<double>(count) / 2 * 32768 : 1;
    std::printf("\n  wraps to order 0 after %.1f s; output peak %d (%.2f dBFS), rms %.0f (of 32767); "
                "DC left %+.6f, right %+.6f of full scale\n",
                report.Seconds, report.Peak, 20 * std::log10(std::max(report.Peak, 1) / 32768.0), report.Rms,
                report.Sum[0] / perSide, report.Sum[1] / perSide);
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return report;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    std::string wavOut;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--wav" && i + 1 < argc)
            wavOut = argv[++i];
        else
            files.push_back(arg);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: spraydash-xmcheck FILE.xm... [--wav OUT.wav]\n");
        return 2;
    }
    bool ok = true;
    for (size_t f = 0; f < files.size(); ++f) {
        auto report = PlayOnePass(files[f], f == 0 && !wavOut.empty());
        ok = ok && report.Loaded;
        if (f == 0 && !wavOut.empty() && report.Loaded) {
            auto bytes = audiogen::MakeWaveFile(report.Left, OutputRate);
            std::ofstream(wavOut, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
    }
    return ok ? 0 : 1;
}
