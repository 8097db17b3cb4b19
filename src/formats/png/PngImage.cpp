#include "formats/png/PngImage.h"

#include <algorithm>
#include <cstring>

#include "formats/png/PngAnimation.h"
#include "formats/png/PngErrors.h"
#include "formats/png/PngExif.h"
#include "formats/png/PngIcc.h"
#include "formats/png/PngResolution.h"
#include "formats/png/PngIdat.h"
#include "common/ByteCursor.h"
#include "common/FileIO.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "picture/Backdrop.h"
#include "picture/Bitmap.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr TChunkType kIHDR = MakeChunkType("IHDR");
constexpr TChunkType kIDAT = MakeChunkType("IDAT");
constexpr TChunkType kIEND = MakeChunkType("IEND");
constexpr TChunkType kcHRM = MakeChunkType("cHRM");

TGammaTable IdentityTable()
{
    TGammaTable table;
    for (int i = 0; i < 256; ++i)
        table[i] = uint8_t(i);
    return table;
}

bool IsCritical(const TChunkType& type)
{
    return (type[0] & 0x20) == 0;
}

// Reads a chunk's length and type; a file that ends anywhere in them is
// an unexpected end of the file.
bool ReadChunkHead(TByteCursor& in, uint32_t& length, TChunkType& type)
{
    if (in.Remaining() < 8)
        return false;
    length = in.U32BE();
    std::memcpy(type.data(), in.Bytes(4).data(), 4);
    return true;
}

bool IsGrey(const TRaster& raster)
{
    for (int y = 0; y < raster.height; ++y) {
        const uint8_t* p = raster.Row(y);
        for (int x = 0; x < raster.width; ++x, p += 4)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    }
    return true;
}

// A picture with alpha as the header holds it: BGR pixels or grey levels,
// and the alpha plane.
std::shared_ptr<TRaster> SplitAlpha(const TRaster& source, bool grey, std::vector<uint8_t>& alpha)
{
    auto picture = TRaster::Create(source.width, source.height, grey ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
    alpha.resize(size_t(source.width) * size_t(source.height));
    uint8_t* a = alpha.data();
    for (int y = 0; y < source.height; ++y) {
        const uint8_t* p = source.Row(y);
        uint8_t* q = picture->Row(y);
        for (int x = 0; x < source.width; ++x, p += 4, ++a) {
            if (grey)
                q[x] = p[0];
            else
                std::memcpy(q + 3 * size_t(x), p, 3);
            *a = p[3];
        }
    }
    return picture;
}

std::shared_ptr<TRaster> PictureFromBitmap(const TRaster& source, bool indexed)
{
    if (indexed || source.bitsPerPixel == 24)
        return std::make_shared<TRaster>(source);
    auto picture = TRaster::Create(source.width, source.height, TPixelFormat::pf24bit);
    for (int y = 0; y < source.height; ++y)
        DecodeRowToBgr(source, y, picture->Row(y));
    return picture;
}

}  // namespace

TPNGImage::TPNGImage() : GammaTable(IdentityTable()), InverseGammaTable(IdentityTable()) {}

TPNGImage::~TPNGImage() = default;

int32_t TPNGImage::Width() const
{
    return chunks_.empty() ? 0 : int32_t(Header().Width);
}

int32_t TPNGImage::Height() const
{
    return chunks_.empty() ? 0 : int32_t(Header().Height);
}

void TPNGImage::SetWidth(int32_t)
{
    throw EPngError(pngmsg::CannotResize);
}

void TPNGImage::SetHeight(int32_t)
{
    throw EPngError(pngmsg::CannotResize);
}

void TPNGImage::SetMaxIdatSize(int32_t size)
{
    maxIdatSize_ = std::max(size, 65535);
}

void TPNGImage::Clear()
{
    chunks_.clear();
    GammaTable = IdentityTable();
    InverseGammaTable = IdentityTable();
}

TChunkIHDR& TPNGImage::Header() const
{
    auto* header = chunks_.empty() ? nullptr : dynamic_cast<TChunkIHDR*>(chunks_.front().get());
    if (header == nullptr)
        throw EPNGHeaderNotPresent();
    return *header;
}

