#include "formats/jxl/JxlFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <jxl/decode.h>
#include <jxl/encode.h>

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "formats/metadata/MetadataBlocks.h"
#include "picture/Bitmap.h"
#include "picture/RgbRows.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowInvalid(const std::string& detail = {})
{
    throw EInvalidGraphic("Ungültige JPEG-XL-Datei", detail);
}

[[noreturn]] void ThrowWriteFailure(const std::string& detail)
{
    throw EInvalidGraphic("JPEG-XL-Datei kann nicht geschrieben werden", detail);
}

struct TJxlDeleter {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
    void operator()(JxlEncoder* encoder) const { JxlEncoderDestroy(encoder); }
};

// A metadata box being read: its kind and the bytes received so far.
struct TBox {
    enum { None, Exif, Xmp } kind = None;
    std::vector<uint8_t> bytes;
};

class TJxlReader {
public:
    TJxlReader(std::span<const uint8_t> file, TPictureMetadata& metadata)
        : file_(file), decoder_(JxlDecoderCreate(nullptr)), metadata_(metadata)
    {
        if (!decoder_)
            ThrowInvalid("libjxl");
        const int events =
            JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE | JXL_DEC_BOX;
        if (JxlDecoderSubscribeEvents(decoder_.get(), events) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(decoder_.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
            ThrowInvalid();
        JxlDecoderCloseInput(decoder_.get());
    }

    // Runs the decoder to the end: the first frame into the raster, the
    // metadata boxes kept; an animation's later frames are only counted
    // (and boxes behind them are not read).
    size_t Read()
    {
        for (;;) {
            const JxlDecoderStatus status = JxlDecoderProcessInput(decoder_.get());
            switch (status) {
            case JXL_DEC_BASIC_INFO: PrepareRaster(); break;
            case JXL_DEC_COLOR_ENCODING: KeepProfile(); break;
            case JXL_DEC_FRAME:
                // The first picture is in; the others are only counted.
                if (++frames_ > 1)
                    return CountFrames();
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: SetOutput(); break;
            case JXL_DEC_FULL_IMAGE: break;
            case JXL_DEC_BOX: StartBox(); break;
            case JXL_DEC_BOX_NEED_MORE_OUTPUT: GrowBox(); break;
            case JXL_DEC_SUCCESS:
                FinishBox();
                if (!raster_ || frames_ == 0)
                    ThrowInvalid("no frame");
                return frames_;
            default: ThrowInvalid("libjxl status " + std::to_string(int(status)));
            }
        }
    }

    std::shared_ptr<TRaster> Raster() { return std::move(raster_); }

private:
    // A second pass that asks for no pixels, so the frames are passed by.
    size_t CountFrames()
    {
        FinishBox();
        std::unique_ptr<JxlDecoder, TJxlDeleter> counter(JxlDecoderCreate(nullptr));
        if (!counter || JxlDecoderSubscribeEvents(counter.get(), JXL_DEC_FRAME) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(counter.get(), file_.data(), file_.size()) != JXL_DEC_SUCCESS)
            ThrowInvalid("libjxl");
        JxlDecoderCloseInput(counter.get());
        size_t frames = 0;
        for (;;) {
            const JxlDecoderStatus status = JxlDecoderProcessInput(counter.get());
            if (status == JXL_DEC_FRAME)
                ++frames;
            else if (status == JXL_DEC_SUCCESS)
                return std::max<size_t>(frames, 2);
            else
                ThrowInvalid("libjxl status " + std::to_string(int(status)));
        }
    }

    void PrepareRaster()
    {
        JxlBasicInfo info;
        if (JxlDecoderGetBasicInfo(decoder_.get(), &info) != JXL_DEC_SUCCESS)
            ThrowInvalid();
        // The decoder applies the orientation: orientations 5 to 8 swap the sides.
        const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
        const int64_t width = swapped ? info.ysize : info.xsize;
        const int64_t height = swapped ? info.xsize : info.ysize;
        alpha_ = info.alpha_bits > 0;
        // Before the decoder allocates: the declared size must fit the raster limit.
        CheckedRasterBytes(width, height, 32);
        width_ = int32_t(width);
        height_ = int32_t(height);
    }

    JxlPixelFormat PixelFormat() const { return {alpha_ ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0}; }

    // A profile the decoder describes as plain sRGB is what every reader
    // assumes anyway; any other (the file's own, or one for its colour
    // space) is kept.
    void KeepProfile()
    {
        const JxlPixelFormat format = PixelFormat();
        JxlColorEncoding encoding;
        if (JxlDecoderGetColorAsEncodedProfile(decoder_.get(), &format, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) ==
                JXL_DEC_SUCCESS &&
            encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_SRGB &&
            encoding.white_point == JXL_WHITE_POINT_D65 && encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB)
            return;
        size_t size = 0;
        if (JxlDecoderGetICCProfileSize(decoder_.get(), &format, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
                JXL_DEC_SUCCESS ||
            size > budget_.Left())
            return;
        std::vector<uint8_t> profile(size);
        if (JxlDecoderGetColorAsICCProfile(decoder_.get(), &format, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(),
                                           profile.size()) == JXL_DEC_SUCCESS)
            KeepIccProfile(metadata_, profile, budget_);
    }

    static void StoreRow(void* opaque, size_t x, size_t y, size_t count, const void* pixels)
    {
        TRaster& raster = *static_cast<TRaster*>(opaque);
        if (y >= size_t(raster.height) || x > size_t(raster.width) || count > size_t(raster.width) - x)
            return;
        const size_t channels = raster.hasAlpha ? 4 : 3;
        const auto* in = static_cast<const uint8_t*>(pixels);
        uint8_t* out = raster.Row(int(y)) + x * channels;
        for (size_t i = 0; i < count; ++i, in += channels, out += channels) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (channels == 4)
                out[3] = in[3];
        }
    }

    // The raster is made only when the decoder has read a frame's header and
    // wants the pixels: a file that declares a huge picture and holds none
    // fails before it is allocated.
    void SetOutput()
    {
        if (width_ == 0)
            ThrowInvalid();
        if (!raster_) {
            raster_ = TRaster::Create(width_, height_, alpha_ ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
            raster_->hasAlpha = alpha_;
        }
        const JxlPixelFormat format = PixelFormat();
        if (JxlDecoderSetImageOutCallback(decoder_.get(), &format, StoreRow, raster_.get()) != JXL_DEC_SUCCESS)
            ThrowInvalid();
    }

    // Exif and XMP boxes are kept while the budget lasts; compressed ones
    // ("brob") and all others are passed by.
    void StartBox()
    {
        FinishBox();
        JxlBoxType type;
        uint64_t size = 0;
        if (JxlDecoderGetBoxType(decoder_.get(), type, JXL_FALSE) != JXL_DEC_SUCCESS ||
            JxlDecoderGetBoxSizeRaw(decoder_.get(), &size) != JXL_DEC_SUCCESS)
            ThrowInvalid();
        if (std::memcmp(type, "Exif", 4) == 0)
            box_.kind = TBox::Exif;
        else if (std::memcmp(type, "xml ", 4) == 0)
            box_.kind = TBox::Xmp;
        else
            return;
        if (size > budget_.Left()) {
            box_.kind = TBox::None;
            return;
        }
        // The raw size includes the box's header: room enough for its content.
        box_.bytes.resize(size_t(size));
        JxlDecoderSetBoxBuffer(decoder_.get(), box_.bytes.data(), box_.bytes.size());
    }

    // A box whose content exceeds its declared size cannot be kept.
    void GrowBox()
    {
        JxlDecoderReleaseBoxBuffer(decoder_.get());
        box_ = {};
    }

    void FinishBox()
    {
        if (box_.kind == TBox::None)
            return;
        const size_t unused = JxlDecoderReleaseBoxBuffer(decoder_.get());
        box_.bytes.resize(box_.bytes.size() - std::min(unused, box_.bytes.size()));
        const std::span<const uint8_t> bytes = box_.bytes;
        if (box_.kind == TBox::Exif && bytes.size() >= 4) {
            // Four bytes give the distance from their end to the TIFF header.
            const size_t offset =
                (size_t(bytes[0]) << 24) | (size_t(bytes[1]) << 16) | (size_t(bytes[2]) << 8) | bytes[3];
            // The codestream orients the picture: its Exif orientation is
            // kept as upright, so no one turns it a second time.
            if (offset <= bytes.size() - 4)
                KeepExifBlock(metadata_, bytes.subspan(4 + offset), true, budget_);
        } else if (box_.kind == TBox::Xmp) {
            KeepXmpPacket(metadata_, bytes, budget_);
        }
        box_ = {};
    }

    std::span<const uint8_t> file_;
    std::unique_ptr<JxlDecoder, TJxlDeleter> decoder_;
    TPictureMetadata& metadata_;
    TSideDataBudget budget_;
    std::shared_ptr<TRaster> raster_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool alpha_ = false;
    size_t frames_ = 0;
    TBox box_;
};

void CheckEncoder(JxlEncoderStatus status)
{
    if (status != JXL_ENC_SUCCESS)
        ThrowWriteFailure("libjxl");
}

void SetColour(JxlEncoder* encoder, const TPictureMetadata& metadata)
{
    if (IsRgbIccProfile(metadata.iccProfile)) {
        CheckEncoder(JxlEncoderSetICCProfile(encoder, metadata.iccProfile.data(), metadata.iccProfile.size()));
        return;
    }
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    CheckEncoder(JxlEncoderSetColorEncoding(encoder, &srgb));
}

void AddBoxes(JxlEncoder* encoder, const TRaster& raster, const TPictureMetadata& metadata)
{
    // The pixels are written upright: the Exif orientation says so too.
    const std::vector<uint8_t> exif = ExifBlockForPicture(metadata, raster.width, raster.height, true);
    if (!exif.empty()) {
        std::vector<uint8_t> box(4, 0);  // the TIFF header follows at once
        box.insert(box.end(), exif.begin(), exif.end());
        CheckEncoder(JxlEncoderAddBox(encoder, "Exif", box.data(), box.size(), JXL_FALSE));
    }
    const std::span<const uint8_t> xmp = XmpPacketOf(metadata);
    if (!xmp.empty())
        CheckEncoder(JxlEncoderAddBox(encoder, "xml ", xmp.data(), xmp.size(), JXL_FALSE));
}

std::vector<uint8_t> Encode(const TRaster& raster, int32_t quality, const TPictureMetadata& metadata)
{
    std::unique_ptr<JxlEncoder, TJxlDeleter> encoder(JxlEncoderCreate(nullptr));
    if (!encoder)
        ThrowWriteFailure("libjxl");
    const bool lossless = quality == 100;
    const bool alpha = raster.hasAlpha;
    const bool boxes = !ExifBlockForPicture(metadata, 1, 1, false).empty() || !XmpPacketOf(metadata).empty();
    if (boxes)
        CheckEncoder(JxlEncoderUseBoxes(encoder.get()));
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(raster.width);
    info.ysize = uint32_t(raster.height);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.alpha_bits = alpha ? 8 : 0;
    info.num_extra_channels = alpha ? 1 : 0;
    // Lossless keeps the samples as they are; lossy works in libjxl's own space.
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    CheckEncoder(JxlEncoderSetBasicInfo(encoder.get(), &info));
    SetColour(encoder.get(), metadata);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    if (settings == nullptr)
        ThrowWriteFailure("libjxl");
    // Effort 5 rather than libjxl's 7: on a 1600 x 1200 crop of a photograph
    // at distance 1 it took 3.6 s instead of 9.6 s for a file 2 % smaller.
    CheckEncoder(JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 5));
    if (lossless)
        CheckEncoder(JxlEncoderSetFrameLossless(settings, JXL_TRUE));
    else
        CheckEncoder(JxlEncoderSetFrameDistance(settings, JxlDistanceOfQuality(quality)));
    if (boxes)
        AddBoxes(encoder.get(), raster, metadata);

    const size_t channels = alpha ? 4 : 3;
    const size_t rowBytes = size_t(raster.width) * channels;
    std::vector<uint8_t> pixels(rowBytes * size_t(raster.height));
    for (int y = 0; y < raster.height; ++y)
        RowToRgb(raster, y, pixels.data() + size_t(y) * rowBytes, alpha);
    const JxlPixelFormat format{uint32_t(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    CheckEncoder(JxlEncoderAddImageFrame(settings, &format, pixels.data(), pixels.size()));
    JxlEncoderCloseInput(encoder.get());
    pixels = {};

    std::vector<uint8_t> bytes(1 << 16);
    size_t written = 0;
    for (;;) {
        uint8_t* next = bytes.data() + written;
        size_t available = bytes.size() - written;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &available);
        written = size_t(next - bytes.data());
        if (status == JXL_ENC_SUCCESS)
            break;
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            ThrowWriteFailure("libjxl");
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(written);
    return bytes;
}

}  // namespace

float JxlDistanceOfQuality(int32_t quality)
{
    if (quality >= 30)
        return 0.1f + float(100 - quality) * 0.09f;
    return 6.4f + float(30 - quality) * 0.2f;
}

size_t LoadJxlFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    TJxlReader reader(file, metadata);
    const size_t pictures = reader.Read();
    picture.AdoptRaster(reader.Raster());
    return pictures;
}

std::vector<uint8_t> EncodeJxlFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    if (quality < 1 || quality > 100)
        throw ERangeError(msg::RangeError);
    return Encode(*picture.Raster(), quality, metadata);
}

void SaveJxlFile(const TBitmap& picture, const std::string& fileName, int32_t quality, const TPictureMetadata& metadata)
{
    const std::vector<uint8_t> bytes = EncodeJxlFile(picture, quality, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(bytes); });
}

