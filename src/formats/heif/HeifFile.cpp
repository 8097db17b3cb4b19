#include "formats/heif/HeifFile.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <libheif/heif.h>

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Limits.h"
#include "common/MemoryBudget.h"
#include "common/Stream.h"
#include "formats/heif/CodedHeaders.h"
#include "formats/heif/HeifBoxes.h"
#include "formats/heif/HeifSignature.h"
#include "formats/heif/HeifSizes.h"
#include "formats/heif/HevcDecoder.h"
#include "formats/metadata/MetadataBlocks.h"
#include "picture/Bitmap.h"
#include "picture/RgbRows.h"
#include "picture/YCbCr.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowInvalid(const heif_error& error)
{
    throw EInvalidGraphic("Ungültige HEIF-Datei", error.message != nullptr ? error.message : "");
}

[[noreturn]] void ThrowWriteFailure(const std::string& format, const std::string& detail)
{
    throw EInvalidGraphic(format + "-Datei kann nicht geschrieben werden", detail);
}

void CheckRead(const heif_error& error)
{
    if (error.code != heif_error_Ok)
        ThrowInvalid(error);
}

struct THeifDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image* image) const { heif_image_release(image); }
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
    void operator()(heif_encoding_options* options) const { heif_encoding_options_free(options); }
};
template <class T>
using THeifPtr = std::unique_ptr<T, THeifDeleter>;

// Scales a sample of `bits` bits to 8 bits, rounding to the nearest.
uint8_t RoundedSample(uint16_t value, uint32_t maximum)
{
    return uint8_t(std::min<uint32_t>(255, (uint32_t(value) * 255 + maximum / 2) / maximum));
}

// Which samples libheif hands over in the limited range they are stored in
// (16 to 235 at 8 bits): an AVIF's grey picture and its opacity, which it
// does not stretch to the full range as their colour descriptions ask.
struct TLimitedRange {
    bool grey = false;
    bool alpha = false;
    bool Any() const { return grey || alpha; }
};

// A limited-range sample of `bits` bits stretched to the full range, rounded.
uint32_t FullRangeSample(uint32_t value, int bits)
{
    const uint32_t scale = 1u << (bits - 8), maximum = (1u << bits) - 1;
    if (value <= 16 * scale)
        return 0;
    const uint32_t span = 219 * scale;
    return std::min(maximum, ((value - 16 * scale) * maximum + span / 2) / span);
}

