#pragma once

#include <functional>

class TDirectDrawSurface;
class TGameDraw;
class TGameSpriteEngine;

// The game's picture: 800 × 600 pixels, in the window or over the whole screen.
inline constexpr int kScreenWidth = 800;
inline constexpr int kScreenHeight = 600;
// A frame every 15 ms: the frame timer's interval, and the game time every clock counts down by
// each tick (TickMs).
inline constexpr int kFrameTickMs = 15;

// The picture every tick composes, the same way on every screen: fill the back surface with
// colour 0 (unless an opaque background covers it), move the sprite tree (unless the screen stands still),
// draw it in Z order, write text through the surface's canvas, release the canvas and flip.
class TFrame {
  public:
    TFrame(TGameDraw& draw, TGameSpriteEngine& sprites) : m_draw(draw), m_sprites(sprites) {}

    // Clears, optionally moves the sprite tree by lagCount, and draws it; false when the display
    // cannot draw this tick (nothing happened then).
    bool DrawFrame(int lagCount, bool move);
    // Releases the canvas and shows the back surface.
    void PresentFrame();
    bool CanDraw() const;
    // The back surface; null before the display is ready.
    TDirectDrawSurface* Surface();

    // A race re-run without a display still moves the sprites each frame: the race's logic
    // lives in their steps.
    bool MovesWithoutDisplay = false;
    // This frame is left out, the move with it, as it was when the display could not draw in the
    // recorded race.
    bool LeftOut = false;
    // Drawn over every frame just before it is shown, whatever the screen: the game's own marks
    // and notices (a watched replay, a volume changed).
    std::function<void()> BeforePresent;

  private:
    TGameDraw& m_draw;
    TGameSpriteEngine& m_sprites;
};
