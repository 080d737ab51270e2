#pragma once

#include <functional>
#include <utility>

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
    // Drawn over every frame just before it is shown, whatever the screen: a short notice of the
    // game's own (a volume changed).
    void SetOverlay(std::function<void()> draw) { m_overlay = std::move(draw); }
    bool CanDraw() const;
    // The back surface; null before the display is ready.
    TDirectDrawSurface* Surface();

  private:
    TGameDraw& m_draw;
    TGameSpriteEngine& m_sprites;
    std::function<void()> m_overlay;
};