// Copies the decoded interleaved picture into a fresh raster, blue first,
// samples above 8 bits rounded to 8, limited-range samples stretched.
std::shared_ptr<TRaster> RasterOf(const heif_image* image, bool alpha, const TLimitedRange& limited = {})
{
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    const int bits = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (plane == nullptr || width <= 0 || height <= 0 || bits < 8 || bits > 16)
        ThrowInvalid({heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "no picture"});
    auto raster = TRaster::Create(width, height, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    raster->hasAlpha = alpha;
    const size_t channels = alpha ? 4 : 3, samples = size_t(width) * channels;
    const bool copied = bits > 8 || limited.Any();
    std::vector<uint8_t> row(copied ? samples : 0);
    const uint32_t maximum = (1u << bits) - 1;
    for (int y = 0; y < height; ++y) {
        const uint8_t* line = plane + size_t(y) * size_t(stride);
        if (copied) {
            for (size_t i = 0; i < samples; ++i) {
                uint32_t value = bits > 8 ? uint32_t(line[2 * i] | (line[2 * i + 1] << 8)) : line[i];
                if (i % channels == 3 ? limited.alpha : limited.grey)
                    value = FullRangeSample(value, bits);
                row[i] = bits > 8 ? RoundedSample(uint16_t(value), maximum) : uint8_t(value);
            }
            line = row.data();
        }
        RowFromRgb(*raster, y, line);
    }
    return raster;
}

// Memory libheif takes while it decodes, charged to the file's account
// (MemoryBudget.h) before: a file whose decode does not fit fails at once.
class TDecodingMemory {
public:
    explicit TDecodingMemory(uint64_t bytes) : bytes_(bytes), account_(ReserveMemory(bytes, "Die Datei")) {}
    ~TDecodingMemory() { ReturnMemory(account_, bytes_); }
    TDecodingMemory(const TDecodingMemory&) = delete;
    TDecodingMemory& operator=(const TDecodingMemory&) = delete;

private:
    uint64_t bytes_;
    std::shared_ptr<TAccountState> account_;
};

// Grid tiles are decoded on as many threads as there are cores; each holds a tile's decode.
int TileThreads()
{
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

bool IsAlphaType(const std::string& type)
{
    return type == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha" || type == "urn:mpeg:hevc:2015:auxid:1";
}

// Whether an opaque 8-bit picture's planes are converted here: those coded
// full-range in the BT.601 matrix, which a picture without a colour
// description is taken to be, as libheif takes it. Other codings are left
// to libheif.
bool ConvertedHere(const heif_image_handle* handle)
{
    if (heif_image_handle_has_alpha_channel(handle) != 0 || heif_image_handle_get_luma_bits_per_pixel(handle) != 8 ||
        heif_image_handle_get_chroma_bits_per_pixel(handle) != 8)
        return false;
    heif_color_profile_nclx* nclx = nullptr;
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &nclx);
    // libheif may hand over a description even with an error.
    const std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> owned(
        nclx, heif_nclx_color_profile_free);
    if (nclx == nullptr)
        return true;
    if (error.code != heif_error_Ok)
        return false;
    const heif_matrix_coefficients matrix = nclx->matrix_coefficients;
    return nclx->full_range_flag != 0 &&
           (matrix == heif_matrix_coefficients_unspecified || matrix == heif_matrix_coefficients_ITU_R_BT_601_6 ||
            matrix == heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G);
}

// Only the `rows` rows nearest scaling samples, converted from the decoded
// 4:2:0 planes, each pixel with the chroma sample that covers it: the
// conversion of the rest of the picture is never done.
std::shared_ptr<TRaster> SampledRows(const heif_image* image, int32_t rows)
{
    const int width = heif_image_get_width(image, heif_channel_Y);
    const int height = heif_image_get_height(image, heif_channel_Y);
    int lumaStride = 0, blueStride = 0, redStride = 0;
    const uint8_t* luma = heif_image_get_plane_readonly(image, heif_channel_Y, &lumaStride);
    const uint8_t* blue = heif_image_get_plane_readonly(image, heif_channel_Cb, &blueStride);
    const uint8_t* red = heif_image_get_plane_readonly(image, heif_channel_Cr, &redStride);
    if (luma == nullptr || blue == nullptr || red == nullptr ||
        heif_image_get_chroma_format(image) != heif_chroma_420 ||
        heif_image_get_width(image, heif_channel_Cb) < (width + 1) / 2 ||
        heif_image_get_height(image, heif_channel_Cb) < (height + 1) / 2 ||
        heif_image_get_width(image, heif_channel_Cr) < (width + 1) / 2 ||
        heif_image_get_height(image, heif_channel_Cr) < (height + 1) / 2)
        ThrowInvalid({heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "no picture"});
    const TBt601Colours colours(true);
    auto raster = TRaster::Create(width, rows, TPixelFormat::pf24bit);
    for (int32_t t = 0; t < rows; ++t) {
        const int source = SampledPosition(t, rows, height);
        const uint8_t* lumaRow = luma + size_t(source) * size_t(lumaStride);
        const uint8_t* blueRow = blue + size_t(source / 2) * size_t(blueStride);
        const uint8_t* redRow = red + size_t(source / 2) * size_t(redStride);
        uint8_t* out = raster->Row(t);
        for (int x = 0; x < width; ++x, out += 3)
            colours.ToBgr(lumaRow[x], blueRow[x / 2], redRow[x / 2], out);
    }
    return raster;
}

void KeepMetadata(const heif_image_handle* handle, TPictureMetadata& metadata)
{
    TSideDataBudget budget;
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
    if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size <= budget.Left()) {
            std::vector<uint8_t> bytes(size);
            if (heif_image_handle_get_raw_color_profile(handle, bytes.data()).code == heif_error_Ok)
                KeepIccProfile(metadata, bytes, budget);
        }
    }
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
    std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
    heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), count);
    for (heif_item_id id : ids) {
        const size_t size = heif_image_handle_get_metadata_size(handle, id);
        if (size > budget.Left())
            continue;
        std::vector<uint8_t> bytes(size);
        if (heif_image_handle_get_metadata(handle, id, bytes.data()).code != heif_error_Ok)
            continue;
        const std::string type = heif_image_handle_get_metadata_type(handle, id);
        const std::string content = heif_image_handle_get_metadata_content_type(handle, id);
        if (type == "Exif" && bytes.size() >= 4) {
            // Four bytes give the distance from their end to the TIFF header.
            const size_t offset =
                (size_t(bytes[0]) << 24) | (size_t(bytes[1]) << 16) | (size_t(bytes[2]) << 8) | bytes[3];
            // The container turns the picture, so its Exif orientation is
            // kept as upright: no one turns the picture a second time.
            if (offset <= bytes.size() - 4)
                KeepExifBlock(metadata, std::span<const uint8_t>(bytes).subspan(4 + offset), true, budget);
        } else if (type == "mime" && content == "application/rdf+xml") {
            KeepXmpPacket(metadata, bytes, budget);
        }
    }
}