void TPNGImage::InsertAfterHeader(std::unique_ptr<TChunk> chunk)
{
    Header();  // there must be one
    chunks_.insert(chunks_.begin() + 1, std::move(chunk));
}

TChunk& TPNGImage::Append(std::unique_ptr<TChunk> chunk)
{
    chunks_.push_back(std::move(chunk));
    return *chunks_.back();
}

// ---- loading ----------------------------------------------------------------

void TPNGImage::LoadFromBytes(std::span<const uint8_t> file)
{
    Clear();
    sideData_ = TSideDataBudget();
    TByteCursor in(file);
    if (in.Remaining() < 8 || std::memcmp(in.Bytes(8).data(), kSignature, 8) != 0)
        throw EPNGInvalidFileHeader();
    ReadChunks(in);
    CheckComplete();
    Header().PublishPalette();
}

void TPNGImage::ReadChunks(TByteCursor& in)
{
    bool imageRead = false;
    for (;;) {
        uint32_t length = 0;
        TChunkType type{};
        if (!ReadChunkHead(in, length, type))
            throw EPngUnexpectedEnd();
        if (chunks_.empty() && type != kIHDR)
            throw EPNGIHDRNotFirst();
        if (type == kcHRM || (type == kIDAT && imageRead)) {
            in.Skip(std::min<uint64_t>(uint64_t(length) + 4, in.Remaining()));
            continue;
        }
        std::unique_ptr<TChunk> chunk = CreateChunk(type, *this);
        if (chunk->ChunkTypeName() == nullptr && IsCritical(type))
            throw EPNGUnknownCriticalChunk();
        // A chunk that fails to read stays in the list.
        Append(std::move(chunk)).ReadChunk(in, type, length);
        if (type == kIDAT)
            imageRead = true;
        if (type == kIEND)
            break;
    }
    if (!imageRead)
        throw EPNGNoImageData();
}

// A palette picture without its palette would decode to black; it is
// refused like any other broken palette.
void TPNGImage::CheckComplete() const
{
    if (Header().ColorType == ctPalette && FindChunk<TChunkPLTE>() == nullptr)
        throw EPNGInvalidPalette();
}

// ---- transparency -----------------------------------------------------------

TPngTransparency TPNGImage::TransparencyMode() const
{
    const TChunkIHDR& header = Header();
    const TChunktRNS* transparency = FindChunk<TChunktRNS>();
    switch (header.ColorType) {
    case ctGrey:
    case ctRgb: return transparency ? TPngTransparency::Bit : TPngTransparency::None;
    case ctPalette:
        if (transparency == nullptr)
            return TPngTransparency::None;
        return transparency->BitTransparency ? TPngTransparency::Bit : TPngTransparency::Partial;
    default: return TPngTransparency::Partial;
    }
}

// The colour the picture shows for the transparent sample, so that exactly
// the pixels the file marks transparent match it: grey levels through the
// grey ramp, 16-bit samples by their high byte, colours through the gamma
// table; for a palette, the one entry that is not opaque.
TColor TPNGImage::TransparentColor() const
{
    const TChunkIHDR& header = Header();
    const TChunktRNS* transparency = FindChunk<TChunktRNS>();
    if (transparency == nullptr)
        return clBlack;
    const auto& a = transparency->AlphaValues;
    auto sample = [&](int i) -> uint8_t {
        return header.BitDepth == 16 ? a[2 * i] : a[2 * i + 1];
    };
    switch (header.ColorType) {
    case ctGrey: {
        const uint8_t level = a[1] & uint8_t((1u << std::min<int>(header.BitDepth, 8)) - 1);
        const uint8_t index = header.BitDepth == 16 ? a[0] : header.BitDepth == 2 ? uint8_t(level * 5) : level;
        return header.ColorTable[index];
    }
    case ctRgb:
        return RGB(GammaTable[sample(0)], GammaTable[sample(1)], GammaTable[sample(2)]);
    case ctPalette: {
        const auto entry = std::find_if(a.begin(), a.end(), [](uint8_t alpha) { return alpha != 255; });
        const size_t index = entry == a.end() ? 0 : size_t(entry - a.begin());
        const TChunkPLTE* palette = FindChunk<TChunkPLTE>();
        if (palette == nullptr || index >= palette->Colors.size())
            throw EPngError(pngmsg::NoSuchPaletteEntry);
        return header.ColorTable[index];  // the colours the pixels show
    }
    default: return clBlack;
    }
}

