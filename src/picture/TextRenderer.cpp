#include "picture/TextRenderer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "common/Exceptions.h"
#include "picture/FontMatch.h"
#include "picture/LayOver.h"

namespace corvalin {

namespace {

struct FaceKey {
    std::string name;
    bool bold;
    bool italic;
    auto operator<=>(const FaceKey&) const = default;
};

struct LoadedFace {
    FT_Face face = nullptr;
    bool fakeBold = false;    // the matched face is lighter than asked for
    bool fakeItalic = false;  // the matched face is upright
};

// FreeType library and the faces opened so far; lives for the whole program.
class FontLibrary {
public:
    static FontLibrary& Instance()
    {
        static FontLibrary library;
        return library;
    }

    LoadedFace Face(const TFont& font)
    {
        const FaceKey key{font.Name, font.Bold, font.Italic};
        auto found = faces_.find(key);
        if (found != faces_.end())
            return found->second;
        LoadedFace loaded = Open(key);
        faces_.emplace(key, loaded);
        return loaded;
    }

    ~FontLibrary()
    {
        for (auto& [file, face] : opened_)
            FT_Done_Face(face);
        if (library_ != nullptr)
            FT_Done_FreeType(library_);
    }

private:
    FontLibrary()
    {
        if (FT_Init_FreeType(&library_) != 0)
            throw EOutOfResources(msg::OutOfResources);
    }

    LoadedFace Open(const FaceKey& key)
    {
        const TFontMatch match = MatchFont(key.name, key.bold, key.italic);
        if (!match)
            throw EOutOfResources(msg::OutOfResources);

        FcChar8* file = nullptr;
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetString(match.get(), FC_FILE, 0, &file);
        FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
        FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
        LoadedFace loaded;
        loaded.face = file != nullptr ? OpenFile(reinterpret_cast<const char*>(file), index) : nullptr;
        if (loaded.face == nullptr)
            throw EOutOfResources(msg::OutOfResources);
        loaded.fakeBold = key.bold && weight < FC_WEIGHT_DEMIBOLD;
        loaded.fakeItalic = key.italic && slant == FC_SLANT_ROMAN;
        return loaded;
    }

    // Names that fontconfig matches to the same font share one open face, so
    // that many names (as a metafile may ask for) cost no more than their fonts.
    FT_Face OpenFile(const std::string& file, int index)
    {
        const auto key = std::make_pair(file, index);
        auto found = opened_.find(key);
        if (found != opened_.end())
            return found->second;
        FT_Face face = nullptr;
        if (FT_New_Face(library_, file.c_str(), index, &face) != 0)
            return nullptr;
        opened_.emplace(key, face);
        return face;
    }

    FT_Library library_ = nullptr;
    std::map<FaceKey, LoadedFace> faces_;
    std::map<std::pair<std::string, int>, FT_Face> opened_;
};

// Decodes UTF-8; a malformed byte stands for itself (Latin-1).
std::vector<char32_t> CodePoints(const std::string& text)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        bool valid = i + extra < text.size() && (c < 0x80 || extra > 0);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += extra + 1;
        }
    }
    return out;
}

struct SizedFace {
    LoadedFace loaded;
    int ascent = 0;
    int descent = 0;
};

SizedFace SizeFace(const TFont& font)
{
    SizedFace sized{FontLibrary::Instance().Face(font)};
    FT_Face face = sized.loaded.face;
    const int height = std::max(1, std::abs(font.Height));
    if (font.Height < 0 || !FT_IS_SCALABLE(face) || face->ascender - face->descender <= 0) {
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(height));
    } else {
        // A positive height is the whole cell: scale the em so that ascent + descent fit it.
        const double em = double(height) * face->units_per_EM / double(face->ascender - face->descender);
        FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72);
    }
    FT_Matrix shear{0x10000, font.Italic && sized.loaded.fakeItalic ? 0x0366A : 0, 0, 0x10000};
    FT_Set_Transform(face, &shear, nullptr);
    sized.ascent = int((face->size->metrics.ascender + 63) >> 6);
    sized.descent = int((-face->size->metrics.descender + 63) >> 6);
    if (font.Height > 0)
        sized.descent = std::max(0, font.Height - sized.ascent);
    return sized;
}

