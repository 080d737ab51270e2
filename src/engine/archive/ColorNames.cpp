#include "engine/archive/ColorNames.h"

#include <array>
#include <cctype>

namespace {

struct TColorName {
    int32_t Value;
    const char* Name;
};

constexpr int32_t SystemColorBase = static_cast<int32_t>(0x80000000u);
constexpr int32_t NewSystemColorBase = static_cast<int32_t>(0xFF000000u);

constexpr int32_t Sys(int index) {
    return SystemColorBase | index;
}

constexpr std::array<TColorName, 54> ColorNames{{
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {0xC0C0C0, "clLtGray"},
    {0x808080, "clDkGray"},
    {0xC0DCC0, "clMoneyGreen"},
    {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},
    {0x1FFFFFFF, "clNone"},
    {0x20000000, "clDefault"},
    {Sys(0), "clScrollBar"},
    {Sys(1), "clBackground"},
    {Sys(2), "clActiveCaption"},
    {Sys(3), "clInactiveCaption"},
    {Sys(4), "clMenu"},
    {Sys(5), "clWindow"},
    {Sys(6), "clWindowFrame"},
    {Sys(7), "clMenuText"},
    {Sys(8), "clWindowText"},
    {Sys(9), "clCaptionText"},
    {Sys(10), "clActiveBorder"},
    {Sys(11), "clInactiveBorder"},
    {Sys(12), "clAppWorkSpace"},
    {Sys(13), "clHighlight"},
    {Sys(14), "clHighlightText"},
    {Sys(15), "clBtnFace"},
    {Sys(16), "clBtnShadow"},
    {Sys(17), "clGrayText"},
    {Sys(18), "clBtnText"},
    {Sys(19), "clInactiveCaptionText"},
    {Sys(20), "clBtnHighlight"},
    {Sys(21), "cl3DDkShadow"},
    {Sys(22), "cl3DLight"},
    {Sys(23), "clInfoText"},
    {Sys(24), "clInfoBk"},
    {Sys(26), "clHotLight"},
    {Sys(27), "clGradientActiveCaption"},
    {Sys(28), "clGradientInactiveCaption"},
    {Sys(29), "clMenuHighlight"},
    {Sys(30), "clMenuBar"},
}};

// The classic desktop scheme, 0xRRGGBB by system-colour index.
constexpr std::array<uint32_t, 31> SystemColorsRGB{
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8,
    0x808080, 0x808080, 0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000,
    0xFFFFE1, 0x000000, 0x000080, 0xA6CAF0, 0xC0C0C0, 0x316AC5, 0xD4D0C8,
};

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::optional<int32_t> ColorFromIdent(std::string_view ident) {
    for (const TColorName& c : ColorNames)
        if (SameText(c.Name, ident))
            return c.Value;
    return std::nullopt;
}

std::optional<std::string> ColorToIdent(int32_t color) {
    for (const TColorName& c : ColorNames)
        if (c.Value == color)
            return std::string(c.Name);
    return std::nullopt;
}

bool IsSystemColor(int32_t color) {
    const int32_t high = color & static_cast<int32_t>(0xFF000000u);
    return high == SystemColorBase || high == NewSystemColorBase;
}

uint32_t ColorValueToRGB(int32_t color) {
    if (IsSystemColor(color)) {
        const uint32_t index = static_cast<uint32_t>(color) & 0xFF;
        return index < SystemColorsRGB.size() ? SystemColorsRGB[index] : 0;
    }
    const uint32_t v = static_cast<uint32_t>(color);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}