// ---- hand-over to a bitmap --------------------------------------------------

void TPNGImage::AssignTo(TBitmap& target) const
{
    const TChunkIHDR* header = chunks_.empty() ? nullptr : dynamic_cast<const TChunkIHDR*>(chunks_.front().get());
    if (header == nullptr || header->Picture == nullptr)
        throw EConvertError("TPNGImage kann nicht zu TBitmap zugewiesen werden.");
    // Everything that can fail is done before the bitmap changes.
    const bool bitMode = TransparencyMode() == TPngTransparency::Bit;
    const TColor transparent = bitMode ? TransparentColor() : clBlack;
    target.AdoptRaster(header->Picture);
    target.Transparent = bitMode;
    if (bitMode)
        target.SetTransparentColor(transparent);
    else
        target.TransparentMode = TTransparentMode::tmAuto;
}

std::shared_ptr<TRaster> TPNGImage::PictureWithAlpha() const
{
    const TChunkIHDR& header = Header();
    const TChunktRNS* transparency = FindChunk<TChunktRNS>();
    const bool paletteAlpha = header.ColorType == ctPalette && transparency != nullptr;
    const auto& plane = header.Alpha;
    if (header.Picture == nullptr)
        return nullptr;
    if (!paletteAlpha && std::all_of(plane.begin(), plane.end(), [](uint8_t a) { return a == 255; }))
        return nullptr;  // also without a plane
    const TRaster& picture = *header.Picture;
    auto result = TRaster::Create(picture.width, picture.height, TPixelFormat::pf32bit);
    result->hasAlpha = true;
    std::vector<uint8_t> bgr(size_t(picture.width) * 3);
    const int bits = picture.bitsPerPixel;
    for (int y = 0; y < picture.height; ++y) {
        DecodeRowToBgr(picture, y, bgr.data());
        const uint8_t* row = picture.Row(y);
        uint8_t* out = result->Row(y);
        for (int x = 0; x < picture.width; ++x, out += 4) {
            std::memcpy(out, &bgr[3 * size_t(x)], 3);
            if (!paletteAlpha) {
                out[3] = plane[size_t(y) * picture.width + size_t(x)];
                continue;
            }
            const size_t bit = size_t(x) * bits;
            out[3] = transparency->AlphaValues[(row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1)];
        }
    }
    if (paletteAlpha && !HasTransparentPixel(*result))
        return nullptr;
    return result;
}

// ---- copying ----------------------------------------------------------------

void TPNGImage::Assign(const TPNGImage& source)
{
    if (&source == this)
        return;
    Clear();
    GammaTable = source.GammaTable;
    InverseGammaTable = source.InverseGammaTable;
    FilterSet = source.FilterSet;
    CompressionLevel = source.CompressionLevel;
    InterlaceMethod = source.InterlaceMethod;
    maxIdatSize_ = source.maxIdatSize_;
    for (const auto& chunk : source.chunks_)
        Append(CreateChunk(chunk->Type, *this)).CopyFrom(*chunk);
}

