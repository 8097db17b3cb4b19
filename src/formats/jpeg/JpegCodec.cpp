#include "formats/jpeg/JpegCodec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "common/Limits.h"
#include "formats/jpeg/JpegSession.h"
#include "picture/RowCodec.h"

// libjpeg-turbo's extended colour spaces let the codec read and write the
// raster's blue-green-red rows directly.
#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo (JCS_EXT_BGR) is required"
#endif

namespace corvalin {

namespace {

constexpr int kGrayLevels = 236;
// Rows handed to libjpeg per call; it fills as many as its buffers hold.
constexpr int kRowBatch = 16;

bool IsFourComponent(J_COLOR_SPACE space)
{
    return space == JCS_CMYK || space == JCS_YCCK;
}

TJpegHeader HeaderOf(TJpegDecoder& decoder)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    TJpegHeader header;
    header.width = int32_t(cinfo.image_width);
    header.height = int32_t(cinfo.image_height);
    header.grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    header.multipleScans = decoder.HasMultipleScans();
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
bool ReadRowBatch(TJpegDecoder& decoder, TRaster& raster)
{
    std::array<JSAMPROW, kRowBatch> rows{};
    const int first = int(decoder.Info().output_scanline);
    const int count = std::min(kRowBatch, raster.height - first);
    for (int i = 0; i < count; ++i)
        rows[i] = raster.Row(first + i);
    return decoder.ReadRows(rows.data(), unsigned(count)) > 0;
}

void ReadDirectRows(TJpegDecoder& decoder, TRaster& raster)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    while (cinfo.output_scanline < cinfo.output_height)
        if (!ReadRowBatch(decoder, raster))
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

// Through the profile's conversion when there is one, which takes ink
// amounts; by the formula otherwise.
void ConvertCmykRow(uint8_t* cmyk, int width, bool inverted, const TCmykRowConversion& through, uint8_t* bgr)
{
    if (!through) {
        CmykRowToBgr(cmyk, width, inverted, bgr);
        return;
    }
    if (inverted)
        for (size_t i = 0; i < size_t(width) * 4; ++i)
            cmyk[i] = uint8_t(255 - cmyk[i]);
    through(cmyk, width, bgr);
}

// The usual layouts: the first component sampled 1x1, 2x1, 2x2, 1x2 or 4x1
// and every other 1x1. For some others (three rows of the first component
// to one of the rest, say) libjpeg's passing over rows changes the rows read
// after them, so such rare files decode whole.
bool HasUsualSampling(const jpeg_decompress_struct& cinfo)
{
    constexpr std::array<std::pair<int, int>, 5> kFirst{{{1, 1}, {2, 1}, {2, 2}, {1, 2}, {4, 1}}};
    const jpeg_component_info* components = cinfo.comp_info;
    const std::pair<int, int> first{components[0].h_samp_factor, components[0].v_samp_factor};
    if (std::find(kFirst.begin(), kFirst.end(), first) == kFirst.end())
        return false;
    for (int i = 1; i < cinfo.num_components; ++i)
        if (components[i].h_samp_factor != 1 || components[i].v_samp_factor != 1)
            return false;
    return true;
}

// How many rows the caller will sample, when it asked and fewer than all
// are needed; 0 for every row. Greys are dithered, each row with the error
// carried down from the rows above, so they always decode whole.
int32_t SampledRowCount(const jpeg_decompress_struct& cinfo, const TRowRequest& request)
{
    if (!request || cinfo.quantize_colors || !HasUsualSampling(cinfo))
        return 0;
    return RequestedRows(request, int32_t(cinfo.output_width), int32_t(cinfo.output_height));
}

// Passes over the rows before `row`; false when libjpeg has no more.
bool SkipTo(TJpegDecoder& decoder, JDIMENSION row)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    while (cinfo.output_scanline < row)
        if (decoder.SkipRows(row - cinfo.output_scanline) == 0)
            return false;
    return true;
}

// The rows after the last sampled one are read rather than passed over:
// libjpeg passes over the end of a picture without reading the rest of the
// file, and damage there must fail the file as it does when every row is read.
void ReadRemainingRows(TJpegDecoder& decoder)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    std::vector<uint8_t> scratch(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    JSAMPROW row = scratch.data();
    while (cinfo.output_scanline < cinfo.output_height)
        if (decoder.ReadRows(&row, 1) == 0)
            return;
}

// Raster row t takes the picture's row that scaling to raster.height rows
// samples; only those rows are colour-converted.
void ReadSampledRows(TJpegDecoder& decoder, TRaster& raster)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    const int height = int(cinfo.output_height);
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    std::vector<uint8_t> cmykRow(cmyk ? size_t(raster.width) * 4 : 0);
    for (int t = 0; t < raster.height; ++t) {
        if (!SkipTo(decoder, JDIMENSION(SampledPosition(t, raster.height, height))))
            return;
        JSAMPROW row = cmyk ? cmykRow.data() : raster.Row(t);
        if (decoder.ReadRows(&row, 1) == 0)
            return;
        if (cmyk)
            CmykRowToBgr(cmykRow.data(), raster.width, cinfo.saw_Adobe_marker, raster.Row(t));
    }
    ReadRemainingRows(decoder);
}

