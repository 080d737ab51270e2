#pragma once

#include "engine/gfx/Rect.h"
#include "engine/gfx/Surface.h"

// Copies srcRect of src to (x, y) of dest, clipped to both surfaces; with transparent set,
// source pixels equal to src's colour key are skipped. A null src draws nothing.
void DrawSurface(TDirectDrawSurface& dest, int x, int y, const TRect& srcRect, const TDirectDrawSurface* src,
                 bool transparent);

// Draws srcRect of src scaled to width × height and turned by angle (1/256 of a full turn,
// clockwise on screen) so that the pivot (centerX × width, centerY × height) of the scaled
// picture lands on (x, y). Nearest sampling; clipped to dest.
void DrawSurfaceRotated(TDirectDrawSurface& dest, int x, int y, int width, int height, const TRect& srcRect,
                        const TDirectDrawSurface* src, double centerX, double centerY, bool transparent,
                        int angle);

// Fills rect (clipped to dest) with a raw pixel value.
void FillRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t pixel);

// Mixes colour into every pixel of rect (clipped to dest) by amount: 0 leaves the pixels, 255
// sets them; what lies beneath still shows through (a dimmed or tinted backdrop).
void ShadeRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t color, uint8_t amount);

// Mixes colour into dest through a coverage mask of width × height bytes (0 leaves a pixel,
// 255 sets it) placed with its top-left corner at (x, y), clipped to dest.
void DrawCoverage(TDirectDrawSurface& dest, int x, int y, const uint8_t* coverage, int width, int height,
                  uint16_t color);
