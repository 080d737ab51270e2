#pragma once

#include "engine/gfx/Canvas.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct _FcConfig;
struct _TTF_Font;

// Resolves font families through fontconfig (with the game's own aliases), opens each font
// file once per size and keeps rendered texts as coverage masks, so a text drawn every frame
// is rendered once.
class TTextRenderer {
  public:
    TTextRenderer();
    ~TTextRenderer();
    TTextRenderer(const TTextRenderer&) = delete;
    TTextRenderer& operator=(const TTextRenderer&) = delete;

    struct TRenderedText {
        int Width = 0;
        int Height = 0;
        bool HasCoverage = false;
        int CoverageWidth = 0; // the rendered mask may differ slightly from the measured size
        int CoverageHeight = 0;
        std::vector<uint8_t> Coverage; // alpha values, rows top first
        int OutlineRadius = -1;        // the radius Outline was made for; -1 when not made yet
        std::vector<uint8_t> Outline;  // Coverage grown by OutlineRadius on every side
    };

    // Null when no font at all could be opened.
    TRenderedText* Text(const TCanvasFont& font, std::string_view cp1252, bool withCoverage);
    int LineHeight(const TCanvasFont& font);
    // The coverage of a rendered text grown by a disc of the radius, as a mask of
    // (CoverageWidth + 2 radius) x (CoverageHeight + 2 radius); made once per text.
    const std::vector<uint8_t>& Outline(TRenderedText& text, int radius);

  private:
    struct TResolved {
        std::string File;
        int Index = 0;
        bool SyntheticBold = false;
        double WidthScale = 1.0; // the horizontal factor of the match's font matrix
    };
    // A font as asked for (family, weight, pitch and size), looked up once: the font opened for
    // it and the font's part of its texts' keys. Texts drawn every frame find it without building
    // a key or formatting a number.
    struct TOpened {
        std::string Name;
        bool Bold = false;
        TFontPitch Pitch = TFontPitch::fpDefault;
        int Size = 0;
        _TTF_Font* Font = nullptr; // null when none could be opened
        double WidthScale = 1.0;
        std::string Key;
    };
    const TResolved& Resolve(const TCanvasFont& font);
    static void Condense(TRenderedText& text, double scale);
    _TTF_Font* Open(const TCanvasFont& font, std::string* key);
    const TOpened& Find(const TCanvasFont& font);

    _FcConfig* m_config = nullptr;
    bool m_ttfReady = false;
    std::map<std::string, TResolved> m_resolved;            // by family, weight and pitch
    std::map<std::string, _TTF_Font*> m_fonts;              // by file, index, size and style
    std::unordered_map<std::string, TRenderedText> m_texts; // by font key and text
    std::deque<TOpened> m_opened;                           // a few: the game uses a dozen fonts
    std::string m_textKey;                                  // the key looked up, its room kept
};
