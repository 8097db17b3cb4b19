#include "formats/jpeg/JpegCodec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>
#include <jerror.h>

#include "common/Limits.h"
#include "picture/RowCodec.h"

// libjpeg-turbo's extended colour spaces let the codec read and write the
// raster's blue-green-red rows directly.
#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo (JCS_EXT_BGR) is required"
#endif

namespace corvalin {

EJPEG::EJPEG(int messageCode, const std::string& libraryText)
    : EInvalidGraphic(FormatText("JPEG-Fehler #%d", {std::to_string(messageCode)}) +
                      (libraryText.empty() ? "" : ". " + libraryText))
{
}

namespace {

// A legitimate progressive file has a few dozen scans; thousands of tiny
// scans would make every one of them walk the whole picture again.
constexpr int kMaxScans = 1000;
// libjpeg's own buffers obey the same ceiling as the raster.
constexpr long kMaxLibjpegMemory = long(kMaxRasterBytes);
constexpr int kGrayLevels = 236;
// Rows handed to libjpeg per call; it fills as many as its buffers hold.
constexpr int kRowBatch = 16;

// Fatal errors leave libjpeg as exceptions; the session's destructor frees
// its memory. Warnings (damaged or truncated data) are ignored.
[[noreturn]] void ThrowJpegError(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX] = {};
    cinfo->err->format_message(cinfo, text);
    throw EJPEG(cinfo->err->msg_code, text);
}

void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo)
{
    // JERR_BAD_PROGRESSION is the nearest of libjpeg's own codes.
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        throw EJPEG(JERR_BAD_PROGRESSION, "Zu viele Scans (mehr als " + std::to_string(kMaxScans) + ")");
}

void InstallErrorManager(jpeg_error_mgr& err)
{
    jpeg_std_error(&err);
    err.error_exit = ThrowJpegError;
    err.emit_message = IgnoreMessage;
    err.output_message = IgnoreOutput;
}

class Decompressor {
public:
    explicit Decompressor(std::span<const uint8_t> data)
    {
        InstallErrorManager(err_);
        progress_.progress_monitor = LimitScans;
        cinfo_.err = &err_;
        jpeg_create_decompress(&cinfo_);
        cinfo_.progress = &progress_;
        cinfo_.mem->max_memory_to_use = kMaxLibjpegMemory;
        // Reads stop at the end of the buffer; libjpeg then sees an end marker.
        // It refuses an empty buffer here, before the destructor would run.
        try {
            jpeg_mem_src(&cinfo_, data.data(), static_cast<unsigned long>(data.size()));
        } catch (...) {
            jpeg_destroy_decompress(&cinfo_);
            throw;
        }
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct& operator*() { return cinfo_; }
    jpeg_decompress_struct* operator->() { return &cinfo_; }

private:
    jpeg_error_mgr err_{};
    jpeg_progress_mgr progress_{};
    jpeg_decompress_struct cinfo_{};
};

bool IsFourComponent(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

TJpegHeader HeaderOf(jpeg_decompress_struct& cinfo)
{
    TJpegHeader header;
    header.width = int32_t(cinfo.image_width);
    header.height = int32_t(cinfo.image_height);
    header.grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    header.multipleScans = jpeg_has_multiple_scans(&cinfo);
    CheckedRasterBytes(header.width, header.height, header.grayscale ? 8 : 24);
    return header;
}

void SetDecodeParameters(jpeg_decompress_struct& cinfo)
{
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.do_block_smoothing = TRUE;
    if (cinfo.out_color_space == JCS_GRAYSCALE) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kGrayLevels;
    } else if (IsFourComponent(cinfo.jpeg_color_space)) {
        cinfo.out_color_space = JCS_CMYK;
    } else {
        // Unknown colour spaces make libjpeg refuse the conversion.
        cinfo.out_color_space = JCS_EXT_BGR;
    }
}

// Reads rows straight into the raster; returns false when libjpeg delivers
// nothing more.
bool ReadRowBatch(jpeg_decompress_struct& cinfo, TRaster& raster)
{
    std::array<JSAMPROW, kRowBatch> rows{};
    const int first = int(cinfo.output_scanline);
    const int count = std::min(kRowBatch, raster.height - first);
    for (int i = 0; i < count; ++i)
        rows[i] = raster.Row(first + i);
    return jpeg_read_scanlines(&cinfo, rows.data(), JDIMENSION(count)) > 0;
}

void ReadDirectRows(jpeg_decompress_struct& cinfo, TRaster& raster)
{
    while (cinfo.output_scanline < cinfo.output_height)
        if (!ReadRowBatch(cinfo, raster))
            return;
}

uint8_t Product255(unsigned a, unsigned b)
{
    return uint8_t((a * b + 127) / 255);
}

// CMYK as libjpeg delivers it; Adobe files store every ink inverted.
void CmykRowToBgr(const uint8_t* cmyk, int width, bool inverted, uint8_t* bgr)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = Product255(y, k);
        bgr[1] = Product255(m, k);
        bgr[2] = Product255(c, k);
    }
}

