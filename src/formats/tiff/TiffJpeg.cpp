#include "formats/tiff/TiffJpeg.h"

#include <vector>

#include "formats/jpeg/JpegSession.h"

namespace corvalin {

namespace {

[[noreturn]] void Fail(const char* text)
{
    throw EGraphicCompression(text);
}

bool IsTableStream(std::span<const uint8_t> tables)
{
    return tables.size() >= 4 && tables[0] == 0xFF && tables[1] == 0xD8 && tables[tables.size() - 2] == 0xFF &&
           tables[tables.size() - 1] == 0xD9;
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& properties, TColorScheme photometric,
                                   std::span<const uint8_t> tables)
    : properties_(properties), photometric_(photometric), tables_(tables)
{
}

void TTIFFJPEGDecoder::DecodeInit()
{
    if (!tables_.empty() && !IsTableStream(tables_))
        Fail("Bogus JPEG tables field.");
}

void TTIFFJPEGDecoder::ExpectBlock(uint32_t width, uint32_t rows)
{
    width_ = width;
    rows_ = rows;
}

int TTIFFJPEGDecoder::OutputComponents() const
{
    return properties_.PlanarConfig == 2 ? 1 : properties_.SamplesPerPixel;
}

size_t TTIFFJPEGDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    TJpegDecoder jpeg(packed, tables_);
    jpeg_decompress_struct& info = jpeg.Info();
    if (info.image_width != width_ || info.image_height != rows_)
        Fail("Improper JPEG strip/tile size.");
    const bool chunky = properties_.PlanarConfig != 2;
    if (info.num_components != OutputComponents())
        Fail("Improper JPEG component count.");
    if (info.data_precision != properties_.BitsPerSample)
        Fail("Improper JPEG data precision.");
    int h = 1, v = 1;
    if (chunky && photometric_ == TColorScheme::csYCbCr && properties_.YCbCrSubSampling.size() >= 2) {
        h = properties_.YCbCrSubSampling[0];
        v = properties_.YCbCrSubSampling[1];
    }
    bool factorsFit = info.comp_info[0].h_samp_factor == h && info.comp_info[0].v_samp_factor == v;
    for (int c = 1; chunky && c < info.num_components; ++c)
        factorsFit = factorsFit && info.comp_info[c].h_samp_factor == 1 && info.comp_info[c].v_samp_factor == 1;
    if (!factorsFit)
        Fail("Improper JPEG sampling factors.");
    const size_t rowBytes = size_t(width_) * size_t(OutputComponents());
    if (unpacked.size() % rowBytes != 0)
        Fail("Fractional JPEG scanline unsupported.");

    // TIFF's JPEG streams carry no JFIF or Adobe marker, so libjpeg is told
    // how the samples are stored instead of guessing.
    if (OutputComponents() == 1) {
        info.jpeg_color_space = info.out_color_space = JCS_GRAYSCALE;
    } else if (photometric_ == TColorScheme::csYCbCr) {
        info.jpeg_color_space = JCS_YCbCr;
        info.out_color_space = JCS_RGB;
    } else if (photometric_ == TColorScheme::csCMYK) {
        info.jpeg_color_space = info.out_color_space = JCS_CMYK;
    } else {
        info.jpeg_color_space = info.out_color_space = JCS_RGB;
    }
    info.raw_data_out = FALSE;
    jpeg.Start();
    if (size_t(info.output_width) * size_t(info.output_components) != rowBytes)
        Fail("Improper JPEG component count.");
    const size_t rows = unpacked.size() / rowBytes;
    size_t done = 0;
    std::vector<JSAMPROW> pointers(rows);
    for (size_t r = 0; r < rows; ++r)
        pointers[r] = unpacked.data() + r * rowBytes;
    while (done < rows) {
        const unsigned read = jpeg.ReadRows(pointers.data() + done, unsigned(rows - done));
        if (read == 0)
            break;
        done += read;
    }
    return done * rowBytes;
}

}  // namespace corvalin
