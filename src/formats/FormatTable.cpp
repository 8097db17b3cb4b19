#include "formats/FormatTable.h"

#include "common/FileIO.h"
#include "common/Stream.h"
#include "formats/gif/GifImage.h"
#include "formats/jpeg/JpegImage.h"
#include "formats/png/PngImage.h"
#include "formats/tiff/TiffWriter.h"
#include "picture/Bitmap.h"

namespace corvalin {

namespace {

void LoadBmp(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata&)
{
    picture.ReadBmp(file);
}

// pcd, psd, pcx and ico have no writer of their own: they hold BMP data.
void SaveBmp(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    WriteFileAtomically(fileName, [&](TStream& file) { picture.WriteBmpStream(file); });
}

}  // namespace

const std::array<TFormatRow, 10> FormatTable = {{
    {"bmp", "Windows-Bitmap", LoadBmp, SaveBmp},
    {"gif", "GIF", LoadGifFile, SaveGifFile},
    {"ico", "Symbol", LoadBmp, SaveBmp},
    {"jpg", "JPEG", LoadJpegFile, SaveJpegFile},
    {"pcd", "Photo-CD", nullptr, SaveBmp},
    {"psd", "Photoshop", nullptr, SaveBmp},
    {"pcx", "PCX", nullptr, SaveBmp},
    {"png", "PNG", LoadPngFile, SavePngFile},
    {"tif", "TIFF", nullptr, SaveTiffFile},
    {"wmf", "Metadatei", nullptr, nullptr},
}};

const TFormatRow& FormatRow(int formatIndex)
{
    return FormatTable.at(size_t(formatIndex - 1));
}

std::string FormatExtension(int formatIndex)
{
    return std::string(FormatRow(formatIndex).Extension);
}

uint8_t FormatIndexOf(const std::string& fileName)
{
    const size_t last = fileName.find_last_of("./");
    if (last == std::string::npos || fileName[last] != '.')
        return fiUnknown;
    std::string extension = fileName.substr(last + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    for (size_t i = 0; i < FormatTable.size(); ++i)
        if (extension == FormatTable[i].Extension)
            return uint8_t(i + 1);
    return fiUnknown;
}

}  // namespace corvalin
