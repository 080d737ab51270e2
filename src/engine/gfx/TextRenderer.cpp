#include "engine/gfx/TextRenderer.h"

#include "engine/gfx/Cp1252.h"
#include "engine/gfx/FontAliases.h"

#include <SDL_ttf.h>
#include <algorithm>
#include <cmath>
#include <fontconfig/fontconfig.h>

namespace {

// Sizes are points at the classic desktop resolution.
constexpr int kScreenDpi = 96;
// Rendered texts kept before the cache starts over; the game shows a few dozen at a time.
constexpr size_t kMaxCachedTexts = 1024;
// Fonts as asked for, kept before that list starts over.
constexpr size_t kMaxOpenedFonts = 64;
// How much lighter than asked a face may be before it is emboldened (fontconfig's scale, on
// which bold is 200 and black 210).
constexpr int kWeightTolerance = 5;

} // namespace

TTextRenderer::TTextRenderer() {
    m_ttfReady = TTF_Init() == 0;
    m_config = FcInitLoadConfigAndFonts();
    if (m_config)
        FcConfigParseAndLoadFromMemory(m_config, reinterpret_cast<const FcChar8*>(GameFontAliases()),
                                       FcFalse);
}

TTextRenderer::~TTextRenderer() {
    for (auto& [key, font] : m_fonts)
        if (font)
            TTF_CloseFont(font);
    if (m_config)
        FcConfigDestroy(m_config);
    if (m_ttfReady)
        TTF_Quit();
}

