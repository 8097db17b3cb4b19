#include "formats/gif/GifImage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/gif/GifReader.h"
#include "formats/gif/GifWriter.h"
#include "common/FileIO.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "picture/Backdrop.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr int32_t kMaxGifSide = 65535;

// A raster with the given palette: the same raster when it already has it.
std::shared_ptr<TRaster> WithPalette(const std::shared_ptr<TRaster>& raster, const std::vector<TColor>& palette)
{
    if (raster->palette == palette)
        return raster;
    auto copy = std::make_shared<TRaster>(*raster);
    copy->palette = palette;
    return copy;
}

// A screen-sized device picture, white, with the image's shown part drawn at
// its position without transparency.
std::shared_ptr<TRaster> RenderOnScreen(const TGIFHeader& header, const TGIFSubImage& image,
                                        const std::vector<TColor>& palette)
{
    if (header.width == 0 || header.height == 0)
        return nullptr;
    auto screen = CreateGifRaster(header.width, header.height, TPixelFormat::pfDevice);
    const uint32_t white = 0x00FFFFFF;  // blue, green, red 255; unused byte 0
    for (int32_t y = 0; y < screen->height; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(screen->Row(y));
        std::fill(row, row + screen->width, white);
    }
    const TRaster* pixels = image.pixels.get();
    if (pixels == nullptr)
        return screen;

    std::array<uint32_t, 256> bgra{};
    for (size_t i = 0; i < 256; ++i)
        bgra[i] = uint32_t(BlueOf(palette[i])) | uint32_t(GreenOf(palette[i])) << 8 | uint32_t(RedOf(palette[i])) << 16;
    const int32_t width = std::min(pixels->width, screen->width - int32_t(image.left));
    const int32_t height = std::min(pixels->height, screen->height - int32_t(image.top));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = pixels->Row(y);
        uint32_t* out = reinterpret_cast<uint32_t*>(screen->Row(image.top + y)) + image.left;
        for (int32_t x = 0; x < width; ++x)
            out[x] = bgra[in[x]];
    }
    return screen;
}

// 1- and 4-bit rows unpacked to one index per byte, most significant bits first.
std::shared_ptr<TRaster> UnpackIndices(const TRaster& source)
{
    auto indices = CreateGifRaster(source.width, source.height, TPixelFormat::pf8bit);
    const int bits = source.bitsPerPixel;
    const int perByte = 8 / bits;
    const uint8_t mask = uint8_t((1u << bits) - 1);
    for (int32_t y = 0; y < source.height; ++y) {
        const uint8_t* in = source.Row(y);
        uint8_t* out = indices->Row(y);
        if (bits == 8) {
            std::memcpy(out, in, size_t(source.width));
            continue;
        }
        for (int32_t x = 0; x < source.width; ++x)
            out[x] = uint8_t(in[x / perByte] >> (8 - bits * (x % perByte + 1))) & mask;
    }
    return indices;
}

// The web palette's first free entry, for the pixels of a picture with
// alpha that are transparent.
constexpr uint8_t kWebTransparentIndex = 216;

// Each channel to level (v + 3) div 51, each pixel on its own; with alpha,
// pixels of alpha below 128 become kWebTransparentIndex and the others lie
// over the backdrop.
std::shared_ptr<TRaster> ReduceToWebPalette(const TRaster& source)
{
    std::array<uint8_t, 256> level{};
    for (int v = 0; v < 256; ++v)
        level[v] = uint8_t((v + 3) / 51);
    auto indices = CreateGifRaster(source.width, source.height, TPixelFormat::pf8bit);
    std::vector<uint8_t> bgr(size_t(source.width) * 3);
    for (int32_t y = 0; y < source.height; ++y) {
        const uint8_t* alpha = source.hasAlpha ? source.Row(y) + 3 : nullptr;
        if (alpha != nullptr)
            CompositeRowOverBackdrop(source.Row(y), source.width, bgr.data());
        else
            DecodeRowToBgr(source, y, bgr.data());
        uint8_t* out = indices->Row(y);
        for (int32_t x = 0; x < source.width; ++x) {
            const uint8_t* p = &bgr[3 * size_t(x)];
            out[x] = alpha != nullptr && alpha[4 * size_t(x)] < 128
                         ? kWebTransparentIndex
                         : uint8_t(36 * level[p[2]] + 6 * level[p[1]] + level[p[0]]);
        }
    }
    return indices;
}

bool UsesIndex(const TRaster& indices, uint8_t index)
{
    for (int32_t y = 0; y < indices.height; ++y) {
        const uint8_t* row = indices.Row(y);
        if (std::find(row, row + indices.width, index) != row + indices.width)
            return true;
    }
    return false;
}

bool IsIndexed(TPixelFormat format)
{
    return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

}  // namespace

const std::vector<TColor>& WebPalette256()
{
    static const std::vector<TColor> palette = [] {
        std::vector<TColor> colors(256, clBlack);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    colors[size_t(36 * r + 6 * g + b)] = RGB(uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b));
        return colors;
    }();
    return palette;
}

std::vector<TColor> PaddedGifPalette(const std::vector<TColor>& map)
{
    std::vector<TColor> palette(256, clBlack);
    std::copy_n(map.begin(), std::min<size_t>(map.size(), 256), palette.begin());
    return palette;
}

std::shared_ptr<TRaster> CreateGifRaster(int32_t width, int32_t height, TPixelFormat format)
{
    CheckedRasterBytes(width, height, StorageBitsOf(format));
    try {
        return TRaster::Create(width, height, format);
    } catch (const EOutOfResources&) {
        // The size passed the limit, so the memory itself could not be had.
        throw EOutOfResources(gifmsg::NoDibMemory);
    }
}

