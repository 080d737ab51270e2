#pragma once

#include "engine/sprite/Sprite.h"

#include <cstdint>
#include <functional>
#include <string>

class TGameContext;
struct TScreenState;
struct TTickView;

// A clickable button with an active and an inactive look (frames of menu-archive pictures).
class TMenuButton : public TImageSprite {
  public:
    TMenuButton(TGameContext& context, std::string activeImageName, std::string inactiveImageName,
                int32_t activeFrame, int32_t inactiveFrame, int x, int y);

    void Step(int moveCount) override;
    void ShowActive();
    void ShowInactive();

    std::string ActiveImageName;
    std::string InactiveImageName;
    int32_t ActiveFrame;
    int32_t InactiveFrame;
    bool Highlighted = false;

  private:
    TGameContext& m_context;
};

// A still picture: titles, panels, captions, the overlay window, the text cursor. Its picture
// comes from the race archive when it is made during a race, else from the menu archive.
class TCaptionSprite : public TImageSprite {
  public:
    TCaptionSprite(TGameContext& context, const std::string& imageName);

    void Step(int moveCount) override;
    // Always from the menu archive, whatever the screen; size and frame stay as they were.
    void SetImage(const std::string& imageName);

  private:
    TGameContext& m_context;
};

// The full-screen background; during a race it scrolls with the course.
class TScrollBackground : public TBackgroundSprite {
  public:
    TScrollBackground(TGameContext& context, const std::string& imageName);

    void Step(int moveCount) override;

    // Pixels the course scrolls this tick, asked at every step during a race; the race sets it
    // while it runs.
    std::function<double()> CourseScroll;

  private:
    TGameContext& m_context;
};

// Mouse position to ActiveButton, on mouse moves only.
void HitTestButtons(const TTickView& view, TScreenState& screen);
void HitTestOverlayButtons(const TTickView& view, TScreenState& screen);
