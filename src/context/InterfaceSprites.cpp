#include "context/InterfaceSprites.h"

#include "context/Frame.h"
#include "context/GameContext.h"
#include "context/ScreenState.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"

namespace {
constexpr int kButtonZ = 4;
constexpr int kCaptionZ = 3;
constexpr int kBackgroundZ = 1;
// The background is a screen high: it wraps once it has scrolled a whole screen down.
constexpr double kScrollWrap = kScreenHeight;

TGameImageList& CaptionImages(TGameContext& context) {
    return context.TickView().GameScreen == gsRace ? context.MImageList3() : context.MImageList();
}

bool Contains(TSprite* sprite, int x, int y) {
    return sprite && y <= sprite->Y + sprite->Height && y >= sprite->Y && x <= sprite->X + sprite->Width &&
           x >= sprite->X;
}
} // namespace

TMenuButton::TMenuButton(TGameContext& context, std::string activeImageName, std::string inactiveImageName,
                         int32_t activeFrame, int32_t inactiveFrame, int x, int y)
    : TImageSprite(&context.MSpriteEngine().Engine()), ActiveImageName(std::move(activeImageName)),
      InactiveImageName(std::move(inactiveImageName)), ActiveFrame(activeFrame), InactiveFrame(inactiveFrame),
      m_context(context) {
    Image = &context.MImageList().Items.Find(InactiveImageName);
    Width = Image->Width();
    Height = Image->Height();
    FrameCount = Image->PatternCount();
    Looping = true;
    FrameSpeed = 0;
    FramePos = InactiveFrame;
    X = x;
    Y = y;
    SetZ(kButtonZ);
}

void TMenuButton::Step(int moveCount) {
    TImageSprite::Step(moveCount);
}

void TMenuButton::ShowActive() {
    Image = &m_context.MImageList().Items.Find(ActiveImageName);
    FramePos = ActiveFrame;
}

void TMenuButton::ShowInactive() {
    Image = &m_context.MImageList().Items.Find(InactiveImageName);
    FramePos = InactiveFrame;
}

TCaptionSprite::TCaptionSprite(TGameContext& context, const std::string& imageName)
    : TImageSprite(&context.MSpriteEngine().Engine()), m_context(context) {
    Image = &CaptionImages(context).Items.Find(imageName);
    Width = Image->Width();
    Height = Image->Height();
    FrameCount = Image->PatternCount();
    X = kScreenWidth / 2.0 - Width / 2.0;
    Y = kScreenHeight / 2.0 - Height / 2.0;
    SetZ(kCaptionZ);
    FramePos = 0;
    Looping = false;
    FrameSpeed = 0;
}

void TCaptionSprite::Step(int moveCount) {
    TImageSprite::Step(moveCount);
}

void TCaptionSprite::SetImage(const std::string& imageName) {
    Image = &m_context.MImageList().Items.Find(imageName);
}

TScrollBackground::TScrollBackground(TGameContext& context, const std::string& imageName)
    : TBackgroundSprite(&context.MSpriteEngine().Engine()), m_context(context) {
    ResizeMap(1, 1);
    SetCell(0, 0, 0);
    Image = &CaptionImages(context).Items.Find(imageName);
    X = 0;
    Y = 0;
    SetZ(kBackgroundZ);
    Tiled = true;
}

void TScrollBackground::Step(int moveCount) {
    TBackgroundSprite::Step(moveCount);
    if (m_context.TickView().GameScreen == gsRace && CourseScroll) {
        Y += CourseScroll();
        if (Y > kScrollWrap) {
            Y -= kScrollWrap;
        }
    }
}

void HitTestButtons(const TTickView& view, TScreenState& s) {
    for (int32_t i = 1; i <= s.ButtonCount; ++i) {
        if (Contains(s.ScreenSprites.Button(i), view.MouseX, view.MouseY)) {
            s.ActiveButton = i;
            return;
        }
    }
}

void HitTestOverlayButtons(const TTickView& view, TScreenState& s) {
    s.ActiveButton = ScreenSlot::NoButton;
    if (!HasYesNoButtons(view.MessageMode)) {
        return;
    }
    for (int32_t i = s.FirstButton; i <= s.LastButton; ++i) {
        if (Contains(s.ScreenSprites.Button(i), view.MouseX, view.MouseY)) {
            s.ActiveButton = i;
            return;
        }
    }
}
