#pragma once

#include "engine/sprite/Sprite.h"

#include <cstdint>
#include <string>

class TMForm;

// A clickable button with an active and an inactive look (frames of menu-archive pictures).
class TMenuButton : public TImageSprite {
  public:
    TMenuButton(TMForm& form, std::string activeImageName, std::string inactiveImageName, int32_t activeFrame,
                int32_t inactiveFrame, int x, int y);

    void Step(int moveCount) override;
    void ShowActive();
    void ShowInactive();

    std::string ActiveImageName;
    std::string InactiveImageName;
    int32_t ActiveFrame;
    int32_t InactiveFrame;
    bool Highlighted = false;

  private:
    TMForm& m_form;
};

// A still picture: titles, panels, captions, the overlay window, the text cursor.
class TCaptionSprite : public TImageSprite {
  public:
    TCaptionSprite(TMForm& form, const std::string& imageName);

    void Step(int moveCount) override;
    // Always from the menu archive, whatever the screen; size and frame stay as they were.
    void SetImage(const std::string& imageName);

  private:
    TMForm& m_form;
};

// The full-screen background; during a race it scrolls with the boat.
class TScrollBackground : public TBackgroundSprite {
  public:
    TScrollBackground(TMForm& form, const std::string& imageName);

    void Step(int moveCount) override;

  private:
    TMForm& m_form;
};

// Mouse position to ActiveButton, on mouse moves only.
void HitTestButtons(TMForm& form);
void HitTestOverlayButtons(TMForm& form);
