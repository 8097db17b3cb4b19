#include "formats/heif/CodedHeaders.h"

#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/heif/HeifBits.h"

namespace corvalin {

namespace {

constexpr int kHevcSps = 33;
constexpr int kAv1SequenceHeader = 1;

// The unit's payload without the bytes that keep start codes out of it.
std::vector<uint8_t> RawPayload(std::span<const uint8_t> payload)
{
    std::vector<uint8_t> raw;
    raw.reserve(payload.size());
    int zeros = 0;
    for (uint8_t byte : payload) {
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        raw.push_back(byte);
    }
    return raw;
}

// The general profile, tier and level, then what each sub-layer says of its own.
void SkipProfileTierLevel(THeifBits& bits, uint32_t subLayers)
{
    bits.Skip(96);
    std::vector<bool> profile(subLayers), level(subLayers);
    for (uint32_t i = 0; i < subLayers; ++i) {
        profile[i] = bits.Flag();
        level[i] = bits.Flag();
    }
    if (subLayers > 0)
        bits.Skip(2 * (8 - subLayers));
    for (uint32_t i = 0; i < subLayers; ++i)
        bits.Skip((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
}

uint64_t Leb128(TByteCursor& cursor)
{
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        const uint8_t byte = cursor.U8();
        value |= uint64_t(byte & 0x7F) << (7 * i);
        if ((byte & 0x80) == 0)
            break;
    }
    return value;
}

// From the sequence header's start to its colour configuration's range flag.
bool Av1SequenceFullRange(THeifBits& bits)
{
    const uint32_t profile = bits.Bits(3);
    bits.Skip(1);  // still_picture
    const bool reduced = bits.Flag();
    if (reduced) {
        bits.Skip(5);
    } else {
        const bool timing = bits.Flag();
        bool decoderModel = false;
        uint32_t delayBits = 0;
        if (timing) {
            bits.Skip(64);
            if (bits.Flag())
                bits.ExpGolomb();
            decoderModel = bits.Flag();
            if (decoderModel) {
                delayBits = bits.Bits(5) + 1;
                bits.Skip(32 + 10);
            }
        }
        const bool displayDelay = bits.Flag();
        const uint32_t points = bits.Bits(5) + 1;
        for (uint32_t i = 0; i < points; ++i) {
            bits.Skip(12);
            if (bits.Bits(5) > 7)
                bits.Skip(1);
            if (decoderModel && bits.Flag())
                bits.Skip(2 * delayBits + 1);
            if (displayDelay && bits.Flag())
                bits.Skip(4);
        }
    }
    const uint32_t widthBits = bits.Bits(4) + 1, heightBits = bits.Bits(4) + 1;
    bits.Skip(widthBits + heightBits);
    if (!reduced && bits.Flag())
        bits.Skip(7);
    bits.Skip(3);  // superblock size, filter intra, intra edge filter
    if (!reduced) {
        bits.Skip(4);  // inter-intra, masked compound, warped motion, dual filter
        const bool orderHint = bits.Flag();
        if (orderHint)
            bits.Skip(2);
        const bool chooseTools = bits.Flag();
        const uint32_t screenTools = chooseTools ? 2 : bits.Bits(1);
        if (screenTools > 0 && !bits.Flag())
            bits.Skip(1);
        if (orderHint)
            bits.Skip(3);
    }
    bits.Skip(3);  // superres, CDEF, restoration
    const bool high = bits.Flag();
    if (profile == 2 && high)
        bits.Skip(1);
    const bool mono = profile != 1 && bits.Flag();
    uint32_t primaries = 2, transfer = 2, matrix = 2;
    if (bits.Flag()) {
        primaries = bits.Bits(8);
        transfer = bits.Bits(8);
        matrix = bits.Bits(8);
    }
    // sRGB in the identity matrix is full range without saying so.
    if (!mono && primaries == 1 && transfer == 13 && matrix == 0)
        return true;
    return bits.Flag();
}

}  // namespace

std::optional<THevcPictureSize> HevcSpsSize(std::span<const uint8_t> unit)
{
    if (unit.size() < 2 || ((unit[0] >> 1) & 0x3F) != kHevcSps || (unit[0] & 1) != 0 || (unit[1] >> 3) != 0)
        return std::nullopt;
    const std::vector<uint8_t> raw = RawPayload(unit.subspan(2));
    THeifBits bits(raw);
    bits.Skip(4);
    const uint32_t subLayers = bits.Bits(3);
    bits.Skip(1);
    SkipProfileTierLevel(bits, subLayers);
    bits.ExpGolomb();  // the parameter set's id
    const uint32_t chroma = bits.ExpGolomb();
    if (chroma == 3)
        bits.Skip(1);
    THevcPictureSize size;
    size.width = bits.ExpGolomb();
    size.height = bits.ExpGolomb();
    size.shownWidth = size.width;
    size.shownHeight = size.height;
    if (bits.Flag()) {
        // Offsets count chroma samples: two luma samples across (and down) in 4:2:0.
        const uint64_t across = chroma == 1 || chroma == 2 ? 2 : 1, down = chroma == 1 ? 2 : 1;
        const uint64_t left = bits.ExpGolomb(), right = bits.ExpGolomb();
        const uint64_t top = bits.ExpGolomb(), bottom = bits.ExpGolomb();
        const uint64_t cutAcross = across * (left + right), cutDown = down * (top + bottom);
        size.shownWidth = cutAcross < size.width ? uint32_t(size.width - cutAcross) : 0;
        size.shownHeight = cutDown < size.height ? uint32_t(size.height - cutDown) : 0;
    }
    return size;
}

std::optional<bool> Av1FullRange(std::span<const uint8_t> obus)
{
    TByteCursor cursor(obus, [] { throw EInvalidGraphic("Ungültige HEIF-Datei", "AV1 data cut short"); });
    while (cursor.Remaining() > 0) {
        const uint8_t header = cursor.U8();
        if ((header & 0x04) != 0)
            cursor.Skip(1);
        const int type = (header >> 3) & 0x0F;
        // An OBU without its size runs to the end of the data.
        const uint64_t size = (header & 0x02) != 0 ? Leb128(cursor) : cursor.Remaining();
        if (size > cursor.Remaining())
            throw EInvalidGraphic("Ungültige HEIF-Datei", "AV1 data cut short");
        const std::span<const uint8_t> payload = cursor.Bytes(size_t(size));
        if (type == kAv1SequenceHeader) {
            THeifBits bits(payload);
            return Av1SequenceFullRange(bits);
        }
    }
    return std::nullopt;
}

}  // namespace corvalin