bool LoadGlyph(const SizedFace& sized, char32_t cp, bool render)
{
    FT_Face face = sized.loaded.face;
    const FT_UInt index = FT_Get_Char_Index(face, cp);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
        return false;
    if (sized.loaded.fakeBold && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_Outline_Embolden(&face->glyph->outline, face->size->metrics.y_ppem * 4);
    return !render || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

int Advance(const SizedFace& sized)
{
    const FT_Pos extra = sized.loaded.fakeBold ? sized.loaded.face->size->metrics.y_ppem * 2 : 0;
    return int((sized.loaded.face->glyph->advance.x + extra + 32) >> 6);
}

// Draws the line's box and glyphs at one opacity.
class Painter {
public:
    Painter(TRaster& raster, TColor color, uint8_t opacity) : raster_(raster), color_(color), opacity_(opacity) {}

    void Fill(int x0, int y0, int x1, int y1, TColor color)
    {
        for (int y = std::max(0, y0); y < std::min(raster_.height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(raster_.width, x1); ++x)
                LayOver(raster_, x, y, color, 255, opacity_);
    }

    // The stamp is opaque: where a glyph's edge lies over a transparent
    // pixel, it blends with what that pixel shows over the backdrop.
    void Blend(int x, int y, uint8_t coverage) { LayOver(raster_, x, y, color_, coverage, opacity_); }

private:
    TRaster& raster_;
    TColor color_;
    uint8_t opacity_;
};

}  // namespace

namespace {

TTextExtent Measure(const SizedFace& sized, const std::vector<char32_t>& codePoints)
{
    TTextExtent extent;
    extent.ascent = sized.ascent;
    extent.height = sized.ascent + sized.descent;
    for (char32_t cp : codePoints)
        if (LoadGlyph(sized, cp, false))
            extent.width += Advance(sized);
    return extent;
}

// The faces are loaded once and sized per call; FreeType allows one thread
// at a time per face, and the batch's workers stamp text concurrently.
std::mutex& FaceMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

TTextExtent MeasureText(const std::string& text, const TFont& font)
{
    std::lock_guard lock(FaceMutex());
    return Measure(SizeFace(font), CodePoints(text));
}

void DrawText(TRaster& raster, int x, int y, const std::string& text, const TFont& font, const TBrush& brush,
              uint8_t opacity)
{
    std::lock_guard lock(FaceMutex());
    const SizedFace sized = SizeFace(font);
    const std::vector<char32_t> codePoints = CodePoints(text);
    // The box is filled before any glyph is drawn, so the line is measured first.
    const TTextExtent extent = Measure(sized, codePoints);
    Painter painter(raster, font.Color, opacity);
    if (brush.Style == TBrushStyle::bsSolid)
        painter.Fill(x, y, x + extent.width, y + extent.height, brush.Color);

    const int baseline = y + sized.ascent;
    int penX = x;
    FT_Face face = sized.loaded.face;
    for (char32_t cp : codePoints) {
        if (!LoadGlyph(sized, cp, true))
            continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        const int left = penX + face->glyph->bitmap_left;
        const int top = baseline - face->glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* coverage = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col)
                painter.Blend(left + int(col), top + int(row), coverage[col]);
        }
        penX += Advance(sized);
    }

    const int thickness = std::max(1, int(std::lround(double(face->underline_thickness) *
                                                      face->size->metrics.y_scale / 65536.0 / 64.0)));
    if (font.Underline) {
        const int offset = std::max(1, int(std::lround(-double(face->underline_position) *
                                                       face->size->metrics.y_scale / 65536.0 / 64.0)));
        painter.Fill(x, baseline + offset, x + extent.width, baseline + offset + thickness, font.Color);
    }
    if (font.StrikeOut) {
        const int rise = sized.ascent / 3;
        painter.Fill(x, baseline - rise, x + extent.width, baseline - rise + thickness, font.Color);
    }
}

}  // namespace corvalin
