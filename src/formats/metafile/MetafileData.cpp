#include "formats/metafile/MetafileData.h"

#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Limits.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kBitFields = 3;
constexpr size_t kFileHeader = 14;
// A run-length-encoded bitmap can stand for at most this many pixels per byte of its bits.
constexpr uint64_t kMaxPixelsPerRleByte = 1024;

uint32_t Le32(std::span<const uint8_t> bytes, size_t offset) { return Get32(bytes.data() + offset, TByteOrder::LittleEndian); }
uint16_t Le16(std::span<const uint8_t> bytes, size_t offset) { return Get16(bytes.data() + offset, TByteOrder::LittleEndian); }

// Whether the pixels the header declares fit the bits that come with them,
// so that no bitmap asks for more memory than its record carries.
bool BitsCoverDeclared(std::span<const uint8_t> info, size_t bitsSize)
{
    const uint32_t headerSize = Le32(info, 0);
    const bool core = headerSize == kCoreHeader;
    const int64_t width = core ? Le16(info, 4) : int32_t(Le32(info, 4));
    const int64_t height = core ? Le16(info, 6) : int32_t(Le32(info, 8));
    const int bits = core ? Le16(info, 10) : Le16(info, 14);
    const uint32_t compression = core ? 0 : Le32(info, 16);
    if (width <= 0 || height == 0 || height == INT32_MIN || bits == 0 || bits > 32)
        return false;
    const int64_t rows = height < 0 ? -height : height;
    if (compression == 0 || compression == kBitFields)
        return rows <= int64_t(bitsSize) / PaddedRowBytes(width, bits);
    return uint64_t(width) * uint64_t(rows) <= kMaxPixelsPerRleByte * (uint64_t(bitsSize) + 1);
}

std::string Utf8(char32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    return out;
}

// Control characters have no glyph; they keep their place but draw nothing.
std::string Character(char32_t cp)
{
    return cp < 0x20 ? std::string() : Utf8(cp);
}

}  // namespace

size_t DibInfoSize(std::span<const uint8_t> info)
{
    if (info.size() < kCoreHeader)
        return 0;
    const uint32_t headerSize = Le32(info, 0);
    uint64_t size = 0;
    if (headerSize == kCoreHeader) {
        const int bits = Le16(info, 10);
        size = kCoreHeader + (bits <= 8 ? 3u << bits : 0);
    } else if (headerSize >= kInfoHeader && headerSize <= info.size()) {
        const int bits = Le16(info, 14);
        const uint32_t used = Le32(info, 32);
        const uint64_t colors = used != 0 ? used : bits <= 8 ? 1u << bits : 0;
        const bool masks = Le32(info, 16) == kBitFields && headerSize == kInfoHeader;
        size = headerSize + (masks ? 12 : 0) + 4 * colors;
    }
    return size <= info.size() ? size_t(size) : 0;
}

std::unique_ptr<TBitmap> DecodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits)
{
    const size_t infoSize = DibInfoSize(info);
    if (infoSize == 0)
        return nullptr;
    try {
        if (!BitsCoverDeclared(info, bits.size()))
            return nullptr;
        // The picture layer reads bitmap files; a file header in front makes one.
        std::vector<uint8_t> file{'B', 'M'};
        Put32(file, uint32_t(kFileHeader + infoSize + bits.size()), TByteOrder::LittleEndian);
        Put32(file, 0, TByteOrder::LittleEndian);
        Put32(file, uint32_t(kFileHeader + infoSize), TByteOrder::LittleEndian);
        file.insert(file.end(), info.begin(), info.begin() + ptrdiff_t(infoSize));
        file.insert(file.end(), bits.begin(), bits.end());
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->ReadBmp(file);
        return bitmap;
    } catch (const Exception&) {
        return nullptr;
    }
}

std::unique_ptr<TBitmap> DecodePackedDib(std::span<const uint8_t> packed)
{
    const size_t infoSize = DibInfoSize(packed);
    if (infoSize == 0)
        return nullptr;
    return DecodeDib(packed.first(infoSize), packed.subspan(infoSize));
}

TLogBrush PatternBrush(const TBitmap* pattern)
{
    if (pattern == nullptr || pattern->Empty())
        return {false, RGB(128, 128, 128)};
    const TRaster& raster = *pattern->Raster();
    uint64_t sums[3] = {0, 0, 0};
    std::vector<uint8_t> scratch(size_t(raster.width) * 3);
    for (int y = 0; y < raster.height; ++y) {
        const uint8_t* row = RowAsBgr(raster, y, scratch.data());
        for (int x = 0; x < raster.width; ++x)
            for (int c = 0; c < 3; ++c)
                sums[c] += row[3 * x + c];
    }
    const uint64_t count = uint64_t(raster.width) * uint64_t(raster.height);
    return {false, RGB(uint8_t(sums[2] / count), uint8_t(sums[1] / count), uint8_t(sums[0] / count))};
}

TMetaText Text8(std::span<const uint8_t> bytes, std::span<const int32_t> advances)
{
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    TMetaText text;
    for (uint8_t b : bytes)
        text.characters.push_back(Character(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b));
    if (advances.size() >= bytes.size())
        text.advances.assign(advances.begin(), advances.begin() + ptrdiff_t(bytes.size()));
    return text;
}

TMetaText Text16(std::span<const uint16_t> units, std::span<const int32_t> advances)
{
    TMetaText text;
    const bool spaced = advances.size() >= units.size();
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        double advance = spaced ? advances[i] : 0;
        const bool pair = cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                          units[i + 1] < 0xE000;
        if (pair) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            advance += spaced ? advances[i + 1] : 0;
            ++i;
        }
        text.characters.push_back(Character(cp));
        if (spaced)
            text.advances.push_back(advance);
    }
    return text;
}

}  // namespace corvalin
