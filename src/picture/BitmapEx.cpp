#include "picture/BitmapEx.h"

#include "codecs/GifImage.h"
#include "codecs/PngImage.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "picture/JpegImage.h"
#include "picture/TiffWriter.h"

namespace corvalin {

namespace {

// Rows whose codec is not part of this build fail clearly instead of
// pretending to succeed.
[[noreturn]] void NotSupported(const char* format, const char* direction)
{
    throw EInvalidGraphic(std::string(format) + "-Dateien können noch nicht " + direction + " werden");
}

void LoadBmpFile(TBitmap& picture, const std::string& fileName)
{
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
    TSpanStream stream(bytes);
    picture.ReadBmpStream(stream);
}

// Reads the file into a codec object and takes its rendering.
template <typename Codec>
void LoadThroughCodec(TBitmap& picture, const std::string& fileName)
{
    const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
    TSpanStream stream(bytes);
    Codec codec;
    codec.LoadFromStream(stream);
    picture.AssignPicture(&codec);
}

void CheckJpegQuality(int32_t quality)
{
    if (quality < 1 || quality > 100)
        throw ERangeError(msg::RangeError);
}

}  // namespace

uint8_t FormatIndexOf(const std::string& fileName)
{
    const size_t last = fileName.find_last_of("./");
    if (last == std::string::npos || fileName[last] != '.')
        return fiUnknown;
    std::string extension = fileName.substr(last + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    for (size_t i = 0; i < FormatExtensions.size(); ++i)
        if (extension == FormatExtensions[i])
            return uint8_t(i + 1);
    return fiUnknown;
}

TBitmapEx::TBitmapEx() : TBitmap(TPixelFormat::pf24bit) {}

uint8_t TBitmapEx::LoadFromFileEx(const std::string& fileName)
{
    const uint8_t index = FormatIndexOf(fileName);
    switch (index) {
    case fiGif: LoadThroughCodec<TGIFImage>(*this, fileName); break;
    case fiJpg: LoadJpegFile(*this, fileName); break;
    case fiPcd: NotSupported("Photo-CD", "gelesen");
    case fiPsd: NotSupported("Photoshop", "gelesen");
    case fiPcx: NotSupported("PCX", "gelesen");
    case fiPng: LoadThroughCodec<TPNGImage>(*this, fileName); break;
    case fiTif: NotSupported("TIFF", "gelesen");
    case fiWmf: NotSupported("Metadatei", "gelesen");
    default: LoadBmpFile(*this, fileName); break;
    }
    return index;
}

uint8_t TBitmapEx::SaveToFileEx(const std::string& fileName, int32_t quality) const
{
    const uint8_t index = FormatIndexOf(fileName);
    switch (index) {
    case fiGif: {
        TGIFImage gif;
        gif.ImportBitmap(*this);
        WriteFileAtomically(fileName, [&](TStream& file) { gif.SaveToStream(file); });
        break;
    }
    case fiJpg: CheckJpegQuality(quality); SaveJpegFile(*this, fileName, quality); break;
    case fiPng: {
        TPNGImage png;
        png.Assign(*this);
        WriteFileAtomically(fileName, [&](TStream& file) { png.SaveToStream(file); });
        break;
    }
    case fiTif: SaveTiffFile(*this, fileName); break;
    case fiWmf: NotSupported("Metadatei", "geschrieben");
    default:
        // bmp, ico, pcd, psd, pcx and unknown extensions hold BMP data.
        WriteFileAtomically(fileName, [this](TStream& file) { WriteBmpStream(file); });
        break;
    }
    return index;
}

}  // namespace corvalin