heif_error WriteToVector(heif_context*, const void* data, size_t size, void* userdata)
{
    auto& bytes = *static_cast<std::vector<uint8_t>*>(userdata);
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// The picture as libheif's interleaved RGB(A) image, with the colour profile.
THeifPtr<heif_image> HeifImageOf(const TRaster& raster, const TPictureMetadata& metadata, const std::string& format)
{
    heif_image* created = nullptr;
    const bool alpha = raster.hasAlpha;
    auto check = [&](const heif_error& error) {
        if (error.code != heif_error_Ok)
            ThrowWriteFailure(format, error.message != nullptr ? error.message : "");
    };
    check(heif_image_create(raster.width, raster.height, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &created));
    THeifPtr<heif_image> image(created);
    check(heif_image_add_plane(image.get(), heif_channel_interleaved, raster.width, raster.height, 8));
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    for (int y = 0; y < raster.height; ++y)
        RowToRgb(raster, y, plane + size_t(y) * size_t(stride), alpha);
    if (IsRgbIccProfile(metadata.iccProfile))
        check(heif_image_set_raw_color_profile(image.get(), "prof", metadata.iccProfile.data(),
                                               metadata.iccProfile.size()));
    return image;
}

std::vector<uint8_t> EncodeHeif(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata,
                                heif_compression_format compression, const std::string& format)
{
    if (quality < 1 || quality > 100)
        throw ERangeError(msg::RangeError);
    const TRaster& raster = *picture.Raster();
    auto check = [&](const heif_error& error) {
        if (error.code != heif_error_Ok)
            ThrowWriteFailure(format, error.message != nullptr ? error.message : "");
    };
    THeifPtr<heif_context> context(heif_context_alloc());
    heif_encoder* createdEncoder = nullptr;
    check(heif_context_get_encoder_for_format(context.get(), compression, &createdEncoder));
    THeifPtr<heif_encoder> encoder(createdEncoder);
    check(heif_encoder_set_lossy_quality(encoder.get(), quality));
    // 8-bit 4:2:0, what phones and browsers expect of a photograph.
    heif_encoder_set_parameter_string(encoder.get(), "chroma", "420");
    // Speeds for a 12-megapixel photograph in a few seconds. Measured on a
    // 1600 x 1200 crop of one (at quality 85, on a busy machine): x265's
    // default preset "slow" took 12.5 s, "fast" 7.7 s for a file 9 % larger;
    // aom's speed 6 took 2.0 s, speed 8 1.1 s for a file 14 % larger.
    if (compression == heif_compression_AV1)
        heif_encoder_set_parameter_integer(encoder.get(), "speed", 6);
    else
        heif_encoder_set_parameter_string(encoder.get(), "preset", "fast");
    const THeifPtr<heif_image> image = HeifImageOf(raster, metadata, format);
    THeifPtr<heif_encoding_options> options(heif_encoding_options_alloc());
    options->save_alpha_channel = raster.hasAlpha ? 1 : 0;
    heif_image_handle* createdHandle = nullptr;
    check(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), &createdHandle));
    THeifPtr<heif_image_handle> handle(createdHandle);
    // The pixels are written upright: the Exif orientation says so too.
    const std::vector<uint8_t> exif = ExifBlockForPicture(metadata, raster.width, raster.height, true);
    if (!exif.empty())
        check(heif_context_add_exif_metadata(context.get(), handle.get(), exif.data(), int(exif.size())));
    const std::span<const uint8_t> xmp = XmpPacketOf(metadata);
    if (!xmp.empty())
        check(heif_context_add_XMP_metadata(context.get(), handle.get(), xmp.data(), int(xmp.size())));
    std::vector<uint8_t> bytes;
    heif_writer writer{1, WriteToVector};
    check(heif_context_write(context.get(), &writer, &bytes));
    return bytes;
}

