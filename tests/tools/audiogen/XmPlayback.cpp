#include "XmPlayback.h"

#include <xmp.h>

namespace {
constexpr int Rate = 44100;
}

XmPlayback PlayXm(const std::vector<uint8_t>& bytes, double maxSeconds, bool keepAudio) {
    XmPlayback result;
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size())) != 0) {
        result.Error = "libxmp refused the module";
        xmp_free_context(ctx);
        return result;
    }
    result.Loaded = true;
    xmp_module_info info;
    xmp_get_module_info(ctx, &info);
    result.Channels = info.mod->chn;
    result.Orders = info.mod->len;
    result.RestartPosition = info.mod->rst;
    xmp_start_player(ctx, Rate, 0);
    xmp_frame_info frame;
    double endOfLastFrameMs = 0;
    while (xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &frame);
        if (frame.loop_count > 0) {
            result.WrapSeconds = endOfLastFrameMs / 1000.0;
            result.OrderAfterWrap = frame.pos;
            break;
        }
        if (frame.time > maxSeconds * 1000)
            break;
        endOfLastFrameMs = frame.time + frame.frame_time / 1000.0;
        if (keepAudio) {
            auto* pcm = static_cast<const int16_t*>(frame.buffer);
            for (int i = 0; i + 1 < frame.buffer_size / 2; i += 2)
                result.Mono.push_back(static_cast<int16_t>((pcm[i] + pcm[i + 1]) / 2));
            result.Stereo.insert(result.Stereo.end(), pcm, pcm + frame.buffer_size / 2);
        }
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return result;
}
