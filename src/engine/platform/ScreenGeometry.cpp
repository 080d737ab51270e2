#include "engine/platform/ScreenGeometry.h"

#include <algorithm>
#include <cstdint>

TScreenRect FitPicture(int targetW, int targetH, int pictureW, int pictureH) {
    TScreenRect view;
    if (targetW <= 0 || targetH <= 0 || pictureW <= 0 || pictureH <= 0)
        return view;
    // Integer arithmetic: whichever side limits the scale comes out exact.
    if (static_cast<int64_t>(targetW) * pictureH <= static_cast<int64_t>(targetH) * pictureW) {
        view.W = targetW;
        view.H = static_cast<int>(static_cast<int64_t>(targetW) * pictureH / pictureW);
    } else {
        view.H = targetH;
        view.W = static_cast<int>(static_cast<int64_t>(targetH) * pictureW / pictureH);
    }
    view.W = std::max(view.W, 1);
    view.H = std::max(view.H, 1);
    view.X = (targetW - view.W) / 2;
    view.Y = (targetH - view.H) / 2;
    return view;
}

TScreenRect PlaceWindow(const TScreenRect& area, int windowW, int windowH) {
    return TScreenRect{area.X + std::max(0, (area.W - windowW) / 2),
                       area.Y + std::max(0, (area.H - windowH) / 2), windowW, windowH};
}

namespace {
// What a window manager's frame and title bar take, which the usable area does not leave out.
constexpr int kFrameAllowance = 80;
} // namespace

TScreenRect SharpPicture(int targetW, int targetH, int pictureW, int pictureH) {
    if (targetW <= 0 || targetH <= 0 || pictureW <= 0 || pictureH <= 0) {
        return TScreenRect{};
    }
    const int k = std::min(targetW / pictureW, targetH / pictureH);
    if (k < 1) {
        return FitPicture(targetW, targetH, pictureW, pictureH);
    }
    return TScreenRect{(targetW - k * pictureW) / 2, (targetH - k * pictureH) / 2, k * pictureW,
                       k * pictureH};
}

int LargestWholeScale(const TScreenRect& area, int pictureW, int pictureH) {
    if (area.W <= 0 || area.H <= 0 || pictureW <= 0 || pictureH <= 0) {
        return 1;
    }
    return std::max(1, std::min(area.W / pictureW, (area.H - kFrameAllowance) / pictureH));
}

int ReadableWholeScale(const TScreenRect& area, int pictureW, int pictureH) {
    if (pictureH <= 0) {
        return 1;
    }
    return std::clamp(area.H * 3 / 5 / pictureH, 1, LargestWholeScale(area, pictureW, pictureH));
}

TScreenRect WindowFor(const TScreenRect& area, int pictureW, int pictureH) {
    int w = pictureW;
    int h = pictureH;
    if (area.W > 0 && area.H > 0 && (pictureW > area.W || pictureH > area.H)) {
        const TScreenRect fit = FitPicture(area.W, std::max(1, area.H - kFrameAllowance), pictureW, pictureH);
        w = fit.W;
        h = fit.H;
    }
    return PlaceWindow(area, w, h);
}
