#include "formats/webp/WebpFile.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/LargeBlocks.h"
#include "common/Limits.h"
#include "common/MemoryCharge.h"
#include "common/Stream.h"
#include "formats/metadata/Exif.h"
#include "formats/metadata/MetadataBlocks.h"
#include "picture/Bitmap.h"
#include "picture/RgbRows.h"
#include "picture/YCbCr.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowInvalid(const std::string& detail = {})
{
    throw EInvalidGraphic("Ungültige WebP-Datei", detail);
}

[[noreturn]] void ThrowWriteFailure(const std::string& detail)
{
    throw EInvalidGraphic("WebP-Datei kann nicht geschrieben werden", detail);
}

struct TDemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct TMuxDeleter {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// Where the first frame lies on the canvas, and its coded bytes.
struct TWebpFrame {
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::span<const uint8_t> bytes;
    bool lossless = false;  // coded as VP8L
    bool alpha = false;
};

// The file's chunks, parsed by the demuxer without decoding any pixels.
struct TWebpLayout {
    std::unique_ptr<WebPDemuxer, TDemuxDeleter> demux;
    int32_t width = 0;
    int32_t height = 0;
    size_t pictures = 0;
    bool animated = false;
    bool alpha = false;
    // Some frame is stored without loss: a lossy copy would lose what it keeps.
    bool lossless = false;
    TWebpFrame first;
};

// A frame's place and coding, checked against the canvas.
TWebpFrame FrameOf(const WebPIterator& frame, int32_t canvasWidth, int32_t canvasHeight)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &features) != VP8_STATUS_OK ||
        features.width != frame.width || features.height != frame.height || frame.x_offset < 0 || frame.y_offset < 0 ||
        frame.width <= 0 || frame.height <= 0 || frame.x_offset > canvasWidth - frame.width ||
        frame.y_offset > canvasHeight - frame.height)
        ThrowInvalid();
    return {frame.x_offset,
            frame.y_offset,
            frame.width,
            frame.height,
            {frame.fragment.bytes, frame.fragment.size},
            features.format == 2,
            features.has_alpha != 0};
}

TWebpLayout ReadLayout(std::span<const uint8_t> file)
{
    const WebPData data{file.data(), file.size()};
    TWebpLayout layout;
    layout.demux.reset(WebPDemux(&data));
    if (!layout.demux)
        ThrowInvalid();
    WebPDemuxer* demux = layout.demux.get();
    layout.width = int32_t(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH));
    layout.height = int32_t(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT));
    layout.pictures = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
    layout.animated = (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    if (layout.pictures == 0 || layout.width <= 0 || layout.height <= 0)
        ThrowInvalid();
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux, 1, &frame))
        ThrowInvalid();
    // An animation's frames are composed on a canvas of opacity.
    layout.alpha = layout.animated || frame.has_alpha != 0;
    try {
        layout.first = FrameOf(frame, layout.width, layout.height);
        layout.lossless = layout.first.lossless;
        while (!layout.lossless && WebPDemuxNextFrame(&frame))
            layout.lossless = FrameOf(frame, layout.width, layout.height).lossless;
    } catch (...) {
        WebPDemuxReleaseIterator(&frame);
        throw;
    }
    WebPDemuxReleaseIterator(&frame);
    return layout;
}

// What libwebp allocates by itself to decode the first frame: a lossless
// frame whole as 4-byte pixels, a lossy frame's opacity as a plane (and,
// when that is coded without loss, as 4-byte pixels once more); a lossy
// frame's colour only a few rows at a time.
uint64_t LibraryBytes(const TWebpLayout& layout)
{
    const uint64_t pixels = uint64_t(layout.first.width) * uint64_t(layout.first.height);
    if (layout.first.lossless)
        return 4 * pixels;
    return layout.first.alpha ? 5 * pixels : 0;
}

void KeepChunks(WebPDemuxer* demux, TPictureMetadata& metadata)
{
    TSideDataBudget budget;
    auto chunk = [&](const char* fourcc, auto keep) {
        WebPChunkIterator iterator;
        if (WebPDemuxGetChunk(demux, fourcc, 1, &iterator)) {
            keep(std::span<const uint8_t>(iterator.chunk.bytes, iterator.chunk.size));
            WebPDemuxReleaseChunkIterator(&iterator);
        }
    };
    chunk("ICCP", [&](auto bytes) { KeepIccProfile(metadata, bytes, budget); });
    // WebP turns nothing by itself: the Exif orientation stays as it is.
    chunk("EXIF", [&](auto bytes) { KeepExifBlock(metadata, bytes, false, budget); });
    chunk("XMP ", [&](auto bytes) { KeepXmpPacket(metadata, bytes, budget); });
}

