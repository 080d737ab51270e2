#include "PreviewCanvas.h"

#include "Manifest.h"
#include "PictureBuilder.h"
#include "PngFile.h"

#include <array>
#include <cmath>
#include <numbers>

namespace datagen {

namespace {

constexpr int kFrameWidth = 800, kFrameHeight = 600;

// The game asks for Windows face names; these are what this platform maps them to.
constexpr const char* kSans = "Liberation Sans";
constexpr const char* kDigital = "DSEG7 Classic";
constexpr double kDigitalWidth = 0.7;
constexpr uint32_t kOutlineColour = 0x0A1630;
constexpr double kNoticeOutline = 2;
constexpr double kQuestionOutline = 1;

constexpr std::array<FontSlot, 13> kFontSlots{{
    {kSans, 16, 0x0309FF, false},                              // 1 high-score rows
    {kDigital, 16, 0xFFFFFF, true, false, kDigitalWidth},      // 2 score
    {kSans, 20, 0xFFB41B, true},                               // 3 options text field
    {kDigital, 19, 0x0B27D2, true, false, kDigitalWidth},      // 4 time and lives
    {kDigital, 19, 0xFFFFFF, true, false, kDigitalWidth},      // 5 level
    {kDigital, 14, 0x0B27D2, true, false, kDigitalWidth},      // 6 power-up seconds
    {kSans, 30, 0xFFF100, true, false, 1.0, kQuestionOutline}, // 7 questions
    {"DejaVu Sans", 30, 0x0B27D2, true},
    {kSans, 30, 0xFFF100, false},
    {kSans, 26, 0xFFF100, true, false, 1.0, kQuestionOutline}, // 10 clear-table question
    {"Liberation Serif", 30, 0x2D5BF0, true},
    {kSans, 24, 0xFFF100, true, false, 1.0, kQuestionOutline}, // 12 name entry, send question
    {kSans, 30, 0xFFF100, true, true, 1.0, kNoticeOutline},    // 13 notices over the race
}};

} // namespace

const FontSlot& GameFontSlot(int slot) {
    if (slot < 1 || slot > static_cast<int>(kFontSlots.size()))
        throw DataError("font slot " + std::to_string(slot) + " does not exist");
    return kFontSlots[slot - 1];
}

SurfacePtr SurfaceFromPicture(const TImageArchiveItem& item) {
    const TDibPicture& pic = *item.Picture;
    SurfacePtr surface = NewImageSurface(pic.Width, pic.Height);
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const uint32_t key = ColorValueToRGB(item.TransparentColor);
    for (int y = 0; y < pic.Height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < pic.Width; ++x) {
            uint32_t p = pic.Pixels[static_cast<size_t>(y) * pic.Width + x] & 0xFFFFFF;
            row[x] = (item.Transparent && p == key) ? 0 : (0xFF000000 | p);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

PictureSet::PictureSet(const std::filesystem::path& archiveFile) : fileName_(archiveFile.string()) {
    std::vector<TImageArchiveItem> items;
    try {
        items = ReadImageArchive(archiveFile.string());
    } catch (const std::exception& e) {
        throw DataError(archiveFile.string() + ": cannot read the archive: " + e.what());
    }
    for (auto& item : items) {
        if (!item.Picture || item.Picture->Width <= 0 || item.Picture->Height <= 0)
            continue;
        Entry entry;
        entry.Surface = SurfaceFromPicture(item);
        int pw = item.Picture->Width, ph = item.Picture->Height;
        entry.Width = item.PatternWidth > 0 ? item.PatternWidth : pw;
        entry.Height = item.PatternHeight > 0 ? item.PatternHeight : ph;
        entry.Columns = std::max(1, (pw + item.SkipWidth) / (entry.Width + item.SkipWidth));
        entry.Patterns =
            PatternCount(pw, ph, item.PatternWidth, item.PatternHeight, item.SkipWidth, item.SkipHeight);
        entry.Item = std::move(item);
        // Later items win, as in the game's lookup.
        entries_.insert_or_assign(entry.Item.Name, std::move(entry));
    }
}

const PictureSet::Entry* PictureSet::Find(const std::string& name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

PreviewCanvas::PreviewCanvas()
    : surface_(NewImageSurface(kFrameWidth, kFrameHeight)), cr_(cairo_create(surface_.get())) {
    cairo_set_source_rgb(cr_.get(), 0, 0, 0);
    cairo_paint(cr_.get());
}

const PictureSet::Entry* PreviewCanvas::Lookup(const PictureSet& set, const std::string& name) {
    const PictureSet::Entry* e = set.Find(name);
    if (!e)
        missing_.insert(name);
    return e;
}

void PreviewCanvas::MissingBox(const std::string& name, double x, double y) {
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_rectangle(cr, x, y, 90, 24);
    cairo_set_source_rgb(cr, 1, 0, 0.6);
    cairo_fill(cr);
    cairo_select_font_face(cr, kSans, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, x + 3, y + 16);
    cairo_show_text(cr, name.c_str());
    cairo_restore(cr);
}

void PreviewCanvas::Draw(const PictureSet& set, const std::string& name, double x, double y, int pattern) {
    const PictureSet::Entry* e = Lookup(set, name);
    if (!e) {
        MissingBox(name, x, y);
        return;
    }
    if (pattern < 0 || pattern >= e->Patterns)
        return; // the game draws nothing for a pattern out of range
    const int cellW = e->Width + e->Item.SkipWidth, cellH = e->Height + e->Item.SkipHeight;
    const int px = (pattern % e->Columns) * cellW, py = (pattern / e->Columns) * cellH;
    // Sprites sit on whole pixels, as the game truncates positions before blitting.
    const double dx = std::trunc(x), dy = std::trunc(y);
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_rectangle(cr, dx, dy, e->Width, e->Height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, e->Surface.get(), dx - px, dy - py);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

void PreviewCanvas::Tile(const PictureSet& set, const std::string& name, double x, double y) {
    const PictureSet::Entry* e = Lookup(set, name);
    if (!e) {
        MissingBox(name, x, y);
        return;
    }
    double startY = y - std::ceil(y / e->Height) * e->Height;
    for (double ty = startY; ty < kFrameHeight; ty += e->Height)
        for (double tx = x; tx < kFrameWidth; tx += e->Width)
            Draw(set, name, tx, ty);
}

void PreviewCanvas::DrawRotated(const PictureSet& set, const std::string& name, double x, double y,
                                double centerX, double centerY, int angle) {
    const PictureSet::Entry* e = Lookup(set, name);
    if (!e) {
        MissingBox(name, x, y);
        return;
    }
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle * 2 * std::numbers::pi / 256);
    cairo_translate(cr, -centerX * e->Width, -centerY * e->Height);
    cairo_rectangle(cr, 0, 0, e->Width, e->Height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, e->Surface.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

int PreviewCanvas::Width(const PictureSet& set, const std::string& name) const {
    const PictureSet::Entry* e = set.Find(name);
    return e ? e->Width : 0;
}

int PreviewCanvas::Height(const PictureSet& set, const std::string& name) const {
    const PictureSet::Entry* e = set.Find(name);
    return e ? e->Height : 0;
}

void PreviewCanvas::SelectFont(int slot) {
    const FontSlot& f = GameFontSlot(slot);
    cairo_t* cr = cr_.get();
    cairo_select_font_face(cr, f.Face, f.Italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           f.Bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    const double pixels = f.Points * 96.0 / 72.0;
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, pixels * f.WidthScale, pixels);
    cairo_set_font_matrix(cr, &m);
    cairo_set_source_rgb(cr, (f.Colour >> 16 & 0xFF) / 255.0, (f.Colour >> 8 & 0xFF) / 255.0,
                         (f.Colour & 0xFF) / 255.0);
}

double PreviewCanvas::TextWidth(int slot, const std::string& text) {
    SelectFont(slot);
    cairo_text_extents_t ext;
    cairo_text_extents(cr_.get(), text.c_str(), &ext);
    return ext.x_advance;
}

void PreviewCanvas::Text(int slot, const std::string& text, double x, double y, bool centred) {
    SelectFont(slot);
    cairo_t* cr = cr_.get();
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    double left = centred ? std::trunc(x - TextWidth(slot, text) / 2) : x;
    // The game places text by the top of its cell, cairo by the baseline.
    if (const double outline = GameFontSlot(slot).Outline; outline > 0) {
        cairo_save(cr);
        cairo_set_source_rgb(cr, (kOutlineColour >> 16) / 255.0, (kOutlineColour >> 8 & 0xFF) / 255.0,
                             (kOutlineColour & 0xFF) / 255.0);
        cairo_set_line_width(cr, 2 * outline);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        for (double shift : {outline, 0.0}) {
            cairo_move_to(cr, left + shift, y + fe.ascent + shift);
            cairo_text_path(cr, text.c_str());
            cairo_fill_preserve(cr);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
    }
    cairo_move_to(cr, left, y + fe.ascent);
    cairo_show_text(cr, text.c_str());
}

void PreviewCanvas::Shade(double x, double y, double w, double h, uint32_t colour, double alpha) {
    cairo_t* cr = cr_.get();
    cairo_save(cr);
    cairo_set_source_rgba(cr, (colour >> 16 & 0xFF) / 255.0, (colour >> 8 & 0xFF) / 255.0,
                          (colour & 0xFF) / 255.0, alpha);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
}

void PreviewCanvas::Save(const std::filesystem::path& file) {
    cairo_surface_flush(surface_.get());
    unsigned char* data = cairo_image_surface_get_data(surface_.get());
    const int stride = cairo_image_surface_get_stride(surface_.get());
    for (int y = 0; y < kFrameHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < kFrameWidth; ++x) {
            uint32_t p = row[x];
            uint32_t r = p >> 16 & 0xF8, g = p >> 8 & 0xFC, b = p & 0xF8;
            row[x] = 0xFF000000 | (r | r >> 5) << 16 | (g | g >> 6) << 8 | (b | b >> 5);
        }
    }
    cairo_surface_mark_dirty(surface_.get());
    WritePng(file, surface_.get());
}

} // namespace datagen
