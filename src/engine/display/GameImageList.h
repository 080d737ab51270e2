#pragma once

#include "engine/gfx/ImageList.h"

class TGameDraw;

// The image-list component: a picture collection that follows a display's notifications,
// dropping its surfaces when the display finalizes and rebuilding them when it initializes.
class TGameImageList {
  public:
    explicit TGameImageList(TGameDraw* gameDraw = nullptr);
    ~TGameImageList();
    TGameImageList(const TGameImageList&) = delete;
    TGameImageList& operator=(const TGameImageList&) = delete;

    TGameDraw* GameDraw() const { return m_gameDraw; }
    void SetGameDraw(TGameDraw* gameDraw);

    TPictureCollection Items;

  private:
    TGameDraw* m_gameDraw = nullptr;
};
