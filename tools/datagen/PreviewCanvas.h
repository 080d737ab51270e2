#pragma once

#include "CairoPtr.h"

#include "engine/archive/ImageArchive.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace datagen {

// A picture as the game shows it: keyed pixels become fully transparent.
SurfacePtr SurfaceFromPicture(const TImageArchiveItem& item);

// The pictures of one built archive, cut into patterns the way the game cuts them.
class PictureSet {
  public:
    explicit PictureSet(const std::filesystem::path& archiveFile);

    struct Entry {
        TImageArchiveItem Item;
        SurfacePtr Surface;
        int Width = 0, Height = 0; // one pattern
        int Columns = 1, Patterns = 1;
    };
    const Entry* Find(const std::string& name) const;
    const std::string& FileName() const { return fileName_; }

  private:
    std::string fileName_;
    std::map<std::string, Entry> entries_;
};

// One of the game's text slots: face, size in points at 96 dpi, colour, weight.
struct FontSlot {
    const char* Face;
    double Points;
    uint32_t Colour;
    bool Bold;
    bool Italic = false;
    double WidthScale = 1.0; // the read-outs' digital face is drawn condensed
    double Outline = 0;      // a dark rim and shadow this wide, for text over busy pictures
};
const FontSlot& GameFontSlot(int slot);

// An 800 × 600 frame composed like the game composes it: pictures by name and
// pattern at sprite positions, and text with top-left (or centred) placement.
class PreviewCanvas {
  public:
    PreviewCanvas();

    void Draw(const PictureSet& set, const std::string& name, double x, double y, int pattern = 0);
    // Tiles the picture over the frame with one tile's top-left corner at (x, y).
    void Tile(const PictureSet& set, const std::string& name, double x, double y);
    // The needle: the pivot (centerX × width, centerY × height) lands on (x, y); angle in 1/256 turns.
    void DrawRotated(const PictureSet& set, const std::string& name, double x, double y, double centerX,
                     double centerY, int angle);
    // Mixes colour over the box by alpha (0..1), as the game dims what lies behind a question.
    void Shade(double x, double y, double w, double h, uint32_t colour, double alpha);
    int Width(const PictureSet& set, const std::string& name) const;
    int Height(const PictureSet& set, const std::string& name) const;

    void Text(int slot, const std::string& text, double x, double y, bool centred = false);
    double TextWidth(int slot, const std::string& text);

    // Reduces the frame to the game's 16-bit colour and writes it.
    void Save(const std::filesystem::path& file);

    // Names the archives lacked; each was drawn as a marked box instead.
    const std::set<std::string>& Missing() const { return missing_; }

  private:
    const PictureSet::Entry* Lookup(const PictureSet& set, const std::string& name);
    void MissingBox(const std::string& name, double x, double y);
    void SelectFont(int slot);

    SurfacePtr surface_;
    ContextPtr cr_;
    std::set<std::string> missing_;
};

} // namespace datagen
