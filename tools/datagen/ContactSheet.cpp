#include "ContactSheet.h"

#include "CairoPtr.h"
#include "PictureBuilder.h"
#include "PngFile.h"
#include "PreviewCanvas.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace datagen {

namespace {

constexpr int kMargin = 12;
constexpr int kLabelHeight = 30;
constexpr int kGap = 2; // between patterns, where the grid line runs
constexpr int kMinSheetWidth = 1200;

struct Cell {
    const TImageArchiveItem* Item;
    int Columns, Rows, PatternW, PatternH;
    int Width, Height; // drawn size including gaps and label
    int X = 0, Y = 0;
};

Cell Measure(const TImageArchiveItem& item) {
    const int w = item.Picture->Width, h = item.Picture->Height;
    Cell c{&item, 1, 1, w, h, 0, 0};
    if (item.PatternWidth > 0) {
        c.PatternW = item.PatternWidth;
        c.PatternH = item.PatternHeight;
        c.Columns = std::max(1, (w + item.SkipWidth) / (c.PatternW + item.SkipWidth));
        c.Rows = std::max(1, (h + item.SkipHeight) / (c.PatternH + item.SkipHeight));
    }
    c.Width = std::max(c.Columns * c.PatternW + (c.Columns - 1) * kGap, 180);
    c.Height = c.Rows * c.PatternH + (c.Rows - 1) * kGap + kLabelHeight;
    return c;
}

void Checkerboard(cairo_t* cr, double x, double y, double w, double h) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    for (int ty = 0; ty * 8 < h; ++ty)
        for (int tx = 0; tx * 8 < w; ++tx) {
            double v = ((tx + ty) % 2) ? 0.78 : 0.9;
            cairo_set_source_rgb(cr, v, v, v);
            cairo_rectangle(cr, x + tx * 8, y + ty * 8, 8, 8);
            cairo_fill(cr);
        }
    cairo_restore(cr);
}

} // namespace

void WriteContactSheet(const std::filesystem::path& file, const std::vector<TImageArchiveItem>& items) {
    std::vector<Cell> cells;
    int widest = 0;
    for (const auto& item : items)
        if (item.Picture && item.Picture->Width > 0 && item.Picture->Height > 0) {
            cells.push_back(Measure(item));
            widest = std::max(widest, cells.back().Width);
        }
    const int sheetWidth = std::max(kMinSheetWidth, widest + 2 * kMargin);

    // Shelf packing in manifest order keeps related pictures together.
    int x = kMargin, y = kMargin, shelfHeight = 0;
    for (auto& c : cells) {
        if (x + c.Width > sheetWidth - kMargin && x > kMargin) {
            x = kMargin;
            y += shelfHeight + kMargin;
            shelfHeight = 0;
        }
        c.X = x;
        c.Y = y;
        x += c.Width + kMargin;
        shelfHeight = std::max(shelfHeight, c.Height);
    }
    const int sheetHeight = y + shelfHeight + kMargin;

    SurfacePtr sheet = NewImageSurface(sheetWidth, sheetHeight);
    ContextPtr ctx(cairo_create(sheet.get()));
    cairo_t* cr = ctx.get();
    cairo_set_source_rgb(cr, 0.25, 0.27, 0.3);
    cairo_paint(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 12);

    for (const auto& c : cells) {
        const TImageArchiveItem& item = *c.Item;
        int patterns = PatternCount(item.Picture->Width, item.Picture->Height, item.PatternWidth,
                                    item.PatternHeight, item.SkipWidth, item.SkipHeight);
        char line2[160];
        std::snprintf(line2, sizeof line2, "%d x %d, %d pattern%s of %d x %d%s", item.Picture->Width,
                      item.Picture->Height, patterns, patterns == 1 ? "" : "s", c.PatternW, c.PatternH,
                      item.Transparent ? "" : ", opaque");
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_move_to(cr, c.X, c.Y + 12);
        cairo_show_text(cr, item.Name.c_str());
        cairo_set_source_rgb(cr, 0.75, 0.8, 0.85);
        cairo_move_to(cr, c.X, c.Y + 26);
        cairo_show_text(cr, line2);

        SurfacePtr pic = SurfaceFromPicture(item);
        const int top = c.Y + kLabelHeight;
        for (int row = 0; row < c.Rows; ++row)
            for (int col = 0; col < c.Columns; ++col) {
                double dx = c.X + col * (c.PatternW + kGap), dy = top + row * (c.PatternH + kGap);
                Checkerboard(cr, dx, dy, c.PatternW, c.PatternH);
                cairo_save(cr);
                cairo_rectangle(cr, dx, dy, c.PatternW, c.PatternH);
                cairo_clip(cr);
                cairo_set_source_surface(cr, pic.get(), dx - col * (c.PatternW + item.SkipWidth),
                                         dy - row * (c.PatternH + item.SkipHeight));
                cairo_paint(cr);
                cairo_restore(cr);
            }
        // Pattern grid: the outline of every pattern, in a colour no picture uses.
        cairo_set_source_rgb(cr, 1, 0.2, 0.2);
        cairo_set_line_width(cr, 1);
        for (int row = 0; row < c.Rows; ++row)
            for (int col = 0; col < c.Columns; ++col) {
                cairo_rectangle(cr, c.X + col * (c.PatternW + kGap) - 0.5,
                                top + row * (c.PatternH + kGap) - 0.5, c.PatternW + 1, c.PatternH + 1);
            }
        cairo_stroke(cr);
    }
    WritePng(file, sheet.get());
}

} // namespace datagen