std::optional<TProbe> ProbeJxlFile(std::span<const uint8_t> file)
{
    std::unique_ptr<JxlDecoder, TJxlDeleter> decoder(JxlDecoderCreate(nullptr));
    if (!decoder ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
        return std::nullopt;
    JxlDecoderCloseInput(decoder.get());
    TProbe probe;
    probe.pictures = 0;
    bool animated = false;
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo info;
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
                return std::nullopt;
            // The decoder applies the orientation: orientations 5 to 8 swap the sides.
            const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
            probe.width = int32_t(std::min<uint32_t>(swapped ? info.ysize : info.xsize, INT32_MAX));
            probe.height = int32_t(std::min<uint32_t>(swapped ? info.xsize : info.ysize, INT32_MAX));
            probe.bitsPerSample = uint8_t(std::min<uint32_t>(info.bits_per_sample, 255));
            probe.colour = info.num_color_channels == 1 ? TProbeColour::Grey : TProbeColour::Rgb;
            probe.alpha = info.alpha_bits > 0;
            animated = info.have_animation != 0;
            break;
        }
        case JXL_DEC_COLOR_ENCODING: {
            JxlColorEncoding encoding;
            // As the load keeps it: any profile but plain sRGB.
            probe.iccProfile = JxlDecoderGetColorAsEncodedProfile(decoder.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                                  &encoding) != JXL_DEC_SUCCESS ||
                               encoding.color_space != JXL_COLOR_SPACE_RGB || encoding.primaries != JXL_PRIMARIES_SRGB ||
                               encoding.white_point != JXL_WHITE_POINT_D65 ||
                               encoding.transfer_function != JXL_TRANSFER_FUNCTION_SRGB;
            break;
        }
        case JXL_DEC_FRAME:
            // A still picture has one frame: its header is enough.
            if (++probe.pictures == 1 && !animated)
                return probe;
            break;
        case JXL_DEC_SUCCESS:
            if (probe.pictures == 0)
                return std::nullopt;
            return probe;
        default: return std::nullopt;
        }
    }
}

}  // namespace corvalin
