#pragma once

#include "engine/gfx/Rect.h"

#include <memory>
#include <stdexcept>
#include <vector>

class TDirectDrawSurface;
class TGameDraw;
class TPictureCollectionItem;
class TSpriteEngine;

class ESpriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A node of the sprite tree. Sprites are created with their parent (normally the root
// engine) and freed explicitly with delete, which detaches them; freeing a sprite frees its
// remaining children. Never free a sprite from inside Step, Render or Collide.
class TSprite {
  public:
    explicit TSprite(TSprite* parent);
    virtual ~TSprite();
    TSprite(const TSprite&) = delete;
    TSprite& operator=(const TSprite&) = delete;

    // Hooks for game sprites.
    virtual void Collide(TSprite* other, bool& done);
    virtual void Render();
    virtual void Step(int moveCount);
    virtual TRect GetBounds() const;
    virtual bool Touches(TSprite* other);

    // Steps this sprite and its movable descendants, children in insertion order.
    void Move(int moveCount);
    // Renders this sprite (when on screen) and its visible descendants, ascending Z.
    void Draw();
    // Scans the whole tree for sprites overlapping this one, calling Collide for each; returns the hits.
    int CheckCollisions();
    // Frees all children, last first.
    void Clear();

    int Z() const { return m_z; }
    void SetZ(int value);

    double AbsX() const;
    double AbsY() const;

    int ChildCount() const { return static_cast<int>(m_children.size()); }
    // Children in insertion order; raises for an index out of range.
    TSprite* Child(int index) const;

    TSpriteEngine* Engine() const { return m_engine; }
    TSprite* Parent() const { return m_parent; }

    bool Collidable = true; // false also hides the descendants from scans
    bool Movable = true;    // false also freezes the descendants
    bool Visible = true;    // false also hides the descendants
    double X = 0;           // top-left corner relative to the parent
    double Y = 0;
    int Width = 0;
    int Height = 0;

  private:
    friend class TSpriteEngine;
    void Add(TSprite* child);
    void Remove(TSprite* child);
    void InsertDrawOrder(TSprite* child);
    void Scan(TSprite* target);

    TSprite* m_parent = nullptr;
    TSpriteEngine* m_engine = nullptr;
    int m_z = 0;
    std::vector<TSprite*> m_children;  // owned: freed by Clear and the destructor
    std::vector<TSprite*> m_drawOrder; // the same children, ascending Z
};

// A sprite showing one pattern of a picture; the patterns are its animation frames.
class TImageSprite : public TSprite {
  public:
    explicit TImageSprite(TSprite* parent);

    void Render() override;
    void Step(int moveCount) override;

    int CurrentFrame() const;
    // The sprite's box with the picture centred in it.
    TRect DrawRect() const;

    TPictureCollectionItem* Image = nullptr; // not owned
    int FrameCount = 0;
    bool Looping = false;
    double FramePos = 0;
    double FrameSpeed = 0; // frames per unit of move count
    int FirstFrame = 0;    // pattern shown for frame 0
};

// A map of picture patterns; tiled, it repeats endlessly over the whole surface.
class TBackgroundSprite : public TSprite {
  public:
    explicit TBackgroundSprite(TSprite* parent);

    void Render() override;
    TRect GetBounds() const override;

    // Drawn tiled with opaque patterns in every cell, it paints every pixel of the viewport.
    bool CoversViewport() const;

    void ResizeMap(int cols, int rows);
    int MapCols() const { return m_mapCols; }
    int MapRows() const { return m_mapRows; }
    // -1 outside the map; a negative cell draws nothing.
    int Cell(int col, int row) const;
    void SetCell(int col, int row, int value); // ignored outside the map

    TPictureCollectionItem* Image = nullptr; // not owned
    bool Tiled = false;

  private:
    int m_mapCols = 0;
    int m_mapRows = 0;
    std::vector<int> m_cells; // row-major
};

// The root of a sprite tree; knows the surface sprites are drawn on.
class TSpriteEngine : public TSprite {
  public:
    TSpriteEngine();

    TDirectDrawSurface* Surface() const { return m_surface; }
    void SetSurface(TDirectDrawSurface* surface);
    // Drawing the tree paints every pixel of the viewport: a visible background under the root
    // covers it, so what lay on the surface before cannot show through.
    bool DrawCoversViewport() const;
    const TRect& Viewport() const { return m_viewport; }

  private:
    friend class TSprite;
    TDirectDrawSurface* m_surface = nullptr;
    TRect m_viewport;
    // State of the one running CheckCollisions.
    TSprite* m_scanSprite = nullptr;
    TRect m_scanRect;
    int m_hitCount = 0;
    bool m_done = false;
};

// The sprite-engine component: owns the root and follows a display, drawing only while
// the display is initialized.
class TGameSpriteEngine {
  public:
    explicit TGameSpriteEngine(TGameDraw* gameDraw = nullptr);
    ~TGameSpriteEngine();
    TGameSpriteEngine(const TGameSpriteEngine&) = delete;
    TGameSpriteEngine& operator=(const TGameSpriteEngine&) = delete;

    TSpriteEngine& Engine() { return *m_engine; }
    TGameDraw* GameDraw() const { return m_gameDraw; }
    void SetGameDraw(TGameDraw* gameDraw);

    void Move(int moveCount);
    void Draw();

  private:
    std::unique_ptr<TSpriteEngine> m_engine;
    TGameDraw* m_gameDraw = nullptr;
};