void TPNGImage::Assign(const TBitmap& source)
{
    Clear();
    const TRaster* raster = source.Raster();
    if (raster == nullptr)
        return;
    const int bits = raster->bitsPerPixel;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;

    auto& header = static_cast<TChunkIHDR&>(Append(std::make_unique<TChunkIHDR>(*this)));
    header.Type = kIHDR;
    header.Width = uint32_t(raster->width);
    header.Height = uint32_t(raster->height);
    const bool alpha = raster->hasAlpha;
    const bool grey = alpha && IsGrey(*raster);
    header.BitDepth = indexed ? uint8_t(bits) : 8;
    header.ColorType = indexed ? ctPalette : !alpha ? ctRgb : grey ? ctGreyAlpha : ctRgbAlpha;
    header.Picture = alpha ? SplitAlpha(*raster, grey, header.Alpha) : PictureFromBitmap(*raster, indexed);
    if (indexed) {
        const size_t entries = size_t(1) << bits;
        std::copy_n(raster->palette.begin(), std::min(entries, raster->palette.size()), header.ColorTable.begin());
        header.PublishPalette();
        auto& palette = static_cast<TChunkPLTE&>(Append(std::make_unique<TChunkPLTE>(*this)));
        palette.Type = MakeChunkType("PLTE");
        palette.Colors.assign(header.ColorTable.begin(), header.ColorTable.begin() + ptrdiff_t(entries));
    }
    if (indexed && raster->transparentIndex >= 0 && raster->transparentIndex < int(size_t(1) << bits))
        AddTransparentEntry(size_t(raster->transparentIndex));
    else if (source.Transparent && !alpha)
        AddTransparency(source.TransparentColor());
    Append(std::make_unique<TChunkIDAT>(*this)).Type = kIDAT;
    Append(std::make_unique<TChunkIEND>(*this)).Type = kIEND;
}

// tRNS for a transparent bitmap: the colour as three 16-bit samples, or the
// palette entry that holds it. A colour no palette entry holds marks no
// pixel, so it adds no chunk.
void TPNGImage::AddTransparency(TColor color)
{
    const TChunkIHDR& header = Header();
    std::vector<uint8_t> data;
    if (header.ColorType == ctRgb) {
        for (uint8_t sample : {RedOf(color), GreenOf(color), BlueOf(color)})
            Put16(data, sample, TByteOrder::BigEndian);
    } else {
        const auto& colors = FindChunk<TChunkPLTE>()->Colors;
        const auto entry = std::find(colors.begin(), colors.end(), color);
        if (entry != colors.end())
            AddTransparentEntry(size_t(entry - colors.begin()));
        return;
    }
    AppendTransparency(std::move(data));
}

// tRNS for a palette: the entry transparent, those before it opaque.
void TPNGImage::AddTransparentEntry(size_t index)
{
    std::vector<uint8_t> data(index, 255);
    data.push_back(0);
    AppendTransparency(std::move(data));
}

void TPNGImage::AppendTransparency(std::vector<uint8_t> data)
{
    auto& transparency = static_cast<TChunktRNS&>(Append(std::make_unique<TChunktRNS>(*this)));
    transparency.Type = MakeChunkType("tRNS");
    transparency.Data = data;
    transparency.AlphaValues.fill(255);
    std::copy(data.begin(), data.end(), transparency.AlphaValues.begin());
    transparency.BitTransparency = true;
}

// ---- writing ----------------------------------------------------------------

void TPNGImage::SaveToStream(TStream& stream) const
{
    if (chunks_.empty())
        return;
    stream.WriteBuffer(kSignature, sizeof kSignature);
    for (const auto& chunk : chunks_)
        chunk->WriteChunk(stream);
}

size_t LoadPngFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    TPNGImage png;
    png.LoadFromBytes(file);
    std::vector<uint8_t> profile = ReadIccProfile(png);
    auto withAlpha = png.PictureWithAlpha();
    std::vector<uint8_t> exif = ReadExifBlock(png);
    picture.AssignPicture(&png);
    if (withAlpha) {
        picture.AdoptRaster(std::move(withAlpha));
        picture.Transparent = false;
    }
    metadata.iccProfile = std::move(profile);
    metadata.source.bitsPerSample = png.Header().BitDepth;
    metadata.exif = std::move(exif);
    ReadResolution(png, metadata);
    return PngPictureCount(png);
}

void SavePngFile(const TBitmap& picture, const std::string& fileName, int32_t,
                 const TPictureMetadata& metadata)
{
    TPNGImage png;
    png.Assign(picture);
    if (!metadata.exif.empty() && !png.Chunks().empty())
        AddExifBlock(png, metadata.exif);
    if (!metadata.iccProfile.empty() && !png.Chunks().empty())
        AddIccProfile(png, metadata.iccProfile);
    else if (metadata.isSrgb && !png.Chunks().empty())
        AddSrgbChunk(png);
    if (!png.Chunks().empty())
        AddResolution(png, metadata);
    WriteFileAtomically(fileName, [&](TStream& file) { png.SaveToStream(file); });
}

}  // namespace corvalin