void ReadCmykRows(TJpegDecoder& decoder, TRaster& raster, const TCmykRowConversion& through)
{
    const jpeg_decompress_struct& cinfo = decoder.Info();
    std::vector<uint8_t> cmyk(size_t(raster.width) * 4);
    JSAMPROW row = cmyk.data();
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        if (decoder.ReadRows(&row, 1) == 0)
            return;
        ConvertCmykRow(cmyk.data(), raster.width, cinfo.saw_Adobe_marker, through, raster.Row(y));
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

void WriteRows(TJpegEncoder& encoder, const TRaster& raster)
{
    const jpeg_compress_struct& cinfo = encoder.Info();
    if (raster.bitsPerPixel == 24) {
        while (cinfo.next_scanline < cinfo.image_height) {
            // libjpeg only reads the rows it is given.
            JSAMPROW row = const_cast<uint8_t*>(raster.Row(int(cinfo.next_scanline)));
            encoder.WriteRows(&row, 1);
        }
        return;
    }
    // Other layouts go through their palette or colour components.
    std::vector<uint8_t> bgr(size_t(raster.width) * 3);
    JSAMPROW row = bgr.data();
    while (cinfo.next_scanline < cinfo.image_height) {
        DecodeRowToBgr(raster, int(cinfo.next_scanline), bgr.data());
        encoder.WriteRows(&row, 1);
    }
}

// libjpeg's DCT scaling: the largest of 8, 4 and 2 that the request allows,
// else none.
unsigned ReductionOf(const jpeg_decompress_struct& cinfo, const TReductionRequest& request)
{
    if (!request.largestFactor)
        return 1;
    const int32_t allowed = request.largestFactor(int32_t(cinfo.image_width), int32_t(cinfo.image_height));
    for (const unsigned factor : {8U, 4U, 2U})
        if (int64_t(factor) <= allowed)
            return factor;
    return 1;
}

std::shared_ptr<TRaster> Decode(std::span<const uint8_t> data, const TRowRequest& rows,
                                const TReductionRequest& reduction, TSourceReport* report,
                                const TCmykRowConversion& through = {})
{
    TJpegDecoder decoder(data);
    HeaderOf(decoder);  // refuses oversized pictures before libjpeg allocates
    jpeg_decompress_struct& cinfo = decoder.Info();
    SetDecodeParameters(cinfo);
    cinfo.scale_denom = ReductionOf(cinfo, reduction);
    decoder.Start();

    const bool gray = cinfo.out_color_space == JCS_GRAYSCALE;
    const int32_t sampled = SampledRowCount(cinfo, rows);
    auto raster = TRaster::Create(int32_t(cinfo.output_width),
                                  sampled > 0 ? sampled : int32_t(cinfo.output_height),
                                  gray ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
    if (gray)
        raster->palette = GrayPaletteOf(cinfo);
    if (sampled > 0)
        ReadSampledRows(decoder, *raster);
    else if (cinfo.out_color_space == JCS_CMYK)
        ReadCmykRows(decoder, *raster, through);
    else
        ReadDirectRows(decoder, *raster);
    decoder.Finish();
    if (report != nullptr) {
        report->damaged = decoder.Damaged();
        if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
            report->colourModel = TSourceReport::TColourModel::Cmyk;
    }
    return raster;
}

}  // namespace

TJpegHeader ReadJpegHeader(std::span<const uint8_t> data)
{
    TJpegDecoder decoder(data);
    return HeaderOf(decoder);
}

std::shared_ptr<TRaster> DecodeJpeg(std::span<const uint8_t> data, const TRowRequest& rows, TSourceReport* report)
{
    return Decode(data, rows, {}, report);
}

std::shared_ptr<TRaster> DecodeJpegReduced(std::span<const uint8_t> data, const TReductionRequest& reduction,
                                           TSourceReport* report)
{
    return Decode(data, {}, reduction, report);
}

std::shared_ptr<TRaster> DecodeJpegThrough(std::span<const uint8_t> data, const TCmykRowConversion& cmyk,
                                           TSourceReport* report)
{
    return Decode(data, {}, {}, report, cmyk);
}

std::vector<uint8_t> EncodeJpeg(const TRaster& raster, int quality, std::span<const TJpegMarker> markers,
                                const TJpegDensity& density)
{
    if (raster.width == 0 || raster.height == 0)
        return {};
    // An eighth of the raw size holds a photograph at the usual qualities;
    // the buffer doubles when it does not.
    TJpegEncoder encoder(size_t(raster.width) * size_t(raster.height) * 3 / 8);
    jpeg_compress_struct& cinfo = encoder.Info();
    cinfo.image_width = JDIMENSION(raster.width);
    cinfo.image_height = JDIMENSION(raster.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    encoder.Start(quality, density);
    for (const TJpegMarker& marker : markers)
        encoder.WriteMarker(marker.code, marker.bytes);
    WriteRows(encoder, raster);
    const std::span<const uint8_t> bytes = encoder.Finish();
    return {bytes.begin(), bytes.end()};
}

}  // namespace corvalin