void TGIFImage::Clear()
{
    header_ = TGIFHeader{};
    images_.clear();
    readFromFile_ = false;
    rendering_.reset();
}

size_t TGIFImage::LoadFromBytes(std::span<const uint8_t> bytes)
{
    Clear();
    TGifContents contents = ReadGif(bytes);
    header_ = std::move(contents.header);
    images_ = std::move(contents.images);
    readFromFile_ = true;
    return contents.consumed;
}

std::shared_ptr<TRaster> TGIFImage::RenderBitmap() const
{
    if (rendering_ || images_.empty())
        return rendering_;
    const TGIFSubImage& image = images_.front();
    const std::vector<TColor>& map = image.ActiveMap(header_);
    if (map.empty())
        throw GIFException(gifmsg::NoColorTable);
    const std::vector<TColor> palette = PaddedGifPalette(map);

    // Device format is 32 bits per pixel, so the display never shows 8 bits or
    // fewer and the first image is never dithered to the web palette.
    if (image.width == header_.width && image.height == header_.height) {
        if (image.pixels) {
            rendering_ = WithPalette(image.pixels, palette);
        } else if (image.width > 0 && image.height > 0) {
            rendering_ = CreateGifRaster(image.width, image.height, TPixelFormat::pf8bit);
            rendering_->palette = palette;
        }
    } else {
        rendering_ = RenderOnScreen(header_, image, palette);
    }
    return rendering_;
}

std::shared_ptr<TRaster> TGIFImage::RenderWithAlpha() const
{
    const std::shared_ptr<TRaster> rendering = RenderBitmap();
    if (rendering == nullptr || !images_.front().transparent || images_.front().pixels == nullptr)
        return nullptr;
    const TGIFSubImage& image = images_.front();
    const TRaster& pixels = *image.pixels;
    if (!UsesIndex(pixels, image.transparentIndex))
        return nullptr;
    auto result = CreateGifRaster(rendering->width, rendering->height, TPixelFormat::pf32bit);
    result->hasAlpha = true;
    std::vector<uint8_t> bgr(size_t(rendering->width) * 3);
    for (int32_t y = 0; y < result->height; ++y) {
        DecodeRowToBgr(*rendering, y, bgr.data());
        uint8_t* out = result->Row(y);
        for (int32_t x = 0; x < result->width; ++x) {
            std::memcpy(out + 4 * size_t(x), &bgr[3 * size_t(x)], 3);
            out[4 * size_t(x) + 3] = 255;
        }
    }
    // The image's pixels of the transparent index, where they lie on the screen.
    const int32_t width = std::min(pixels.width, result->width - int32_t(image.left));
    const int32_t height = std::min(pixels.height, result->height - int32_t(image.top));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = pixels.Row(y);
        uint8_t* out = result->Row(image.top + y) + 4 * size_t(image.left);
        for (int32_t x = 0; x < width; ++x)
            if (in[x] == image.transparentIndex)
                out[4 * size_t(x) + 3] = 0;
    }
    return result;
}

void TGIFImage::AssignTo(TBitmap& target) const
{
    const std::shared_ptr<TRaster> rendering = RenderBitmap();
    // The picture shows the image without its transparency.
    target.Transparent = false;
    target.TransparentMode = TTransparentMode::tmAuto;
    target.AdoptRaster(rendering);
}

void TGIFImage::ImportBitmap(const TBitmap& picture)
{
    Clear();
    TGIFSubImage image;
    if (const TRaster* raster = picture.Raster()) {
        if (raster->width > kMaxGifSide || raster->height > kMaxGifSide)
            throw ERangeError(msg::RangeError);
        image.width = uint16_t(raster->width);
        image.height = uint16_t(raster->height);
        header_.width = image.width;
        header_.height = image.height;
        if (IsIndexed(raster->format)) {
            image.localMap.assign(raster->palette.begin(),
                                  raster->palette.begin() + std::min<size_t>(raster->palette.size(), 256));
            image.pixels = UnpackIndices(*raster);
            image.transparent =
                raster->transparentIndex >= 0 && size_t(raster->transparentIndex) < image.localMap.size();
            image.transparentIndex = uint8_t(std::max(raster->transparentIndex, 0));
        } else {
            image.localMap = WebPalette256();
            image.pixels = ReduceToWebPalette(*raster);
            if (raster->hasAlpha && UsesIndex(*image.pixels, kWebTransparentIndex)) {
                image.transparent = true;
                image.transparentIndex = kWebTransparentIndex;
                image.localMap[kWebTransparentIndex] = kBackdropColor;
            }
        }
        image.pixels->palette = PaddedGifPalette(image.localMap);
        image.hasData = true;
    }
    images_.push_back(std::move(image));
}

void TGIFImage::SaveToStream(TStream& stream) const
{
    if (readFromFile_)
        throw GIFException(gifmsg::SaveOfReadGif);
    WriteGif(stream, header_, images_);
}

size_t LoadGifFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    TGIFImage gif;
    gif.LoadFromBytes(file);
    picture.AssignPicture(&gif);
    if (auto withAlpha = gif.RenderWithAlpha())
        picture.AdoptRaster(std::move(withAlpha));
    metadata.source.damaged = !gif.Images().empty() && gif.Images().front().damaged;
    return gif.Images().size();
}

void SaveGifFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    TGIFImage gif;
    gif.ImportBitmap(picture);
    WriteFileAtomically(fileName, [&](TStream& file) { gif.SaveToStream(file); });
}

}  // namespace corvalin
