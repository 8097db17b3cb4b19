#include "formats/FormatTable.h"

#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "formats/gif/GifImage.h"
#include "formats/gif/GifProbe.h"
#include "formats/heif/HeifSignature.h"
#include "formats/ico/IcoProbe.h"
#include "formats/ico/IcoReader.h"
#include "formats/ico/IcoWriter.h"
#include "formats/jpeg/JpegImage.h"
#include "formats/jpeg/JpegProbe.h"
#include "formats/jxl/JxlSignature.h"
#include "formats/metafile/Metafile.h"
#include "formats/metafile/MetafileProbe.h"
#include "formats/pcd/PcdGraphic.h"
#include "formats/pcx/PcxGraphic.h"
#include "formats/pcx/PcxWriter.h"
#include "formats/psd/PsdGraphic.h"
#include "formats/psd/PsdWriter.h"
#include "formats/png/PngImage.h"
#include "formats/png/PngProbe.h"
#include "formats/tiff/TiffReader.h"
#include "formats/tiff/TiffWriter.h"
#include "formats/webp/WebpSignature.h"
#ifdef CORVALIN_WITH_WEBP
#include "formats/webp/WebpFile.h"
#endif
#ifdef CORVALIN_WITH_HEIF
#include "formats/heif/HeifFile.h"
#endif
#ifdef CORVALIN_WITH_JXL
#include "formats/jxl/JxlFile.h"
#endif
#include "picture/Bitmap.h"
#include "picture/BmpCodec.h"

