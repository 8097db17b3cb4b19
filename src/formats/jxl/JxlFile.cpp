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
#include "common/MemoryCharge.h"
#include "common/Stream.h"
#include "formats/jxl/JxlMemory.h"
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

// A frame composed of more layers than this is refused before it is decoded:
// libjxl blends each over the whole canvas (1,000 layers took 42 s).
constexpr size_t kMaxLayers = 256;

// What a pass over the frame headers finds, without decoding any pixels.
struct TJxlSurvey {
    JxlBasicInfo info{};
    // Pictures as shown: a frame that is the last or lasts a while ends one.
    size_t pictures = 0;
    // The frames (layers) composed into the first picture.
    size_t firstLayers = 0;
    // A JPEG recompressed without loss: its pixels are the JPEG's, lossy ones.
    bool jpegReconstruction = false;
};

TJxlSurvey Survey(std::span<const uint8_t> file, TJxlMemory& memory)
{
    std::unique_ptr<JxlDecoder, TJxlDeleter> decoder(JxlDecoderCreate(memory.Manager()));
    if (!decoder || JxlDecoderSetCoalescing(decoder.get(), JXL_FALSE) != JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FRAME | JXL_DEC_BOX) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), file.data(), file.size()) != JXL_DEC_SUCCESS) {
        memory.RethrowFailure();
        ThrowInvalid("libjxl");
    }
    JxlDecoderCloseInput(decoder.get());
    TJxlSurvey survey;
    size_t layers = 0;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_SUCCESS)
            break;
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(decoder.get(), &survey.info) != JXL_DEC_SUCCESS)
                ThrowInvalid();
            // Before anything is allocated for it, and the sides then small
            // enough to multiply.
            CheckedRasterBytes(survey.info.xsize, survey.info.ysize, 32);
        } else if (status == JXL_DEC_BOX) {
            JxlBoxType type;
            if (JxlDecoderGetBoxType(decoder.get(), type, JXL_FALSE) == JXL_DEC_SUCCESS &&
                std::memcmp(type, "jbrd", 4) == 0)
                survey.jpegReconstruction = true;
        } else if (status == JXL_DEC_FRAME) {
            JxlFrameHeader header;
            if (JxlDecoderGetFrameHeader(decoder.get(), &header) != JXL_DEC_SUCCESS)
                ThrowInvalid();
            ++layers;
            if (survey.pictures == 0 && layers > kMaxLayers)
                throw EOutOfResources(msg::OutOfResources,
                                      FormatText("mehr als %d Ebenen in einem Bild", {std::to_string(kMaxLayers)}));
            if (header.is_last || header.duration > 0) {
                if (++survey.pictures == 1)
                    survey.firstLayers = layers;
                layers = 0;
            }
        } else {
            memory.RethrowFailure();
            ThrowInvalid("libjxl status " + std::to_string(int(status)));
        }
    }
    if (survey.pictures == 0)
        ThrowInvalid("no frame");
    return survey;
}

// What libjxl 0.7 allocates by itself for the first picture, at most: each
// channel (colour and extra, which it decodes whether asked for or not) as
// a plane of 4-byte samples, once more for the canvas it composes layers
// on, and with extra channels beside a lossy (XYB) frame its coefficients
// and colour planes whole (39 bytes a pixel measured for 1000 x 1000 and
// 2000 x 2000 with opacity).
uint64_t LibraryBytes(const TJxlSurvey& survey)
{
    const JxlBasicInfo& info = survey.info;
    const uint64_t channels = uint64_t(info.num_color_channels) + info.num_extra_channels;
    uint64_t perPixel = 4 * channels;
    if (survey.firstLayers > 1 || info.have_animation)
        perPixel += 4 * channels;
    if (!info.uses_original_profile && info.num_extra_channels > 0)
        perPixel += 36;
    return uint64_t(info.xsize) * info.ysize * perPixel;
}

class TJxlReader {
public:
    TJxlReader(std::span<const uint8_t> file, TPictureMetadata& metadata) : file_(file), metadata_(metadata) {}

    // Surveys the frames, charges what libjxl will take and runs the decoder
    // to the end: the first picture into the raster, the metadata boxes
    // kept; an animation's later pictures are only counted (and boxes
    // behind them are not read).
    size_t Read()
    {
        const TJxlSurvey survey = Survey(file_, memory_);
        ReportSource(survey);
        const TMemoryCharge charge(LibraryBytes(survey), "Die Datei");
        StartDecoder();
        for (;;) {
            const JxlDecoderStatus status = JxlDecoderProcessInput(decoder_.get());
            switch (status) {
            case JXL_DEC_BASIC_INFO: PrepareRaster(); break;
            case JXL_DEC_COLOR_ENCODING: KeepProfile(); break;
            case JXL_DEC_FRAME:
                // The first picture is in; the others were counted.
                if (++frames_ > 1) {
                    FinishBox();
                    return survey.pictures;
                }
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: SetOutput(); break;
            case JXL_DEC_FULL_IMAGE: break;
            case JXL_DEC_BOX: StartBox(); break;
            case JXL_DEC_BOX_NEED_MORE_OUTPUT: GrowBox(); break;
            case JXL_DEC_SUCCESS:
                FinishBox();
                if (!raster_ || frames_ == 0)
                    ThrowInvalid("no frame");
                return survey.pictures;
            default: Fail(status);
            }
        }
    }

    std::shared_ptr<TRaster> Raster() { return std::move(raster_); }

private:
    // A reservation that failed inside libjxl is the reason, else the status.
    [[noreturn]] void Fail(JxlDecoderStatus status) const
    {
        memory_.RethrowFailure();
        ThrowInvalid("libjxl status " + std::to_string(int(status)));
    }

    void StartDecoder()
    {
        decoder_.reset(JxlDecoderCreate(memory_.Manager()));
        const int events =
            JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE | JXL_DEC_BOX;
        if (!decoder_ || JxlDecoderSubscribeEvents(decoder_.get(), events) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(decoder_.get(), file_.data(), file_.size()) != JXL_DEC_SUCCESS) {
            memory_.RethrowFailure();
            ThrowInvalid("libjxl");
        }
        JxlDecoderCloseInput(decoder_.get());
    }

    // The samples' depth, and whether they are kept without loss: libjxl
    // does not say how a frame was coded, but a lossless one must keep the
    // original colour space (no XYB), and a JPEG recompressed without loss
    // holds the JPEG's lossy pixels. A lossy frame coded in the original
    // space (which the library allows; cjxl makes none) is taken for
    // lossless too: the original is then kept rather than lost.
    void ReportSource(const TJxlSurvey& survey)
    {
        metadata_.source.bitsPerSample = uint8_t(std::clamp<uint32_t>(survey.info.bits_per_sample, 1, 32));
        metadata_.source.lossless = survey.info.uses_original_profile && !survey.jpegReconstruction;
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
    // Before the decoder, which returns its memory to it when destroyed.
    TJxlMemory memory_;
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