const TTextRenderer::TResolved& TTextRenderer::Resolve(const TCanvasFont& font) {
    // The size takes part: an alias may pick another face for large sizes.
    std::string key = font.Name + (font.Bold ? "|b|" : "|r|") + std::to_string(static_cast<int>(font.Pitch)) +
                      '|' + std::to_string(font.Size);
    auto it = m_resolved.find(key);
    if (it != m_resolved.end())
        return it->second;

    TResolved resolved;
    if (m_config) {
        FcPattern* pattern = FcPatternCreate();
        if (!font.Name.empty()) {
            std::string family = Cp1252ToUtf8(font.Name);
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        }
        FcPatternAddInteger(pattern, FC_WEIGHT, font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcPatternAddDouble(pattern, FC_SIZE, font.Size);
        if (font.Pitch == TFontPitch::fpFixed)
            FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        // The weight asked for, after the aliases had their say.
        int wanted = font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
        FcPatternGetInteger(pattern, FC_WEIGHT, 0, &wanted);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(m_config, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            int index = 0;
            int weight = FC_WEIGHT_REGULAR;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                resolved.File = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
            resolved.Index = index;
            // A condensing matrix from the aliases (the digital face stands in for a narrower one).
            FcMatrix* matrix = nullptr;
            if (FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix &&
                matrix->xx > 0.1 && matrix->xx <= 1.0)
                resolved.WidthScale = matrix->xx;
            // The family has nothing as heavy as asked for: embolden the heaviest face it has.
            resolved.SyntheticBold = wanted >= FC_WEIGHT_DEMIBOLD && weight < wanted - kWeightTolerance;
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return m_resolved.emplace(std::move(key), std::move(resolved)).first->second;
}

// Narrows a rendered mask: each target column takes the area-weighted mean of the source
// columns it covers, so narrowed strokes stay smooth and keep their weight.
void TTextRenderer::Condense(TRenderedText& text, double scale) {
    const int w = text.CoverageWidth, h = text.CoverageHeight;
    const int nw = std::max(1, static_cast<int>(w * scale + 0.5));
    const double step = 1.0 / scale; // source columns per target column
    std::vector<uint8_t> out(static_cast<size_t>(nw) * h);
    for (int x = 0; x < nw; ++x) {
        const double from = x * step, to = std::min(static_cast<double>(w), (x + 1) * step);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = text.Coverage.data() + static_cast<size_t>(y) * w;
            double sum = 0, weight = 0;
            for (int sx = static_cast<int>(from); sx < w && sx < to; ++sx) {
                double part = std::min(to, sx + 1.0) - std::max(from, static_cast<double>(sx));
                sum += row[sx] * part;
                weight += part;
            }
            out[static_cast<size_t>(y) * nw + x] = weight > 0 ? static_cast<uint8_t>(sum / weight + 0.5) : 0;
        }
    }
    text.Coverage = std::move(out);
    text.CoverageWidth = nw;
}

const std::vector<uint8_t>& TTextRenderer::Outline(TRenderedText& text, int radius) {
    if (text.OutlineRadius == radius)
        return text.Outline;
    const int w = text.CoverageWidth, h = text.CoverageHeight;
    const int ow = w + 2 * radius, oh = h + 2 * radius;
    text.Outline.assign(static_cast<size_t>(ow) * oh, 0);
    text.OutlineRadius = radius;
    if (text.Coverage.empty())
        return text.Outline;
    // A disc of the given radius, its rim antialiased by distance.
    struct TTap {
        int Dx, Dy;
        int Weight; // 0..256
    };
    std::vector<TTap> disc;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            double inside = radius + 0.5 - std::sqrt(static_cast<double>(dx * dx + dy * dy));
            if (inside > 0)
                disc.push_back({dx, dy, static_cast<int>(std::min(1.0, inside) * 256)});
        }
    for (int oy = 0; oy < oh; ++oy)
        for (int ox = 0; ox < ow; ++ox) {
            int best = 0;
            for (const TTap& t : disc) {
                int sx = ox - radius + t.Dx, sy = oy - radius + t.Dy;
                if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                    continue;
                best = std::max(best, text.Coverage[static_cast<size_t>(sy) * w + sx] * t.Weight >> 8);
            }
            text.Outline[static_cast<size_t>(oy) * ow + ox] = static_cast<uint8_t>(best);
        }
    return text.Outline;
}

TTF_Font* TTextRenderer::Open(const TCanvasFont& font, std::string* key) {
    if (!m_ttfReady)
        return nullptr;
    const TResolved& resolved = Resolve(font);
    if (resolved.File.empty())
        return nullptr;
    int size = std::clamp(font.Size, 1, 1000);
    *key = resolved.File + '|' + std::to_string(resolved.Index) + '|' + std::to_string(size) +
           (resolved.SyntheticBold ? "|B" : "|") + std::to_string(resolved.WidthScale);
    auto it = m_fonts.find(*key);
    if (it != m_fonts.end())
        return it->second;
    TTF_Font* f = TTF_OpenFontIndexDPI(resolved.File.c_str(), size, resolved.Index, kScreenDpi, kScreenDpi);
    if (f && resolved.SyntheticBold)
        TTF_SetFontStyle(f, TTF_STYLE_BOLD);
    // A font that fails to open is remembered as missing rather than retried every frame.
    m_fonts.emplace(*key, f);
    return f;
}

const TTextRenderer::TOpened& TTextRenderer::Find(const TCanvasFont& font) {
    for (const TOpened& opened : m_opened)
        if (opened.Size == font.Size && opened.Bold == font.Bold && opened.Pitch == font.Pitch &&
            opened.Name == font.Name)
            return opened;
    if (m_opened.size() >= kMaxOpenedFonts)
        m_opened.clear();
    TOpened opened;
    opened.Name = font.Name;
    opened.Bold = font.Bold;
    opened.Pitch = font.Pitch;
    opened.Size = font.Size;
    opened.Font = Open(font, &opened.Key);
    if (opened.Font)
        opened.WidthScale = Resolve(font).WidthScale;
    return m_opened.emplace_back(std::move(opened));
}

int TTextRenderer::LineHeight(const TCanvasFont& font) {
    TTF_Font* f = Find(font).Font;
    return f ? TTF_FontHeight(f) : 0;
}

TTextRenderer::TRenderedText* TTextRenderer::Text(const TCanvasFont& font, std::string_view cp1252,
                                                  bool withCoverage) {
    const TOpened& opened = Find(font);
    TTF_Font* f = opened.Font;
    if (!f)
        return nullptr;
    const double scale = opened.WidthScale;
    m_textKey.assign(opened.Key);
    m_textKey += '\n';
    m_textKey.append(cp1252);
    auto it = m_texts.find(m_textKey);
    if (it == m_texts.end()) {
        if (m_texts.size() >= kMaxCachedTexts)
            m_texts.clear();
        TRenderedText text;
        std::string utf8 = Cp1252ToUtf8(cp1252);
        int w = 0, h = 0;
        if (!utf8.empty() && TTF_SizeUTF8(f, utf8.c_str(), &w, &h) == 0) {
            text.Width = static_cast<int>(w * scale + 0.5);
            text.Height = h;
        } else {
            text.Height = TTF_FontHeight(f);
        }
        it = m_texts.emplace(m_textKey, std::move(text)).first;
    }
    TRenderedText& text = it->second;
    if (withCoverage && !text.HasCoverage) {
        text.HasCoverage = true;
        std::string utf8 = Cp1252ToUtf8(cp1252);
        if (!utf8.empty()) {
            SDL_Surface* s = TTF_RenderUTF8_Blended(f, utf8.c_str(), SDL_Color{255, 255, 255, 255});
            if (s) {
                SDL_Surface* argb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
                SDL_FreeSurface(s);
                if (argb) {
                    text.CoverageWidth = argb->w;
                    text.CoverageHeight = argb->h;
                    text.Coverage.resize(static_cast<size_t>(argb->w) * argb->h);
                    for (int y = 0; y < argb->h; ++y) {
                        auto* row = reinterpret_cast<const uint32_t*>(
                            static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch);
                        for (int x = 0; x < argb->w; ++x)
                            text.Coverage[static_cast<size_t>(y) * argb->w + x] =
                                static_cast<uint8_t>(row[x] >> 24);
                    }
                    SDL_FreeSurface(argb);
                    if (scale != 1.0)
                        Condense(text, scale);
                }
            }
        }
    }
    return &text;
}
