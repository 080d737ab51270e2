#pragma once

#include "engine/gfx/Rect.h"

#include <cstdint>

class TDirectDrawSurface;

// One drawing operation on a surface, with everything its result depends on: two operations
// that are Same draw the same pixels onto the same surface.
struct TDrawOp {
    enum class TKind : uint8_t { Fill, FillRect, Copy, Rotated, Coverage, Shade };
    TKind Kind = TKind::Fill;
    bool Transparent = false;
    uint16_t Pixel = 0; // Fill, FillRect: the value; Coverage, Shade: the colour
    uint8_t Amount = 0; // Shade: how far each pixel goes towards the colour, 0..255
    uint16_t Key = 0;   // the source's colour key
    const TDirectDrawSurface* Source = nullptr;
    uint64_t SourceStamp = 0; // the source's content (TDirectDrawSurface::Stamp)
    TRect Rect;               // FillRect, Shade: where; Copy, Rotated: the source rectangle
    int X = 0;
    int Y = 0;
    int Width = 0; // Rotated: the scaled size; Coverage: the mask's size
    int Height = 0;
    int Angle = 0;
    double CenterX = 0;
    double CenterY = 0;
    // Coverage: the mask, Width × Height bytes kept with the operation (where is the keeper's).
    uint32_t DataOffset = 0;
    uint32_t DataSize = 0;
    // The pixels it may change (DrawOpBounds), noted when it is recorded; empty for none.
    TRect Bounds;
};

// Same operation: equal fields, and for a coverage equal mask bytes.
bool SameDrawOp(const TDrawOp& a, const uint8_t* aData, const TDrawOp& b, const uint8_t* bData);

// Draws the operation onto dest now (the drawing primitives of Draw.h and Fill end here); data
// holds the mask of a coverage at its DataOffset. With clip, only the pixels inside it are drawn,
// and they come out as they would with the whole operation drawn.
void RunDrawOp(TDirectDrawSurface& dest, const TDrawOp& op, const uint8_t* data, const TRect* clip = nullptr);

// The pixels of dest the operation may change, clipped to dest; false when there are none.
bool DrawOpBounds(const TDirectDrawSurface& dest, const TDrawOp& op, TRect& bounds);
// The operation sets every pixel within its bounds, whatever lay there.
bool DrawOpOpaque(const TDrawOp& op);
