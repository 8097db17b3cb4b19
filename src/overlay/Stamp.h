// The stamp as one conversion draws it: the text and the logo, placed in
// the finished picture after its colour depth has been changed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "overlay/CopyrightText.h"
#include "overlay/StampLogo.h"
#include "picture/Bitmap.h"
#include "picture/Font.h"

namespace corvalin {

// How the text and the logo are drawn, checked and ready.
struct TStampStyle {
    int32_t Box = kBoxWhite;
    TColor BoxColor = clWhite;
    int32_t Opacity = kMaxOpacity;
    int32_t RelativeSize = 0;
    int32_t LogoSize = 20;
    int32_t LogoAlign = kAlignBottomRight;
};

// The overlay as one file's conversion sees it, copied when the file starts:
// the font is held by value, so the conversion never reaches into the
// overlay dialog. Without a font no text is drawn, without a logo none.
struct TOverlaySnapshot {
    std::string Text;
    int32_t Border = 0;
    int32_t Align = 0;
    std::optional<TFont> Font;
    TStampStyle Style{};
    std::shared_ptr<const TStampLogo> Logo{};
};

// The look of the record's stamp; a value out of its range (which a run
// refuses before it starts) is taken at the nearest end of its range, an
// unreadable box colour as white.
TStampStyle StampStyleOf(const TCopyrightText& record);

// The record as stamped: nothing unless the text is enabled and the record
// carries a font; then the text unless it is empty, and the run's logo.
TOverlaySnapshot SnapshotOverlay(const TCopyrightText& overlay, bool textEnabled,
                                 std::shared_ptr<const TStampLogo> logo = nullptr);

// The top-left corner of a stamp in the picture.
struct TStampPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Where a block of the given size lies in the picture: at the edges the
// flags name, Border away from them, centred on an axis without one flag.
// `fromBottom` is how far the block's top lies above the bottom edge when
// it is placed there. Throws EIntOverflow beyond 32 bits.
TStampPoint StampPlace(int32_t align, int32_t border, int32_t pictureWidth, int32_t pictureHeight, int32_t width,
                       int32_t height, int64_t fromBottom);

// The text's font for a picture of this height: the font itself, or with
// RelativeSize a cell height of that percentage (at least one pixel).
TFont StampFont(const TFont& font, int32_t relativeSize, int32_t pictureHeight);

// Draws the logo, then the text over it.
void DrawStamp(TBitmap& target, const TOverlaySnapshot& stamp);

}  // namespace corvalin
