#include "formats/heif/HeifSizes.h"

#include <algorithm>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Limits.h"
#include "formats/heif/CodedHeaders.h"

namespace corvalin {

namespace {

// A decode holds about six bytes per pixel of its own (measured for
// libde265: its picture, its filtered copy and data per block, 70 MB for 12
// megapixels).
constexpr uint64_t kDecoderBytesPerPixel = 6;

[[noreturn]] void ThrowRefused(const char* detail)
{
    throw EInvalidGraphic("Ungültige HEIF-Datei", detail);
}

void ThrowCut()
{
    ThrowRefused("grid description cut short");
}

void CheckParameterSet(const THeifItem& item, std::span<const uint8_t> unit)
{
    const std::optional<THevcPictureSize> size = HevcSpsSize(unit);
    if (!size)
        return;
    const bool shown = size->shownWidth == item.width && size->shownHeight == item.height;
    const bool coded = size->width == item.width && size->height == item.height;
    if (!shown && !coded)
        ThrowRefused("coded picture size differs from the declared size");
}

// The parameter sets of the configuration ("hvcC"): arrays of units, each
// after its 16-bit length.
void CheckConfiguration(const THeifItem& item)
{
    TByteCursor cursor(item.hvcC, [] { ThrowRefused("HEVC configuration cut short"); });
    cursor.Skip(22);
    const uint8_t arrays = cursor.U8();
    for (uint8_t a = 0; a < arrays; ++a) {
        cursor.Skip(1);
        const uint16_t units = cursor.U16BE();
        for (uint16_t u = 0; u < units; ++u)
            CheckParameterSet(item, cursor.Bytes(cursor.U16BE()));
    }
}

// Parameter sets may also come with the picture's own units, which the
// decoder reads after the configuration's; a length past the data ends the
// walk (the decoder refuses it).
void CheckCodedUnits(const THeifItem& item)
{
    if (!item.located || item.hvcC.size() < 23)
        return;
    const uint32_t lengthBytes = (item.hvcC[21] & 3u) + 1;
    TByteCursor cursor(item.data);
    while (cursor.Remaining() >= lengthBytes) {
        uint32_t length = 0;
        for (uint32_t i = 0; i < lengthBytes; ++i)
            length = (length << 8) | cursor.U8();
        if (length > cursor.Remaining())
            return;
        CheckParameterSet(item, cursor.Bytes(length));
    }
}

THeifGrid GridOf(const THeifLayout& layout, const THeifItem& item)
{
    if (!item.located)
        ThrowRefused("grid without its description");
    TByteCursor cursor(item.data, ThrowCut);
    cursor.Skip(1);
    const bool wide = (cursor.U8() & 1) != 0;
    THeifGrid grid;
    grid.rows = cursor.U8() + 1u;
    grid.columns = cursor.U8() + 1u;
    grid.width = wide ? cursor.U32BE() : cursor.U16BE();
    grid.height = wide ? cursor.U32BE() : cursor.U16BE();
    if (item.hasSize && (item.width != grid.width || item.height != grid.height))
        ThrowRefused("grid size differs from the declared size");
    if (item.tiles.size() != size_t(grid.rows) * grid.columns)
        ThrowRefused("grid tiles differ from its description");
    for (size_t t = 0; t < item.tiles.size(); ++t) {
        const THeifItem* tile = layout.Item(item.tiles[t]);
        if (tile == nullptr || !tile->hasSize || tile->width == 0 || tile->height == 0)
            ThrowRefused("grid tile without its size");
        if (t == 0) {
            // Before its size is multiplied: a tile too large for a raster is refused here.
            CheckedRasterBytes(tile->width, tile->height, 24);
            grid.tileWidth = tile->width;
            grid.tileHeight = tile->height;
        } else if (tile->width != grid.tileWidth || tile->height != grid.tileHeight) {
            ThrowRefused("grid tiles of different sizes");
        }
    }
    if (uint64_t(grid.columns) * grid.tileWidth < grid.width || uint64_t(grid.rows) * grid.tileHeight < grid.height)
        ThrowRefused("grid tiles do not cover the picture");
    return grid;
}

}  // namespace

THeifGrid CheckDeclaredSizes(const THeifLayout& layout)
{
    for (const THeifItem& item : layout.items) {
        if (item.type != "hvc1" || !item.hasSize)
            continue;
        CheckConfiguration(item);
        CheckCodedUnits(item);
    }
    const THeifItem* primary = layout.Item(layout.primary);
    return primary != nullptr && primary->type == "grid" ? GridOf(layout, *primary) : THeifGrid{};
}

uint64_t HeifDecodingBytes(int width, int height, int bits, bool alpha, const THeifGrid& grid, int tileThreads)
{
    const uint64_t sampleBytes = bits > 8 ? 2 : 1;
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    const uint64_t planes = pixels * sampleBytes * (alpha ? 4 : 3);
    const uint64_t interleaved = pixels * sampleBytes * (alpha ? 4 : 3);
    const uint64_t tiles = uint64_t(grid.rows) * grid.columns;
    const uint64_t decoded = tiles == 0 ? pixels
                                        : uint64_t(grid.tileWidth) * grid.tileHeight *
                                              std::min<uint64_t>(tiles, uint64_t(std::max(tileThreads, 1)));
    return planes + interleaved + decoded * sampleBytes * kDecoderBytesPerPixel;
}

}  // namespace corvalin
