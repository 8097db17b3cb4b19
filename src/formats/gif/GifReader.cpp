#include "formats/gif/GifReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/ByteCursor.h"
#include "formats/gif/GifErrors.h"
#include "formats/lzw/LzwDecoder.h"

namespace corvalin {

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;  // "!"
constexpr uint8_t kImageSeparator = 0x2C;       // ","
constexpr uint8_t kTrailer = 0x3B;              // ";"
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kColorTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;

constexpr auto LE = TByteOrder::LittleEndian;

[[noreturn]] void ThrowPrematureEnd()
{
    throw GIFException(gifmsg::PrematureEnd);
}

bool StartsWithGif(std::span<const uint8_t> bytes)
{
    return std::toupper(bytes[0]) == 'G' && std::toupper(bytes[1]) == 'I' && std::toupper(bytes[2]) == 'F';
}

// Row of the image that the stream's row `r` fills: interlaced images store
// every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
int32_t DeinterlacedRow(int32_t r, int32_t height)
{
    const int32_t pass1 = (height + 7) / 8;
    const int32_t pass2 = (height + 3) / 8;
    const int32_t pass3 = (height + 1) / 4;
    if (r < pass1)
        return 8 * r;
    r -= pass1;
    if (r < pass2)
        return 8 * r + 4;
    r -= pass2;
    if (r < pass3)
        return 4 * r + 2;
    return 2 * (r - pass3) + 1;
}

// The one state object of a read: the bytes and the position in them.
class TGifReader {
public:
    // With `layoutOnly`, image data are passed by undecoded (and the images
    // hold no pixels).
    TGifReader(std::span<const uint8_t> bytes, bool layoutOnly) : in_(bytes, ThrowPrematureEnd), layoutOnly_(layoutOnly)
    {
    }

    TGifContents Read();

private:
    bool AtEnd() const { return in_.Remaining() == 0; }
    uint8_t Peek() const { return in_.Data()[in_.Position()]; }
    size_t Remaining() const { return in_.Remaining(); }
    uint8_t Byte() { return in_.U8(); }
    const uint8_t* Take(size_t count) { return in_.Bytes(count).data(); }

    void ReadSignature();
    void ReadScreenDescriptor(TGIFHeader& header);
    std::vector<TColor> ReadColorMap(uint8_t packed);
    TGIFSubImage ReadImage(TGIFHeader& header, bool keepPixels);
    static void FitEmptyScreenToImage(TGIFHeader& header, const TGIFSubImage& image);
    void ReadExtension(TGIFSubImage& image);
    void ReadGraphicControl(TGIFSubImage& image);
    void SkipSubBlocks();
    void ReadImageDescriptor(const TGIFHeader& header, TGIFSubImage& image);
    void ReadImageData(const TGIFHeader& header, TGIFSubImage& image, bool keepPixels);
    std::vector<uint8_t> JoinDataSubBlocks();

