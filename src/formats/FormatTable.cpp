#include "formats/FormatTable.h"

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "formats/gif/GifImage.h"
#include "formats/jpeg/JpegImage.h"
#include "formats/metafile/Metafile.h"
#include "formats/pcd/PcdGraphic.h"
#include "formats/pcx/PcxGraphic.h"
#include "formats/psd/PsdGraphic.h"
#include "formats/png/PngImage.h"
#include "formats/tiff/TiffReader.h"
#include "formats/tiff/TiffWriter.h"
#include "picture/Bitmap.h"

namespace corvalin {

namespace {

size_t LoadBmp(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata&)
{
    picture.ReadBmp(file);
    return 1;
}

size_t LoadBmpRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata&,
                   const TRowRequest& rows)
{
    picture.ReadBmp(file, rows);
    return 1;
}

// pcd, psd, pcx and ico have no writer of their own: they hold BMP data.
void SaveBmp(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    WriteFileAtomically(fileName, [&](TStream& file) { picture.WriteBmpStream(file); });
}

constexpr TFormatAlias kBmpAliases[] = {
    {"bmp", "Windows bitmaps"}, {"rle", "Run length encoded Windows bitmaps"},
    {"dib", "Device independant Windows bitmaps"}};
constexpr TFormatAlias kIcoAliases[] = {{"ico", "Windows icons"}};
constexpr TFormatAlias kJpgAliases[] = {
    {"jfif", "JFIF images"}, {"jpg", "JPG images"}, {"jpe", "JPE images"}, {"jpeg", "JPEG images"}};
constexpr TFormatAlias kPcdAliases[] = {{"pcd", "Kodak Photo-CD images"}};
constexpr TFormatAlias kPsdAliases[] = {{"psd", "Photoshop images"}, {"pdd", "Photoshop images"}};
constexpr TFormatAlias kPcxAliases[] = {
    {"pcx", "ZSoft Paintbrush images"}, {"pcc", "ZSoft Paintbrush images"},
    {"scr", "Word 5.x screen capture images"}};
constexpr TFormatAlias kPngAliases[] = {{"png", "Portable network graphic images"}};
constexpr TFormatAlias kTifAliases[] = {
    {"tiff", "Macintosh TIFF images"}, {"tif", "PC TIF images"}, {"fax", "GFI fax images"}};
constexpr TFormatAlias kWmfAliases[] = {
    {"wmf", "Windows metafiles"}, {"emf", "Windows enhanced meta files"}};

}  // namespace

const std::array<TFormatRow, 10> FormatTable = {{
    {"bmp", "Windows-Bitmap", LoadBmp, LoadBmpRows, SaveBmp, kBmpAliases},
    {"gif", "GIF", LoadGifFile, nullptr, SaveGifFile, {}},
    {"ico", "Symbol", LoadBmp, LoadBmpRows, SaveBmp, kIcoAliases},
    {"jpg", "JPEG", LoadJpegFile, LoadJpegRows, SaveJpegFile, kJpgAliases, EncodeJpegFile},
    {"pcd", "Photo-CD", LoadThroughReader<TPCDGraphic>, nullptr, SaveBmp, kPcdAliases},
    {"psd", "Photoshop", LoadThroughReader<TPSDGraphic>, nullptr, SaveBmp, kPsdAliases},
    {"pcx", "PCX", LoadThroughReader<TPCXGraphic>, nullptr, SaveBmp, kPcxAliases},
    {"png", "PNG", LoadPngFile, nullptr, SavePngFile, kPngAliases},
    {"tif", "TIFF", LoadThroughReader<TTIFFGraphic>, nullptr, SaveTiffFile, kTifAliases},
    {"wmf", "Metadatei", LoadMetafileFile, nullptr, SaveMetafileFile, kWmfAliases},
}};

const TFormatRow& FormatRow(int formatIndex)
{
    return FormatTable.at(size_t(formatIndex - 1));
}

std::string FormatExtension(int formatIndex)
{
    return std::string(FormatRow(formatIndex).Extension);
}

std::vector<TRegisteredExtension> RegisteredExtensions()
{
    std::vector<TRegisteredExtension> registered;
    for (size_t i = 0; i < FormatTable.size(); ++i)
        for (const TFormatAlias& alias : FormatTable[i].Aliases) {
            for (const TRegisteredExtension& earlier : registered)
                if (earlier.Alias.Extension == alias.Extension)
                    throw EInvalidGraphic(FormatText("Attempt to register %s twice.", {std::string(alias.Extension)}));
            registered.push_back({alias, int(i + 1)});
        }
    return registered;
}

namespace {

// Longer extensions that a three-letter mask matched on the platform the
// format list comes from.
struct TExtensionAlias {
    std::string_view Extension;
    FormatIndex Format;
};
constexpr TExtensionAlias kAliases[] = {{"jpeg", fiJpg}, {"jpe", fiJpg}, {"tiff", fiTif}};

// First bytes that identify a format whatever the name says. Only strong
// signatures: PCX's single byte would claim arbitrary files.
struct TSignature {
    std::string_view Bytes;
    FormatIndex Format;
};
using namespace std::string_view_literals;
constexpr TSignature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n"sv, fiPng}, {"GIF87a"sv, fiGif},  {"GIF89a"sv, fiGif},
    {"\xff\xd8\xff"sv, fiJpg},       {"II*\0"sv, fiTif},    {"MM\0*"sv, fiTif},
    {"8BPS"sv, fiPsd},                {"\xd7\xcd\xc6\x9a"sv, fiWmf}, {"BM"sv, fiBmp},
};

// The lower-cased text behind the last "." that no "/" follows; empty when none.
std::string LowerExtension(const std::string& fileName)
{
    const size_t last = fileName.find_last_of("./");
    if (last == std::string::npos || fileName[last] != '.')
        return "";
    std::string extension = fileName.substr(last + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return extension;
}

}  // namespace

uint8_t FormatIndexOf(const std::string& fileName)
{
    const std::string extension = LowerExtension(fileName);
    for (size_t i = 0; i < FormatTable.size(); ++i)
        if (extension == FormatTable[i].Extension)
            return uint8_t(i + 1);
    return fiUnknown;
}

uint8_t FormatIndexOfName(const std::string& fileName)
{
    const std::string extension = LowerExtension(fileName);
    for (const TExtensionAlias& alias : kAliases)
        if (extension == alias.Extension)
            return alias.Format;
    return FormatIndexOf(fileName);
}

uint8_t FormatIndexOfContent(std::span<const uint8_t> file)
{
    const std::string_view head(reinterpret_cast<const char*>(file.data()), file.size());
    for (const TSignature& signature : kSignatures)
        if (head.starts_with(signature.Bytes) && FormatRow(signature.Format).Load != nullptr)
            return signature.Format;
    return fiUnknown;
}

}  // namespace corvalin