// The file's primary picture, its boxes, sizes and decoding memory checked
// before libheif parses or decodes it.
struct THeifPrimary {
    THeifLayout layout;
    THeifGrid grid;
    THeifPtr<heif_context> context{heif_context_alloc()};
    THeifPtr<heif_image_handle> handle;
    size_t pictures = 1;
    bool alpha = false;
    bool hevc = false;

    explicit THeifPrimary(std::span<const uint8_t> file) : layout(ReadHeifLayout(file)), hevc(!IsAvif(file))
    {
        grid = CheckDeclaredSizes(layout);
        UseParallelHevcDecoder();
        heif_context_set_max_decoding_threads(context.get(), TileThreads());
        CheckRead(heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr));
        // A sequence's track holds its pictures; its first also stands as the still picture.
        pictures = std::max<size_t>({size_t(std::max(heif_context_get_number_of_top_level_images(context.get()), 1)),
                                     size_t(layout.sequencePictures)});
        heif_image_handle* primary = nullptr;
        CheckRead(heif_context_get_primary_image_handle(context.get(), &primary));
        handle.reset(primary);
        alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
        // Before the decoder allocates: the declared size must fit the raster limit.
        CheckedRasterBytes(Width(), Height(), alpha ? 32 : 24);
    }
    int Width() const { return heif_image_handle_get_width(handle.get()); }
    // Whole decodes of HEVC pictures take turns (see HoldHevcDecoding).
    std::unique_lock<std::mutex> Decoding() const { return hevc ? HoldHevcDecoding() : std::unique_lock<std::mutex>(); }
    int Height() const { return heif_image_handle_get_height(handle.get()); }
    int Bits() const { return heif_image_handle_get_luma_bits_per_pixel(handle.get()); }
    uint64_t DecodingBytes() const { return HeifDecodingBytes(Width(), Height(), Bits(), alpha, grid, TileThreads()); }

    // What the file holds that the picture does not: its depth, and the
    // pictures beside it that no writer keeps (depth maps, thumbnails and
    // other auxiliary pictures; the opacity is part of the picture).
    void Report(TSourceReport& source) const
    {
        source.bitsPerSample = uint8_t(std::clamp(Bits(), 8, 16));
        const int others = heif_image_handle_get_number_of_auxiliary_images(
            handle.get(), LIBHEIF_AUX_IMAGE_FILTER_OMIT_ALPHA | LIBHEIF_AUX_IMAGE_FILTER_OMIT_DEPTH);
        source.auxiliaryPictures = uint32_t(std::max(heif_image_handle_get_number_of_depth_images(handle.get()), 0) +
                                            std::max(heif_image_handle_get_number_of_thumbnails(handle.get()), 0) +
                                            std::max(others, 0));
    }

    // The coded item the primary picture's samples come from: itself, or a grid's first tile.
    const THeifItem* CodedItem() const
    {
        const THeifItem* item = layout.Item(layout.primary);
        if (item != nullptr && item->type == "grid" && !item->tiles.empty())
            item = layout.Item(item->tiles.front());
        return item;
    }

    // The colour description says the range; without one the coded sequence header does.
    bool PictureFullRange(const THeifItem& coded) const
    {
        heif_color_profile_nclx* nclx = nullptr;
        const heif_error error = heif_image_handle_get_nclx_color_profile(handle.get(), &nclx);
        const std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> owned(
            nclx, heif_nclx_color_profile_free);
        if (nclx != nullptr && error.code == heif_error_Ok)
            return nclx->full_range_flag != 0;
        return !coded.located || Av1FullRange(coded.data).value_or(true);
    }

    TLimitedRange LimitedRange() const
    {
        TLimitedRange limited;
        if (hevc)
            return limited;
        const THeifItem* coded = CodedItem();
        // The AV1 configuration's third byte: tier, depth, then the grey flag.
        if (coded != nullptr && coded->av1C.size() >= 3 && (coded->av1C[2] & 0x10) != 0)
            limited.grey = !PictureFullRange(*coded);
        if (alpha) {
            for (const THeifItem& item : layout.items)
                if (item.auxiliaryOf == layout.primary && IsAlphaType(item.auxType) && item.type == "av01" &&
                    item.located)
                    limited.alpha = !Av1FullRange(item.data).value_or(true);
        }
        return limited;
    }

    THeifPtr<heif_image> Decode(heif_colorspace colorspace, heif_chroma chroma) const
    {
        THeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
        heif_image* decoded = nullptr;
        CheckRead(heif_decode_image(handle.get(), &decoded, colorspace, chroma, options.get()));
        return THeifPtr<heif_image>(decoded);
    }

    std::shared_ptr<TRaster> DecodeWhole() const
    {
        const bool deep = Bits() > 8;
        const heif_chroma chroma =
            deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                 : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
        return RasterOf(Decode(heif_colorspace_RGB, chroma).get(), alpha, LimitedRange());
    }

    std::shared_ptr<TRaster> DecodeRows(int32_t rows) const
    {
        const THeifPtr<heif_image> planes = Decode(heif_colorspace_YCbCr, heif_chroma_420);
        // The rows were asked for the declared size: a picture of another
        // size cannot give them.
        if (heif_image_get_width(planes.get(), heif_channel_Y) != Width() ||
            heif_image_get_height(planes.get(), heif_channel_Y) != Height())
            ThrowInvalid({heif_error_Invalid_input, heif_suberror_Unspecified, "size differs from the declared size"});
        return SampledRows(planes.get(), rows);
    }
};

}  // namespace