namespace corvalin {

namespace {

size_t LoadBmpRows(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata,
                   const TRowRequest& rows)
{
    picture.ReadBmp(file, rows);
    metadata.source.damaged = picture.BmpDescription().damaged;
    return 1;
}

size_t LoadBmp(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    return LoadBmpRows(picture, file, metadata, {});
}

std::optional<TProbe> ProbeBmp(std::span<const uint8_t> file)
{
    const TBmpFacts facts = ReadBmpFacts(file);
    const BmpHeader& header = facts.header;
    TProbe probe;
    probe.width = header.width;
    probe.height = header.height < 0 ? -header.height : header.height;
    probe.bitsPerSample = uint8_t(std::min<uint16_t>(header.bitsPerPixel, 8));
    probe.colour = header.bitsPerPixel <= 8 ? TProbeColour::Palette : TProbeColour::Rgb;
    probe.alpha = facts.alphaMask;
    probe.damaged = facts.cutShort;
    return probe;
}

// Photo CD has no writer of its own: a .pcd target holds BMP data (and a
// real Photo CD file is never replaced by it, see the conversion).
void SaveBmp(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    WriteFileAtomically(fileName, [&](TStream& file) { picture.WriteBmpStream(file); });
}

using namespace std::string_view_literals;

bool StartsWith(std::span<const uint8_t> file, std::string_view bytes)
{
    return std::string_view(reinterpret_cast<const char*>(file.data()), file.size()).starts_with(bytes);
}

// Only strong signatures: PCX's single byte would claim arbitrary files.
bool IsBmp(std::span<const uint8_t> file)
{
    return StartsWith(file, "BM"sv);
}
bool IsGif(std::span<const uint8_t> file)
{
    return StartsWith(file, "GIF87a"sv) || StartsWith(file, "GIF89a"sv);
}
bool IsJpeg(std::span<const uint8_t> file)
{
    return StartsWith(file, "\xff\xd8\xff"sv);
}
bool IsPsd(std::span<const uint8_t> file)
{
    return StartsWith(file, "8BPS"sv);
}
bool IsPng(std::span<const uint8_t> file)
{
    return StartsWith(file, "\x89PNG\r\n\x1a\n"sv);
}
bool IsTiff(std::span<const uint8_t> file)
{
    return StartsWith(file, "II*\0"sv) || StartsWith(file, "MM\0*"sv);
}
bool IsPlaceableMetafile(std::span<const uint8_t> file)
{
    return StartsWith(file, "\xd7\xcd\xc6\x9a"sv);
}

constexpr std::string_view kBmpNames[] = {"bmp"};
constexpr std::string_view kGifNames[] = {"gif"};
constexpr std::string_view kIcoNames[] = {"ico", "cur"};
constexpr std::string_view kJpgNames[] = {"jpg", "jpeg", "jpe"};
constexpr std::string_view kPcdNames[] = {"pcd"};
constexpr std::string_view kPsdNames[] = {"psd"};
constexpr std::string_view kPcxNames[] = {"pcx"};
constexpr std::string_view kPngNames[] = {"png"};
constexpr std::string_view kTifNames[] = {"tif", "tiff"};
constexpr std::string_view kWmfNames[] = {"wmf"};
constexpr std::string_view kWebpNames[] = {"webp"};
constexpr std::string_view kHeicNames[] = {"heic", "heif", "hif"};
constexpr std::string_view kAvifNames[] = {"avif"};
constexpr std::string_view kJxlNames[] = {"jxl"};

constexpr TFormatAlias kBmpAliases[] = {
    {"bmp", "Windows bitmaps"}, {"rle", "Run length encoded Windows bitmaps"},
    {"dib", "Device independant Windows bitmaps"}};
constexpr TFormatAlias kIcoAliases[] = {{"ico", "Windows icons"}, {"cur", "Windows cursors"}};
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
constexpr TFormatAlias kWebpAliases[] = {{"webp", "WebP images"}};
constexpr TFormatAlias kHeicAliases[] = {{"heic", "HEIC images"}, {"heif", "HEIF images"}, {"hif", "HEIF images"}};
constexpr TFormatAlias kAvifAliases[] = {{"avif", "AVIF images"}};
constexpr TFormatAlias kJxlAliases[] = {{"jxl", "JPEG XL images"}};

// The camera and web formats' codecs are optional: without their library
// the row stays, unable to read or write.
#ifdef CORVALIN_WITH_WEBP
constexpr TLoadPath kWebpLoad = LoadWebpFile;
constexpr TRowsLoadPath kWebpLoadRows = LoadWebpRows;
constexpr TReducedLoadPath kWebpLoadReduced = LoadWebpReduced;
constexpr TSavePath kWebpSave = SaveWebpFile;
constexpr TEncodePath kWebpEncode = EncodeWebpFile;
constexpr TProbePath kWebpProbe = ProbeWebpFile;
#else
constexpr TLoadPath kWebpLoad = nullptr;
constexpr TRowsLoadPath kWebpLoadRows = nullptr;
constexpr TReducedLoadPath kWebpLoadReduced = nullptr;
constexpr TSavePath kWebpSave = nullptr;
constexpr TEncodePath kWebpEncode = nullptr;
constexpr TProbePath kWebpProbe = nullptr;
#endif
#ifdef CORVALIN_WITH_HEIF
constexpr TLoadPath kHeifLoad = LoadHeifFile;
constexpr TRowsLoadPath kHeifLoadRows = LoadHeifRows;
constexpr TSavePath kHeicSave = SaveHeicFile;
constexpr TEncodePath kHeicEncode = EncodeHeicFile;
constexpr TSavePath kAvifSave = SaveAvifFile;
constexpr TEncodePath kAvifEncode = EncodeAvifFile;
constexpr TProbePath kHeifProbe = ProbeHeifFile;
#else
constexpr TLoadPath kHeifLoad = nullptr;
constexpr TRowsLoadPath kHeifLoadRows = nullptr;
constexpr TSavePath kHeicSave = nullptr;
constexpr TEncodePath kHeicEncode = nullptr;
constexpr TSavePath kAvifSave = nullptr;
constexpr TEncodePath kAvifEncode = nullptr;
constexpr TProbePath kHeifProbe = nullptr;
#endif
#ifdef CORVALIN_WITH_JXL
constexpr TLoadPath kJxlLoad = LoadJxlFile;
constexpr TSavePath kJxlSave = SaveJxlFile;
constexpr TEncodePath kJxlEncode = EncodeJxlFile;
constexpr TProbePath kJxlProbe = ProbeJxlFile;
#else
constexpr TLoadPath kJxlLoad = nullptr;
constexpr TSavePath kJxlSave = nullptr;
constexpr TEncodePath kJxlEncode = nullptr;
constexpr TProbePath kJxlProbe = nullptr;
#endif

// Columns: key, name, names, MIME types, signature, load, load rows, load
// reduced, save, uses quality, holds alpha, holds several pictures, reader
// registration, encoder into memory, load through a CMYK profile, lossless
// quality, pictures written, probe.
constexpr std::array kRows = {
    TFormatRow{"bmp", "Windows-Bitmap", kBmpNames, "image/bmp;", IsBmp, LoadBmp, LoadBmpRows, nullptr, SaveBmp, false,
               false, false, kBmpAliases, nullptr, nullptr, 0, nullptr, ProbeBmp},
    TFormatRow{"gif", "GIF", kGifNames, "image/gif;", IsGif, LoadGifFile, nullptr, nullptr, SaveGifFile, false, false,
               true, {}, nullptr, nullptr, 0, nullptr, ProbeGifFile},
    TFormatRow{"ico", "Symbol", kIcoNames, "image/vnd.microsoft.icon;", nullptr, LoadIcoFile, nullptr, nullptr,
               SaveIcoFile, false, false, true, kIcoAliases, nullptr, nullptr, 0, IcoPicturesWritten, ProbeIcoFile},
    TFormatRow{"jpg", "JPEG", kJpgNames, "image/jpeg;", IsJpeg, LoadJpegFile, LoadJpegRows, LoadJpegReduced, SaveJpegFile, true, false,
               false, kJpgAliases, EncodeJpegFile, LoadJpegCmykToSrgb, 0, nullptr, ProbeJpegFile},
    TFormatRow{"pcd", "Photo-CD", kPcdNames, "image/x-photo-cd;", nullptr, LoadThroughReader<TPCDGraphic>, nullptr, nullptr, SaveBmp, false, false,
               false, kPcdAliases, nullptr, nullptr, 0, nullptr, ProbeThroughReader<TPCDGraphic, kPcdLoadedResolution>},
    TFormatRow{"psd", "Photoshop", kPsdNames, "image/vnd.adobe.photoshop;", IsPsd, LoadThroughReader<TPSDGraphic>, nullptr, nullptr, SavePsdFile, false,
               false, false, kPsdAliases, nullptr, LoadPsdCmykToSrgb, 0, nullptr, ProbeThroughReader<TPSDGraphic>},
    TFormatRow{"pcx", "PCX", kPcxNames, "image/vnd.zbrush.pcx;", nullptr, LoadThroughReader<TPCXGraphic>, nullptr, nullptr, SavePcxFile, false, false,
               false, kPcxAliases, nullptr, nullptr, 0, nullptr, ProbeThroughReader<TPCXGraphic>},
    TFormatRow{"png", "PNG", kPngNames, "image/png;", IsPng, LoadPngFile, nullptr, nullptr, SavePngFile, false, false, true,
               kPngAliases, nullptr, nullptr, 0, nullptr, ProbePngFile},
    TFormatRow{"tif", "TIFF", kTifNames, "image/tiff;", IsTiff, LoadThroughReader<TTIFFGraphic>, nullptr, nullptr, SaveTiffFile, false, false, true,
               kTifAliases, nullptr, nullptr, 0, nullptr, ProbeThroughReader<TTIFFGraphic>},
    TFormatRow{"wmf", "Metadatei", kWmfNames, "image/wmf;", IsPlaceableMetafile, LoadMetafileFile, nullptr, nullptr,
               SaveMetafileFile, false, false, false, kWmfAliases, nullptr, nullptr, 0, nullptr, ProbeMetafile},
    TFormatRow{"webp", "WebP", kWebpNames, "image/webp;", IsWebp, kWebpLoad, kWebpLoadRows, kWebpLoadReduced, kWebpSave, true, true, true,
               kWebpAliases, kWebpEncode, nullptr, 100, nullptr, kWebpProbe},
    TFormatRow{"heic", "HEIC", kHeicNames, "image/heic;image/heif;", IsHeic, kHeifLoad, kHeifLoadRows, nullptr, kHeicSave, true, true,
               true, kHeicAliases, kHeicEncode, nullptr, 0, nullptr, kHeifProbe},
    TFormatRow{"avif", "AVIF", kAvifNames, "image/avif;", IsAvif, kHeifLoad, nullptr, nullptr, kAvifSave, true, true, true,
               kAvifAliases, kAvifEncode, nullptr, 0, nullptr, kHeifProbe},
    TFormatRow{"jxl", "JPEG XL", kJxlNames, "image/jxl;", IsJxl, kJxlLoad, nullptr, nullptr, kJxlSave, true, true, true,
               kJxlAliases, kJxlEncode, nullptr, 100, nullptr, kJxlProbe},
};

}  // namespace

// A row too many or too few does not compile.
const std::array<TFormatRow, kFormatCount> FormatTable = kRows;

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

FormatIndex FormatIndexOf(const std::string& fileName)
{
    const std::string extension = LowerExtension(fileName);
    for (size_t i = 0; i < FormatTable.size(); ++i)
        if (extension == FormatTable[i].Extension)
            return FormatIndex(i + 1);
    return fiUnknown;
}

FormatIndex FormatIndexOfName(const std::string& fileName)
{
    const std::string extension = LowerExtension(fileName);
    for (size_t i = 0; i < FormatTable.size(); ++i)
        for (std::string_view name : FormatTable[i].Names)
            if (extension == name)
                return FormatIndex(i + 1);
    return fiUnknown;
}

FormatIndex FormatIndexOfContent(std::span<const uint8_t> file)
{
    for (size_t i = 0; i < FormatTable.size(); ++i) {
        const TFormatRow& row = FormatTable[i];
        if (row.HasSignature != nullptr && IsUsable(row) && row.HasSignature(file))
            return FormatIndex(i + 1);
    }
    return fiUnknown;
}

FormatIndex RowIndexOrBmp(FormatIndex formatIndex)
{
    return formatIndex == fiUnknown ? fiBmp : formatIndex;
}

FormatIndex ReaderIndexOf(FormatIndex nameIndex, std::span<const uint8_t> file)
{
    const FormatIndex contentIndex = FormatIndexOfContent(file);
    const FormatIndex named = RowIndexOrBmp(nameIndex);
    if (contentIndex != fiUnknown && FormatRow(contentIndex).Load != FormatRow(named).Load)
        return contentIndex;
    return named;
}

}  // namespace corvalin
