#include "engine/gfx/TextRenderer.h"

#include "engine/gfx/Cp1252.h"
#include "engine/gfx/FontAliases.h"

#include <SDL_ttf.h>
#include <algorithm>
#include <fontconfig/fontconfig.h>

namespace {

// Sizes are points at the classic desktop resolution.
constexpr int kScreenDpi = 96;
// Rendered texts kept before the cache starts over; the game shows a few dozen at a time.
constexpr size_t kMaxCachedTexts = 1024;

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
    std::string key = font.Name + (font.Bold ? "|b|" : "|r|") + std::to_string(static_cast<int>(font.Pitch));
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
        if (font.Pitch == TFontPitch::fpFixed)
            FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
        FcConfigSubstitute(m_config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
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
            // No bold face in the family: embolden the regular one.
            resolved.SyntheticBold = font.Bold && weight < FC_WEIGHT_DEMIBOLD;
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return m_resolved.emplace(std::move(key), std::move(resolved)).first->second;
}

// Narrows a rendered mask by averaging the source columns that fall into each target column.
void TTextRenderer::Condense(TRenderedText& text, double scale) {
    const int w = text.CoverageWidth, h = text.CoverageHeight;
    const int nw = std::max(1, static_cast<int>(w * scale + 0.5));
    std::vector<uint8_t> out(static_cast<size_t>(nw) * h);
    for (int x = 0; x < nw; ++x) {
        int from = static_cast<int>(x / scale), to = std::max(from + 1, static_cast<int>((x + 1) / scale));
        to = std::min(to, w);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = text.Coverage.data() + static_cast<size_t>(y) * w;
            int sum = 0;
            for (int sx = from; sx < to; ++sx)
                sum = std::max(sum, static_cast<int>(row[sx]));
            out[static_cast<size_t>(y) * nw + x] = static_cast<uint8_t>(sum);
        }
    }
    text.Coverage = std::move(out);
    text.CoverageWidth = nw;
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

int TTextRenderer::LineHeight(const TCanvasFont& font) {
    std::string key;
    TTF_Font* f = Open(font, &key);
    return f ? TTF_FontHeight(f) : 0;
}

const TTextRenderer::TRenderedText* TTextRenderer::Text(const TCanvasFont& font, std::string_view cp1252,
                                                        bool withCoverage) {
    std::string key;
    TTF_Font* f = Open(font, &key);
    if (!f)
        return nullptr;
    const double scale = Resolve(font).WidthScale;
    key += '\n';
    key.append(cp1252);
    auto it = m_texts.find(key);
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
        it = m_texts.emplace(std::move(key), std::move(text)).first;
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
