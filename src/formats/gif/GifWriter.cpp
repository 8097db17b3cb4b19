#include "formats/gif/GifWriter.h"

#include <algorithm>

#include "common/ByteCursor.h"
#include "common/Stream.h"
#include "formats/lzw/LzwEncoder.h"

namespace corvalin {

namespace {

constexpr size_t kSubBlockBytes = 255;

constexpr auto LE = TByteOrder::LittleEndian;

// Bits per entry of a colour map: enough for all entries, at least 1; 0 for none.
int MapBits(size_t entries)
{
    int bits = 0;
    while ((size_t(1) << bits) < entries)
        ++bits;
    return entries == 0 ? 0 : std::max(bits, 1);
}

// Moves the encoder's complete 255-byte runs into sub-blocks on the stream;
// with `last` the rest too, followed by the zero-length block.
void WriteSubBlocks(TStream& stream, std::vector<uint8_t>& code, bool last)
{
    std::vector<uint8_t> blocks;
    size_t done = 0;
    while (code.size() - done >= kSubBlockBytes || (last && done < code.size())) {
        const size_t length = std::min(kSubBlockBytes, code.size() - done);
        blocks.push_back(uint8_t(length));
        blocks.insert(blocks.end(), code.begin() + done, code.begin() + done + length);
        done += length;
    }
    if (last)
        blocks.push_back(0);
    code.erase(code.begin(), code.begin() + done);
    stream.WriteBuffer(blocks);
}

void CheckIndices(const uint8_t* row, int32_t width, size_t mapEntries)
{
    uint8_t highest = 0;
    for (int32_t x = 0; x < width; ++x)
        highest = std::max(highest, row[x]);
    if (highest >= mapEntries)
        throw GIFException(gifmsg::ColorNotInTable);
}

// The graphic control extension that names the image's transparent index.
void WriteGraphicControl(TStream& stream, const TGIFSubImage& image)
{
    const std::vector<uint8_t> extension{0x21, 0xF9, 4, 1, 0, 0, image.transparentIndex, 0};
    stream.WriteBuffer(extension);
}

void WriteImage(TStream& stream, const TGIFSubImage& image)
{
    if (image.transparent)
        WriteGraphicControl(stream, image);
    const int bits = MapBits(image.localMap.size());
    std::vector<uint8_t> head{0x2C};
    Put16(head, image.left, LE);
    Put16(head, image.top, LE);
    Put16(head, image.width, LE);
    Put16(head, image.height, LE);
    head.push_back(bits == 0 ? 0 : uint8_t(0x80 | (bits - 1)));
    if (bits > 0) {
        for (const TColor color : image.localMap) {
            head.push_back(RedOf(color));
            head.push_back(GreenOf(color));
            head.push_back(BlueOf(color));
        }
        head.resize(head.size() + 3 * ((size_t(1) << bits) - image.localMap.size()), 0);
    }
    const int minCodeSize = std::max(bits, 2);
    head.push_back(uint8_t(minCodeSize));
    stream.WriteBuffer(head);

    TGifLzwEncoder encoder(minCodeSize);
    const TRaster& pixels = *image.pixels;
    for (int32_t y = 0; y < pixels.height; ++y) {
        CheckIndices(pixels.Row(y), pixels.width, image.localMap.size());
        encoder.Encode(pixels.Row(y), size_t(pixels.width));
        if (encoder.Output().size() >= kSubBlockBytes)
            WriteSubBlocks(stream, encoder.Output(), false);
    }
    encoder.Finish();
    WriteSubBlocks(stream, encoder.Output(), true);
}

}  // namespace

void WriteGif(TStream& stream, const TGIFHeader& header, const std::vector<TGIFSubImage>& images)
{
    // Colour resolution and size both follow the deepest map; with no map at
    // all, b - 1 kept to three bits gives 7 as well.
    int bits = 0;
    for (const TGIFSubImage& image : images)
        bits = std::max(bits, MapBits(image.localMap.size()));
    const uint8_t field = uint8_t((bits - 1) & 7);

    // Transparency needs the graphic control extension of version 89a.
    const bool transparent =
        std::any_of(images.begin(), images.end(), [](const TGIFSubImage& image) { return image.transparent; });
    std::vector<uint8_t> head{'G', 'I', 'F', '8', transparent ? uint8_t('9') : uint8_t('7'), 'a'};
    Put16(head, header.width, LE);
    Put16(head, header.height, LE);
    head.push_back(uint8_t(field << 4 | field));
    head.push_back(header.background);
    head.push_back(header.aspectRatio);
    stream.WriteBuffer(head);

    for (const TGIFSubImage& image : images)
        if (image.hasData && image.pixels)
            WriteImage(stream, image);
    const uint8_t trailer = 0x3B;
    stream.WriteBuffer(&trailer, 1);
}

}  // namespace corvalin