    TByteCursor in_;
    bool layoutOnly_;
};

TGifContents TGifReader::Read()
{
    TGifContents contents;
    ReadSignature();
    ReadScreenDescriptor(contents.header);

    auto skipZeros = [this] {
        while (!AtEnd() && Peek() == 0)
            in_.Skip(1);
    };
    skipZeros();
    // Any byte but an extension or an image ends the blocks, keeping the
    // images read so far.
    while (!AtEnd() && (Peek() == kExtensionIntroducer || Peek() == kImageSeparator)) {
        const bool first = contents.images.empty();
        contents.images.push_back(ReadImage(contents.header, first));
        skipZeros();
    }
    // The trailer: whatever byte stands here is accepted.
    if (!AtEnd())
        in_.Skip(1);
    contents.consumed = in_.Position();
    return contents;
}

void TGifReader::ReadSignature()
{
    // Some files carry four bytes in front of the signature.
    if (!StartsWithGif({Take(6), 6})) {
        in_.Seek(4);
        if (!StartsWithGif({Take(6), 6}))
            throw GIFException(gifmsg::BadSignature);
    }
    // The version is not checked: every version is read the same way.
}

void TGifReader::ReadScreenDescriptor(TGIFHeader& header)
{
    const uint8_t* p = Take(7);
    header.width = Get16(p, LE);
    header.height = Get16(p + 2, LE);
    header.background = p[5];
    header.aspectRatio = p[6];
    header.globalMap = ReadColorMap(p[4]);
}

std::vector<TColor> TGifReader::ReadColorMap(uint8_t packed)
{
    if ((packed & kColorTableFlag) == 0)
        return {};
    const size_t entries = size_t(2) << (packed & 7);
    const uint8_t* p = Take(3 * entries);
    std::vector<TColor> map(entries);
    for (size_t i = 0; i < entries; ++i)
        map[i] = RGB(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
    return map;
}

TGIFSubImage TGifReader::ReadImage(TGIFHeader& header, bool keepPixels)
{
    TGIFSubImage image;
    while (!AtEnd() && Peek() == kExtensionIntroducer)
        ReadExtension(image);
    // Extensions that no image follows still make an image, one without data.
    if (AtEnd() || Peek() == kTrailer || Peek() == 0)
        return image;
    ReadImageDescriptor(header, image);
    if (keepPixels)
        FitEmptyScreenToImage(header, image);
    ReadImageData(header, image, keepPixels);
    return image;
}

void TGifReader::ReadExtension(TGIFSubImage& image)
{
    in_.Skip(1);  // the "!"
    switch (Byte()) {
    case kGraphicControlLabel:
        ReadGraphicControl(image);
        break;
    case kPlainTextLabel:
    case kCommentLabel:
        SkipSubBlocks();
        break;
    case kApplicationLabel: {
        const uint8_t blockSize = Byte();
        if (blockSize < 10)
            throw GIFException(gifmsg::BadAppExtensionSize);
        Take(blockSize);  // identifier and authentication code
        SkipSubBlocks();
        break;
    }
    default:
        throw GIFException(gifmsg::UnknownExtension);
    }
}

void TGifReader::ReadGraphicControl(TGIFSubImage& image)
{
    // Block size, packed byte, delay (2), transparent index, terminator; the
    // block size is not checked. An extension cut short is dropped silently.
    if (Remaining() < 6) {
        in_.Seek(in_.Size());
        return;
    }
    const uint8_t* p = Take(6);
    image.transparent = (p[1] & 1) != 0;
    image.transparentIndex = p[4];
}

void TGifReader::SkipSubBlocks()
{
    for (uint8_t length = Byte(); length != 0; length = Byte())
        Take(length);
}

// Some writers leave the logical screen at 0 x 0. Cutting the first image to
// such a screen would lose the whole picture (and an in-place conversion
// would then replace the file with an empty one), so the screen is taken to
// be just large enough for the image, as other decoders show it.
void TGifReader::FitEmptyScreenToImage(TGIFHeader& header, const TGIFSubImage& image)
{
    if (header.width != 0 && header.height != 0)
        return;
    header.width = uint16_t(std::min(0xFFFF, image.left + image.width));
    header.height = uint16_t(std::min(0xFFFF, image.top + image.height));
}

void TGifReader::ReadImageDescriptor(const TGIFHeader& header, TGIFSubImage& image)
{
    const uint8_t* p = Take(10);  // p[0] is the image separator
    image.left = Get16(p + 1, LE);
    image.top = Get16(p + 3, LE);
    image.width = Get16(p + 5, LE);
    image.height = Get16(p + 7, LE);
    if (image.width == 0 || image.height == 0) {
        image.width = header.width;
        image.height = header.height;
    }
    image.interlaced = (p[9] & kInterlaceFlag) != 0;
    image.localMap = ReadColorMap(p[9]);
    image.hasData = true;
}

std::vector<uint8_t> TGifReader::JoinDataSubBlocks()
{
    // Up to the zero-length block; a block longer than the data is taken as
    // far as the data go.
    std::vector<uint8_t> joined;
    while (!AtEnd()) {
        const size_t declared = Byte();
        const size_t length = std::min(declared, Remaining());
        if (length == 0)
            break;
        const std::span<const uint8_t> block = in_.Bytes(length);
        joined.insert(joined.end(), block.begin(), block.end());
    }
    return joined;
}

// The part of the first image that rendering can show (see TGIFSubImage).
std::shared_ptr<TRaster> CreateKeptPixels(const TGIFHeader& header, const TGIFSubImage& image)
{
    const bool covers = image.width == header.width && image.height == header.height;
    const int32_t keptWidth = covers ? image.width : std::clamp(header.width - image.left, 0, int(image.width));
    const int32_t keptHeight = covers ? image.height : std::clamp(header.height - image.top, 0, int(image.height));
    if (keptWidth == 0 || keptHeight == 0)
        return nullptr;
    auto pixels = CreateGifRaster(keptWidth, keptHeight, TPixelFormat::pf8bit);
    pixels->palette = PaddedGifPalette(image.ActiveMap(header));
    if (image.transparent)
        std::memset(pixels->pixels.data(), image.transparentIndex, pixels->pixels.size());
    return pixels;
}

// Decodes the image's rows (in stream order, de-interlaced here) into the
// kept pixels, up to where the data end.
// Returns how many pixels the data reached.
uint64_t DecodeRows(TLzwDecoder& decoder, const TGIFSubImage& image)
{
    TRaster& pixels = *image.pixels;
    std::vector<uint8_t> row(image.width);
    uint64_t decoded = 0;
    for (int32_t r = 0; r < image.height; ++r) {
        const size_t count = decoder.Read(row);
        decoded += count;
        const int32_t y = image.interlaced ? DeinterlacedRow(r, image.height) : r;
        if (y < pixels.height)
            std::memcpy(pixels.Row(y), row.data(), std::min<size_t>(count, size_t(pixels.width)));
        if (count < row.size())
            break;
    }
    return decoded;
}

void TGifReader::ReadImageData(const TGIFHeader& header, TGIFSubImage& image, bool keepPixels)
{
    if (keepPixels && !layoutOnly_)
        image.pixels = CreateKeptPixels(header, image);
    // Until the data are decoded to the last pixel the image is incomplete.
    image.damaged = true;
    if (AtEnd())
        return;  // no code size: the image keeps its fill
    const int minCodeSize = Byte();
    const std::vector<uint8_t> data = JoinDataSubBlocks();
    if (layoutOnly_)
        return;
    // Code sizes the decoder cannot take leave the image at its fill value.
    if (minCodeSize > kLzwMaxMinCodeSize)
        return;
    TLzwDecoder decoder(GifLzw(minCodeSize));
    decoder.Start(data);
    const uint64_t pixels = uint64_t(image.width) * image.height;
    // A frame nobody looks at is only checked.
    const uint64_t decoded = image.pixels ? DecodeRows(decoder, image) : decoder.Skip(pixels);
    image.damaged = decoded < pixels;
    // The one damage that fails the file; any other leaves the rest at its fill.
    if (decoder.Stopped() == TLzwStop::SelfReference)
        throw GIFException(gifmsg::CircularTable);
}

}  // namespace

TGifContents ReadGif(std::span<const uint8_t> bytes)
{
    return TGifReader(bytes, false).Read();
}

TGifContents ReadGifLayout(std::span<const uint8_t> bytes)
{
    return TGifReader(bytes, true).Read();
}

}  // namespace corvalin
