#include "overlay/StampValues.h"

#include <cstdio>

#include "common/Exceptions.h"

namespace corvalin {

namespace {

std::optional<int> HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

std::string RangeRefusal(const std::string& what, int32_t value, int32_t minimum, int32_t maximum)
{
    return FormatText("%s %s liegt nicht zwischen %s und %s",
                      {what, std::to_string(value), std::to_string(minimum), std::to_string(maximum)});
}

}  // namespace

std::optional<TColor> ParseColour(const std::string& text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    uint8_t components[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        const std::optional<int> high = HexDigit(text[1 + 2 * i]);
        const std::optional<int> low = HexDigit(text[2 + 2 * i]);
        if (!high || !low)
            return std::nullopt;
        components[i] = uint8_t(*high * 16 + *low);
    }
    return RGB(components[0], components[1], components[2]);
}

std::string FormatColour(TColor color)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", RedOf(color), GreenOf(color), BlueOf(color));
    return text;
}

int32_t FontStyleFlags(const TFont& font)
{
    return (font.Bold ? 1 : 0) | (font.Italic ? 2 : 0) | (font.Underline ? 4 : 0) | (font.StrikeOut ? 8 : 0);
}

void ApplyFontStyleFlags(TFont& font, int32_t flags)
{
    font.Bold = (flags & 1) != 0;
    font.Italic = (flags & 2) != 0;
    font.Underline = (flags & 4) != 0;
    font.StrikeOut = (flags & 8) != 0;
}

std::string StampRefusal(const TCopyrightText& record)
{
    if (record.Opacity < kMinOpacity || record.Opacity > kMaxOpacity)
        return RangeRefusal("Die Deckkraft", record.Opacity, kMinOpacity, kMaxOpacity);
    if (record.RelativeSize < 0 || record.RelativeSize > kMaxRelativeSize)
        return RangeRefusal("Die Textgröße in Prozent", record.RelativeSize, 0, kMaxRelativeSize);
    if (record.LogoSize < kMinLogoSize || record.LogoSize > kMaxLogoSize)
        return RangeRefusal("Die Logobreite in Prozent", record.LogoSize, kMinLogoSize, kMaxLogoSize);
    if (record.Box < kBoxNone || record.Box > kBoxColour)
        return RangeRefusal("Der Kasten", record.Box, kBoxNone, kBoxColour);
    if (!ParseColour(record.Color))
        return FormatText("Die Textfarbe \"%s\" hat nicht die Form #RRGGBB", {record.Color});
    if (record.Box == kBoxColour && !ParseColour(record.BoxColor))
        return FormatText("Die Kastenfarbe \"%s\" hat nicht die Form #RRGGBB", {record.BoxColor});
    return "";
}

std::optional<int32_t> KeypadAlign(int32_t digit)
{
    if (digit < 1 || digit > 9)
        return std::nullopt;
    const int32_t row = (digit - 1) / 3;     // 0 bottom, 1 middle, 2 top
    const int32_t column = (digit - 1) % 3;  // 0 left, 1 centre, 2 right
    const int32_t vertical = row == 0 ? kAlignFlagBottom : row == 2 ? kAlignFlagTop : 0;
    const int32_t horizontal = column == 0 ? kAlignFlagLeft : column == 2 ? kAlignFlagRight : 0;
    return vertical | horizontal;
}

}  // namespace corvalin