void ReadCmykRows(jpeg_decompress_struct& cinfo, TRaster& raster)
{
    std::vector<uint8_t> cmyk(size_t(raster.width) * 4);
    JSAMPROW row = cmyk.data();
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) == 0)
            return;
        CmykRowToBgr(cmyk.data(), raster.width, cinfo.saw_Adobe_marker, raster.Row(y));
    }
}

std::vector<TColor> GrayPaletteOf(const jpeg_decompress_struct& cinfo)
{
    std::vector<TColor> palette;
    for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
        const uint8_t level = cinfo.colormap[0][i];
        palette.push_back(RGB(level, level, level));
    }
    return palette;
}

// Collects the compressed bytes in a vector that grows in large steps.
class VectorDestination {
public:
    explicit VectorDestination(size_t expected)
    {
        mgr_.init_destination = Init;
        mgr_.empty_output_buffer = Grow;
        mgr_.term_destination = Term;
        mgr_.owner = this;
        bytes_.resize(std::max<size_t>(expected, 1 << 16));
    }
    VectorDestination(const VectorDestination&) = delete;
    VectorDestination& operator=(const VectorDestination&) = delete;

    jpeg_destination_mgr* Manager() { return &mgr_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    struct OwnedManager : jpeg_destination_mgr {
        VectorDestination* owner = nullptr;
    };

    static VectorDestination& Of(j_compress_ptr cinfo)
    {
        return *static_cast<OwnedManager*>(cinfo->dest)->owner;
    }
    static void Init(j_compress_ptr cinfo)
    {
        auto& self = Of(cinfo);
        self.mgr_.next_output_byte = self.bytes_.data();
        self.mgr_.free_in_buffer = self.bytes_.size();
    }
    static boolean Grow(j_compress_ptr cinfo)
    {
        // libjpeg calls this only when the whole buffer is full.
        auto& self = Of(cinfo);
        const size_t used = self.bytes_.size();
        self.bytes_.resize(used * 2);
        self.mgr_.next_output_byte = self.bytes_.data() + used;
        self.mgr_.free_in_buffer = self.bytes_.size() - used;
        return TRUE;
    }
    static void Term(j_compress_ptr cinfo)
    {
        auto& self = Of(cinfo);
        self.bytes_.resize(self.bytes_.size() - self.mgr_.free_in_buffer);
    }

    OwnedManager mgr_{};
    std::vector<uint8_t> bytes_;
};

class Compressor {
public:
    Compressor()
    {
        InstallErrorManager(err_);
        cinfo_.err = &err_;
        jpeg_create_compress(&cinfo_);
    }
    ~Compressor() { jpeg_destroy_compress(&cinfo_); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    jpeg_compress_struct& operator*() { return cinfo_; }

private:
    jpeg_error_mgr err_{};
    jpeg_compress_struct cinfo_{};
};

void WriteRows(jpeg_compress_struct& cinfo, const TRaster& raster)
{
    if (raster.bitsPerPixel == 24) {
        while (cinfo.next_scanline < cinfo.image_height) {
            // libjpeg only reads the rows it is given.
            JSAMPROW row = const_cast<uint8_t*>(raster.Row(int(cinfo.next_scanline)));
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        return;
    }
    // Other layouts go through their palette or colour components.
    std::vector<uint8_t> bgr(size_t(raster.width) * 3);
    JSAMPROW row = bgr.data();
    while (cinfo.next_scanline < cinfo.image_height) {
        DecodeRowToBgr(raster, int(cinfo.next_scanline), bgr.data());
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
}

}  // namespace

TJpegHeader ReadJpegHeader(std::span<const uint8_t> data)
{
    Decompressor cinfo(data);
    jpeg_read_header(&*cinfo, TRUE);
    return HeaderOf(*cinfo);
}

std::shared_ptr<TRaster> DecodeJpeg(std::span<const uint8_t> data)
{
    Decompressor cinfo(data);
    jpeg_read_header(&*cinfo, TRUE);
    HeaderOf(*cinfo);  // refuses oversized pictures before libjpeg allocates
    SetDecodeParameters(*cinfo);
    jpeg_start_decompress(&*cinfo);

    const bool gray = cinfo->out_color_space == JCS_GRAYSCALE;
    auto raster = TRaster::Create(int32_t(cinfo->output_width), int32_t(cinfo->output_height),
                                  gray ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
    if (gray)
        raster->palette = GrayPaletteOf(*cinfo);
    if (cinfo->out_color_space == JCS_CMYK)
        ReadCmykRows(*cinfo, *raster);
    else
        ReadDirectRows(*cinfo, *raster);
    jpeg_finish_decompress(&*cinfo);
    return raster;
}

std::vector<uint8_t> EncodeJpeg(const TRaster& raster, int quality)
{
    if (raster.width == 0 || raster.height == 0)
        return {};
    Compressor compressor;
    jpeg_compress_struct& cinfo = *compressor;
    // An eighth of the raw size holds a photograph at the usual qualities;
    // the buffer doubles when it does not.
    VectorDestination destination(size_t(raster.width) * size_t(raster.height) * 3 / 8);
    cinfo.dest = destination.Manager();
    cinfo.image_width = JDIMENSION(raster.width);
    cinfo.image_height = JDIMENSION(raster.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    WriteRows(cinfo, raster);
    jpeg_finish_compress(&cinfo);
    return destination.Take();
}

}  // namespace corvalin