size_t LoadHeifFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    const THeifPrimary primary(file);
    std::shared_ptr<TRaster> raster;
    {
        // Reserved before the turn is taken: no file holds the turn while it waits for memory.
        const TDecodingMemory memory(primary.DecodingBytes());
        const std::unique_lock<std::mutex> decoding = primary.Decoding();
        raster = primary.DecodeWhole();
    }
    ReturnFreedMemory();
    KeepMetadata(primary.handle.get(), metadata);
    primary.Report(metadata.source);
    picture.AdoptRaster(std::move(raster));
    return primary.pictures;
}

size_t LoadHeifRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                    const TRowRequest& rows)
{
    const THeifPrimary primary(file);
    const int32_t wanted =
        ConvertedHere(primary.handle.get()) ? RequestedRows(rows, primary.Width(), primary.Height()) : 0;
    std::shared_ptr<TRaster> raster;
    {
        const TDecodingMemory memory(primary.DecodingBytes());
        const std::unique_lock<std::mutex> decoding = primary.Decoding();
        raster = wanted > 0 ? primary.DecodeRows(wanted) : primary.DecodeWhole();
    }
    ReturnFreedMemory();
    KeepMetadata(primary.handle.get(), metadata);
    primary.Report(metadata.source);
    picture.AdoptRaster(std::move(raster));
    return primary.pictures;
}

std::vector<uint8_t> EncodeHeicFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    return EncodeHeif(picture, quality, metadata, heif_compression_HEVC, "HEIC");
}

std::vector<uint8_t> EncodeAvifFile(const TBitmap& picture, int32_t quality, const TPictureMetadata& metadata)
{
    return EncodeHeif(picture, quality, metadata, heif_compression_AV1, "AVIF");
}

void SaveHeicFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata)
{
    const std::vector<uint8_t> bytes = EncodeHeicFile(picture, quality, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(bytes); });
}

void SaveAvifFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                  const TPictureMetadata& metadata)
{
    const std::vector<uint8_t> bytes = EncodeAvifFile(picture, quality, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { file.WriteBuffer(bytes); });
}

std::optional<TProbe> ProbeHeifFile(std::span<const uint8_t> file)
{
    const THeifPrimary primary(file);
    TProbe probe;
    probe.width = primary.Width();
    probe.height = primary.Height();
    probe.bitsPerSample = uint8_t(std::clamp(primary.Bits(), 8, 16));
    probe.colour = TProbeColour::YCbCr;
    probe.alpha = primary.alpha;
    probe.pictures = primary.pictures;
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(primary.handle.get());
    probe.iccProfile = profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC;
    // The container turns the picture: its orientation is applied by the load.
    return probe;
}

}  // namespace corvalin