// libwebp writes every row of a picture it decodes, so the raster is not
// cleared first: a few bytes declaring a huge picture then fail after the
// first damaged rows, not after the whole picture's memory is touched.
std::shared_ptr<TRaster> DecodeStill(std::span<const uint8_t> file, const TWebpLayout& layout)
{
    auto raster = TRaster::CreateUncleared(layout.width, layout.height,
                                           layout.alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    raster->hasAlpha = layout.alpha;
    const size_t bytes = raster->stride * size_t(raster->height);
    const int stride = int(raster->stride);
    const uint8_t* decoded = layout.alpha ? WebPDecodeBGRAInto(file.data(), file.size(), raster->Row(0), bytes, stride)
                                          : WebPDecodeBGRInto(file.data(), file.size(), raster->Row(0), bytes, stride);
    if (decoded == nullptr)
        ThrowInvalid();
    raster->ClearRowPadding();
    return raster;
}

// An opaque still decoded reduced by libwebp's scaling, which averages the
// pixels that meet in one. Pictures with opacity come whole: their colours
// would be averaged apart from it.
std::shared_ptr<TRaster> DecodeReducedStill(std::span<const uint8_t> file, const TWebpLayout& layout, int32_t factor)
{
    auto raster =
        TRaster::Create((layout.width - 1) / factor + 1, (layout.height - 1) / factor + 1, TPixelFormat::pf24bit);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        ThrowInvalid();
    config.options.use_scaling = 1;
    config.options.scaled_width = raster->width;
    config.options.scaled_height = raster->height;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = raster->Row(0);
    config.output.u.RGBA.stride = int(raster->stride);
    config.output.u.RGBA.size = raster->stride * size_t(raster->height);
    const VP8StatusCode status = WebPDecode(file.data(), file.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        ThrowInvalid();
    return raster;
}

// Whether the file is one opaque lossy picture: only such a picture's
// pixels come from YUV planes without loss.
bool IsOpaqueLossyStill(std::span<const uint8_t> file, const TWebpLayout& layout)
{
    WebPBitstreamFeatures features;
    return !layout.animated && !layout.alpha && WebPGetFeatures(file.data(), file.size(), &features) == VP8_STATUS_OK &&
           features.format == 1;
}

// Memory for the decoded planes, from the blocks pictures take (charged
// to the file's budget, reused without being cleared).
class TPlaneMemory {
public:
    explicit TPlaneMemory(size_t bytes) : bytes_(bytes), data_(TLargeBlockAllocator<uint8_t>().allocate(bytes)) {}
    ~TPlaneMemory() { TLargeBlockAllocator<uint8_t>().deallocate(data_, bytes_); }
    TPlaneMemory(const TPlaneMemory&) = delete;
    TPlaneMemory& operator=(const TPlaneMemory&) = delete;
    uint8_t* Data() const { return data_; }

private:
    size_t bytes_;
    uint8_t* data_;
};

// The chroma sample libwebp gives pixel `at` of a row: its four nearest
// samples weighed 9:3:3:1, the nearest row and column first.
uint8_t InterpolatedChroma(const uint8_t* near, const uint8_t* far, int at, int samples)
{
    const int column = at / 2;
    const int beside = std::clamp(at % 2 != 0 ? column + 1 : column - 1, 0, samples - 1);
    return uint8_t((9 * near[column] + 3 * near[beside] + 3 * far[column] + far[beside] + 8) >> 4);
}

// Only the `rows` rows nearest scaling samples of an opaque lossy still:
// the picture is decoded to its YUV planes, and only those rows are turned
// into colour, as libwebp would turn them.
std::shared_ptr<TRaster> DecodeSampledRows(std::span<const uint8_t> file, const TWebpLayout& layout, int32_t rows)
{
    const int width = layout.width, height = layout.height;
    const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
    const size_t lumaBytes = size_t(width) * size_t(height);
    const size_t chromaBytes = size_t(chromaWidth) * size_t(chromaHeight);
    TPlaneMemory planes(lumaBytes + 2 * chromaBytes);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        ThrowInvalid();
    config.output.colorspace = MODE_YUV;
    config.output.is_external_memory = 1;
    WebPYUVABuffer& yuv = config.output.u.YUVA;
    yuv.y = planes.Data();
    yuv.y_stride = width;
    yuv.y_size = lumaBytes;
    yuv.u = yuv.y + lumaBytes;
    yuv.v = yuv.u + chromaBytes;
    yuv.u_stride = yuv.v_stride = chromaWidth;
    yuv.u_size = yuv.v_size = chromaBytes;
    const VP8StatusCode status = WebPDecode(file.data(), file.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK || config.output.width != width || config.output.height != height)
        ThrowInvalid();
    const TBt601Colours colours(false);
    auto raster = TRaster::Create(width, rows, TPixelFormat::pf24bit);
    for (int32_t t = 0; t < rows; ++t) {
        const int y = SampledPosition(t, rows, height);
        const int nearRow = y / 2;
        const int farRow = std::clamp(y % 2 != 0 ? nearRow + 1 : nearRow - 1, 0, chromaHeight - 1);
        const uint8_t* luma = yuv.y + size_t(y) * size_t(width);
        const uint8_t* nearU = yuv.u + size_t(nearRow) * size_t(chromaWidth);
        const uint8_t* farU = yuv.u + size_t(farRow) * size_t(chromaWidth);
        const uint8_t* nearV = yuv.v + size_t(nearRow) * size_t(chromaWidth);
        const uint8_t* farV = yuv.v + size_t(farRow) * size_t(chromaWidth);
        uint8_t* out = raster->Row(t);
        for (int x = 0; x < width; ++x, out += 3)
            colours.ToBgr(luma[x], InterpolatedChroma(nearU, farU, x, chromaWidth),
                          InterpolatedChroma(nearV, farV, x, chromaWidth), out);
    }
    return raster;
}

// The animation's first picture, composed on its canvas as libwebp's
// animation decoder composes it (the canvas transparent, the frame decoded
// into its place), without that decoder's two canvases of its own.
std::shared_ptr<TRaster> DecodeFirstFrame(const TWebpLayout& layout)
{
    auto raster = TRaster::Create(layout.width, layout.height, TPixelFormat::pf32bit);
    raster->hasAlpha = true;
    const TWebpFrame& frame = layout.first;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        ThrowInvalid();
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = raster->Row(frame.y) + size_t(frame.x) * 4;
    config.output.u.RGBA.stride = int(raster->stride);
    config.output.u.RGBA.size = raster->stride * size_t(frame.height - 1) + size_t(frame.width) * 4;
    const VP8StatusCode status = WebPDecode(frame.bytes.data(), frame.bytes.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        ThrowInvalid();
    return raster;
}

// The picture encoded, in libwebp's memory.
struct TEncoded {
    WebPMemoryWriter writer;
    TEncoded() { WebPMemoryWriterInit(&writer); }
    ~TEncoded() { WebPMemoryWriterClear(&writer); }
    TEncoded(const TEncoded&) = delete;
    TEncoded& operator=(const TEncoded&) = delete;
};

struct TWebpPicture {
    WebPPicture picture;
    TWebpPicture()
    {
        if (!WebPPictureInit(&picture))
            ThrowWriteFailure("libwebp");
    }
    ~TWebpPicture() { WebPPictureFree(&picture); }
    TWebpPicture(const TWebpPicture&) = delete;
    TWebpPicture& operator=(const TWebpPicture&) = delete;
};

void ImportPixels(WebPPicture& target, const TRaster& raster)
{
    const int stride = int(raster.stride);
    int imported = 0;
    if (raster.hasAlpha) {
        imported = WebPPictureImportBGRA(&target, raster.Row(0), stride);
    } else if (raster.bitsPerPixel == 24) {
        imported = WebPPictureImportBGR(&target, raster.Row(0), stride);
    } else {
        std::vector<uint8_t> rgb(size_t(raster.width) * 3 * size_t(raster.height));
        for (int y = 0; y < raster.height; ++y)
            RowToRgb(raster, y, rgb.data() + size_t(y) * size_t(raster.width) * 3, false);
        imported = WebPPictureImportRGB(&target, rgb.data(), raster.width * 3);
    }
    if (!imported)
        ThrowWriteFailure("libwebp");
}

void Encode(const TRaster& raster, int32_t quality, TEncoded& encoded)
{
    WebPConfig config;
    if (!WebPConfigInit(&config))
        ThrowWriteFailure("libwebp");
    // Quality 100 asks for no loss at all: lossless, at libwebp's usual
    // effort, keeping even the colours under full transparency.
    config.lossless = quality == 100 ? 1 : 0;
    config.exact = config.lossless;
    if (!config.lossless)
        config.quality = float(quality);
    TWebpPicture picture;
    picture.picture.width = raster.width;
    picture.picture.height = raster.height;
    picture.picture.use_argb = config.lossless || raster.hasAlpha;
    ImportPixels(picture.picture, raster);
    picture.picture.writer = WebPMemoryWrite;
    picture.picture.custom_ptr = &encoded.writer;
    if (!WebPEncode(&config, &picture.picture))
        ThrowWriteFailure("libwebp error " + std::to_string(int(picture.picture.error_code)));
}

// The encoded picture with the chunks of metadata that the format holds.
std::vector<uint8_t> WithChunks(const TEncoded& encoded, const TRaster& raster, const TPictureMetadata& metadata)
{
    const std::vector<uint8_t> exif = ExifBlockForPicture(metadata, raster.width, raster.height, false);
    const std::span<const uint8_t> xmp = XmpPacketOf(metadata);
    const bool icc = IsRgbIccProfile(metadata.iccProfile);
    if (exif.empty() && xmp.empty() && !icc)
        return {encoded.writer.mem, encoded.writer.mem + encoded.writer.size};
    const WebPData image{encoded.writer.mem, encoded.writer.size};
    std::unique_ptr<WebPMux, TMuxDeleter> mux(WebPMuxCreate(&image, 1));
    if (!mux)
        ThrowWriteFailure("libwebpmux");
    auto set = [&](const char* fourcc, std::span<const uint8_t> bytes) {
        const WebPData chunk{bytes.data(), bytes.size()};
        if (!bytes.empty() && WebPMuxSetChunk(mux.get(), fourcc, &chunk, 1) != WEBP_MUX_OK)
            ThrowWriteFailure("libwebpmux");
    };
    if (icc)
        set("ICCP", metadata.iccProfile);
    set("EXIF", exif);
    set("XMP ", xmp);
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
        ThrowWriteFailure("libwebpmux");
    std::vector<uint8_t> bytes(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    return bytes;
}

// Reads the layout, holds the canvas to the raster limit before any decoder
// allocates, and keeps the metadata chunks beside what `decode` made of it.
template <typename Decode>
size_t LoadDecoded(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata, Decode decode)
{
    const TWebpLayout layout = ReadLayout(file);
    CheckedRasterBytes(layout.width, layout.height, 32);
    // A lossless picture (any frame VP8L): a lossy rewrite would lose what it keeps.
    metadata.source.lossless = layout.lossless;
    std::shared_ptr<TRaster> raster;
    {
        const TMemoryCharge charge(LibraryBytes(layout), "Die Datei");
        raster = decode(layout);
    }
    KeepChunks(layout.demux.get(), metadata);
    picture.AdoptRaster(std::move(raster));
    return layout.pictures;
}

}  // namespace

size_t LoadWebpFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    return LoadDecoded(picture, file, metadata, [&](const TWebpLayout& layout) {
        return layout.animated ? DecodeFirstFrame(layout) : DecodeStill(file, layout);
    });
}

size_t LoadWebpReduced(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                       const TReductionRequest& reduction)
{
    return LoadDecoded(picture, file, metadata, [&](const TWebpLayout& layout) {
        const int32_t factor = std::max(1, reduction.largestFactor(layout.width, layout.height));
        return layout.animated               ? DecodeFirstFrame(layout)
               : layout.alpha || factor == 1 ? DecodeStill(file, layout)
                                             : DecodeReducedStill(file, layout, factor);
    });
}

size_t LoadWebpRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows)
{
    return LoadDecoded(picture, file, metadata, [&](const TWebpLayout& layout) {
        const int32_t wanted = IsOpaqueLossyStill(file, layout) ? RequestedRows(rows, layout.width, layout.height) : 0;
        return wanted > 0        ? DecodeSampledRows(file, layout, wanted)
               : layout.animated ? DecodeFirstFrame(layout)
                                 : DecodeStill(file, layout);
    });
}

std::vector<uint8_t> EncodeWebpFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    if (quality < 1 || quality > 100)
        throw ERangeError(msg::RangeError);
    const TRaster& raster = *picture.Raster();
    if (raster.width > WEBP_MAX_DIMENSION || raster.height > WEBP_MAX_DIMENSION)
        ThrowWriteFailure(FormatText("%d x %d Pixel, höchstens %d x %d",
                                     {std::to_string(raster.width), std::to_string(raster.height),
                                      std::to_string(WEBP_MAX_DIMENSION), std::to_string(WEBP_MAX_DIMENSION)}));
    TEncoded encoded;
    Encode(raster, quality, encoded);
    return WithChunks(encoded, raster, metadata);
}

void SaveWebpFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata)
{
    const std::vector<uint8_t> bytes = EncodeWebpFile(picture, quality, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(bytes); });
}

std::optional<TProbe> ProbeWebpFile(std::span<const uint8_t> file)
{
    const TWebpLayout layout = ReadLayout(file);
    TPictureMetadata metadata;
    KeepChunks(layout.demux.get(), metadata);
    TProbe probe;
    probe.width = layout.width;
    probe.height = layout.height;
    probe.alpha = layout.alpha;
    probe.pictures = layout.pictures;
    probe.orientation = std::max(ExifOrientation(metadata.exif), 1);
    probe.iccProfile = !metadata.iccProfile.empty();
    return probe;
}

}  // namespace corvalin
