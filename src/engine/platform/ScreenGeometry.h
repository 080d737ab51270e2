#pragma once

// Where the window and the picture go on the machine's screen, in screen or window pixels.

struct TScreenRect {
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
    bool operator==(const TScreenRect&) const = default;
};

// The picture scaled to the largest size of its own aspect that fits the target (a full-screen
// window), centred in it; what is left over are black bands on two opposite sides.
TScreenRect FitPicture(int targetW, int targetH, int pictureW, int pictureH);

// Where a window of this size opens in the usable part of a screen: centred, but with its top-left
// corner (where the title bar and the picture's top-left are) never outside it. A window larger than
// the area sticks out at the right and the bottom only.
TScreenRect PlaceWindow(const TScreenRect& area, int windowW, int windowH);

// The picture at the largest whole factor that fits the target, centred; where not even 1 × fits,
// the largest fit as FitPicture makes it.
TScreenRect SharpPicture(int targetW, int targetH, int pictureW, int pictureH);

// The largest whole factor at which a window of the picture, with its frame, fits the area (at
// least 1).
int LargestWholeScale(const TScreenRect& area, int pictureW, int pictureH);

// The whole factor a window opens at when the player has not chosen one: as large as keeps the
// window within about three fifths of the screen's height, so that on a large screen the picture is
// not a postage stamp and on a small one the window still leaves room around it.
int ReadableWholeScale(const TScreenRect& area, int pictureW, int pictureH);

// Where a window for a picture of this size opens in the usable part of a screen: at the picture's
// size when it fits, else scaled down to the largest size of the picture's aspect that does.
TScreenRect WindowFor(const TScreenRect& area, int pictureW, int pictureH);

// Tells the pointer's own moves from the window moving under it: only a change of the pointer's
// place on the screen is a move.
class TPointerTrack {
  public:
    // The pointer is at (x, y) on the screen now: true unless it was already there.
    bool Moved(int x, int y) {
        bool moved = !m_known || x != m_x || y != m_y;
        m_known = true;
        m_x = x;
        m_y = y;
        return moved;
    }

  private:
    bool m_known = false;
    int m_x = 0;
    int m_y = 0;
};
