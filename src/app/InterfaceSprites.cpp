#include "app/InterfaceSprites.h"

#include "app/MForm.h"
#include "engine/gfx/ImageList.h"
#include "race/Race.h"

namespace {
constexpr int kDisplayWidth = 800;
constexpr int kDisplayHeight = 600;
constexpr int kButtonZ = 4;
constexpr int kCaptionZ = 3;
constexpr int kBackgroundZ = 1;
constexpr double kScrollWrap = 600;

TGameImageList& CaptionImages(TMForm& form) {
    return form.Shell.GameScreen == gsRace ? form.MImageList3() : form.MImageList();
}

bool Contains(TSprite* sprite, int x, int y) {
    return sprite && y <= sprite->Y + sprite->Height && y >= sprite->Y && x <= sprite->X + sprite->Width &&
           x >= sprite->X;
}
} // namespace

TMenuButton::TMenuButton(TMForm& form, std::string activeImageName, std::string inactiveImageName,
                         int32_t activeFrame, int32_t inactiveFrame, int x, int y)
    : TImageSprite(&form.MSpriteEngine().Engine()), ActiveImageName(std::move(activeImageName)),
      InactiveImageName(std::move(inactiveImageName)), ActiveFrame(activeFrame), InactiveFrame(inactiveFrame),
      m_form(form) {
    Image = &form.MImageList().Items.Find(InactiveImageName);
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
    Image = &m_form.MImageList().Items.Find(ActiveImageName);
    FramePos = ActiveFrame;
}

void TMenuButton::ShowInactive() {
    Image = &m_form.MImageList().Items.Find(InactiveImageName);
    FramePos = InactiveFrame;
}

TCaptionSprite::TCaptionSprite(TMForm& form, const std::string& imageName)
    : TImageSprite(&form.MSpriteEngine().Engine()), m_form(form) {
    Image = &CaptionImages(form).Items.Find(imageName);
    Width = Image->Width();
    Height = Image->Height();
    FrameCount = Image->PatternCount();
    X = kDisplayWidth / 2.0 - Width / 2.0;
    Y = kDisplayHeight / 2.0 - Height / 2.0;
    SetZ(kCaptionZ);
    FramePos = 0;
    Looping = false;
    FrameSpeed = 0;
}

void TCaptionSprite::Step(int moveCount) {
    TImageSprite::Step(moveCount);
}

void TCaptionSprite::SetImage(const std::string& imageName) {
    Image = &m_form.MImageList().Items.Find(imageName);
}

TScrollBackground::TScrollBackground(TMForm& form, const std::string& imageName)
    : TBackgroundSprite(&form.MSpriteEngine().Engine()), m_form(form) {
    ResizeMap(1, 1);
    SetCell(0, 0, 0);
    Image = &CaptionImages(form).Items.Find(imageName);
    X = 0;
    Y = 0;
    SetZ(kBackgroundZ);
    Tiled = true;
}

void TScrollBackground::Step(int moveCount) {
    TBackgroundSprite::Step(moveCount);
    if (m_form.Shell.GameScreen == gsRace) {
        Y += m_form.Race().ScrollStep();
        if (Y > kScrollWrap) {
            Y -= kScrollWrap;
        }
    }
}

void HitTestButtons(TMForm& form) {
    auto& s = form.Screen;
    for (int i = 1; i <= s.ButtonCount && i < TScreenState::kSlotCount; ++i) {
        if (Contains(s.ScreenSprites[i], form.Shell.MouseX, form.Shell.MouseY)) {
            s.ActiveButton = i;
            return;
        }
    }
}

void HitTestOverlayButtons(TMForm& form) {
    auto& s = form.Screen;
    s.ActiveButton = 0;
    uint8_t mode = form.Shell.MessageMode;
    bool hasButtons =
        mode == msgFinishRace || mode == msgSendResult || mode == msgExitGame || mode == msgClearTable;
    if (!hasButtons) {
        return;
    }
    for (int i = s.FirstButton; i <= s.LastButton && i < TScreenState::kSlotCount; ++i) {
        if (i >= 1 && Contains(s.ScreenSprites[i], form.Shell.MouseX, form.Shell.MouseY)) {
            s.ActiveButton = i;
            return;
        }
    }
}
