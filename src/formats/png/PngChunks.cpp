#include "formats/png/PngChunks.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <typeinfo>

#include <zlib.h>

#include "formats/png/PngErrors.h"
#include "formats/png/PngIdat.h"
#include "formats/png/PngImage.h"
#include "formats/png/PngZlib.h"
#include "common/ByteCursor.h"
#include "common/Limits.h"
#include "common/Stream.h"

namespace corvalin {

namespace {

constexpr auto BE = TByteOrder::BigEndian;

}  // namespace

// CRC-32 over a chunk's type and data. (zlib answers a null buffer with
// the initial value, so empty data is left out.)
uint32_t ChunkCrc(const TChunkType& type, std::span<const uint8_t> data)
{
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), uInt(data.size()));
    return uint32_t(crc);
}

void WriteChunkBytes(TStream& stream, const TChunkType& type, std::span<const uint8_t> data)
{
    std::vector<uint8_t> head;
    Put32(head, uint32_t(data.size()), BE);
    head.insert(head.end(), type.begin(), type.end());
    std::vector<uint8_t> tail;
    Put32(tail, ChunkCrc(type, data), BE);
    stream.WriteBuffer(head);
    stream.WriteBuffer(data);
    stream.WriteBuffer(tail);
}

// ---- TChunk -----------------------------------------------------------------

void ThrowIncompatibleChunks()
{
    throw EPngError(pngmsg::ChunksNotCompatible);
}

void TChunk::CopyFrom(const TChunk& source)
{
    Type = source.Type;
    Data = source.Data;
}

void TChunk::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    Type = type;
    // Data cut short by the end of the file cannot match its CRC; checked
    // before the length is trusted for an allocation.
    if (uint64_t(length) + 4 > in.Remaining())
        throw EPngInvalidCRC();
    const std::span<const uint8_t> data = in.Bytes(length);
    Data.assign(data.begin(), data.end());
    if (ChunkCrc(type, Data) != in.U32BE())
        throw EPngInvalidCRC();
}

void TChunk::WriteChunk(TStream& stream) const
{
    WriteChunkBytes(stream, Type, DataToWrite());
}

// ---- IHDR -------------------------------------------------------------------

namespace {

// Deflate cannot expand data by more than about 1032 to 1; a picture that
// needs more filtered bytes than the rest of the file could ever inflate to
// is refused before its raster is allocated. Small pictures are left to the
// ordinary checks so that a damaged file reports what is wrong with it.
constexpr int64_t kMaxInflateRatio = 1032;
constexpr int64_t kPlausibilityCheckBytes = 16 * 1024 * 1024;

TPixelFormat FormatOfBits(int bits)
{
    switch (bits) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    default: return TPixelFormat::pf24bit;
    }
}

int64_t FilteredImageBytes(const TChunkIHDR& header)
{
    auto passBytes = [&](uint32_t width, uint32_t height) -> int64_t {
        if (width == 0 || height == 0)
            return 0;
        return int64_t(height) * int64_t(StoredRowBytes(header.ColorType, header.BitDepth, width) + 1);
    };
    if (header.InterlaceMethod == 0)
        return passBytes(header.Width, header.Height);
    int64_t total = 0;
    for (const TAdam7Pass& pass : kAdam7Passes)
        total += passBytes(PassExtent(header.Width, pass.x0, pass.dx), PassExtent(header.Height, pass.y0, pass.dy));
    return total;
}

}  // namespace

void TChunkIHDR::CopyFrom(const TChunk& source)
{
    const auto& header = CompatibleSource<TChunkIHDR>(source);
    TChunk::CopyFrom(header);
    Width = header.Width;
    Height = header.Height;
    BitDepth = header.BitDepth;
    ColorType = header.ColorType;
    CompressionMethod = header.CompressionMethod;
    FilterMethod = header.FilterMethod;
    InterlaceMethod = header.InterlaceMethod;
    // The picture is never changed once decoded or built, so it is shared.
    Picture = header.Picture;
    ColorTable = header.ColorTable;
    Alpha = header.Alpha;
}

void TChunkIHDR::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    if (Data.size() < 13)
        throw EPngInvalidIHDR();
    Width = Get32(&Data[0], BE);
    Height = Get32(&Data[4], BE);
    BitDepth = Data[8];
    ColorType = Data[9];
    CompressionMethod = Data[10];
    FilterMethod = Data[11];
    InterlaceMethod = Data[12];
    CheckFields();
    // Only the first chunk of the list describes the picture.
    if (Owner().Chunks().empty() || Owner().Chunks().front().get() != this)
        return;
    Owner().InterlaceMethod = InterlaceMethod;
    RefuseImpossibleData(in);
    PreparePicture();
}

void TChunkIHDR::CheckFields() const
{
    if (Width > 65535 || Height > 65535)
        throw EPNGSizeExceeds();
    if (CompressionMethod != 0)
        throw EPNGUnknownCompression();
    if (InterlaceMethod > 1)
        throw EPNGUnknownInterlace();
    // Nothing could decode these; refuse them rather than show garbage.
    if (Width == 0 || Height == 0 || FilterMethod != 0 || !IsAcceptedFormat(ColorType, BitDepth))
        throw EPngInvalidIHDR();
    CheckedRasterBytes(Width, Height, PictureBits());
}

void TChunkIHDR::RefuseImpossibleData(const TByteCursor& in) const
{
    const int64_t pictureBytes = CheckedRasterBytes(Width, Height, PictureBits()) +
                                 (HasAlphaPlane(ColorType) ? int64_t(Width) * Height : 0);
    if (pictureBytes <= kPlausibilityCheckBytes)
        return;
    if (FilteredImageBytes(*this) / kMaxInflateRatio > int64_t(in.Remaining()))
        throw EPNGMissingMultipleIDAT();
}

void TChunkIHDR::PreparePicture()
{
    ColorTable.fill(0);
    auto picture = TRaster::Create(int32_t(Width), int32_t(Height), FormatOfBits(PictureBits()), PictureBits());
    Alpha.clear();
    if (HasAlphaPlane(ColorType))
        PrepareAlpha();
    Picture = std::move(picture);
}

void TChunkIHDR::PrepareAlpha()
{
    CheckedRasterBytes(Width, Height, 8);
    try {
        Alpha.assign(size_t(Width) * Height, 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(msg::OutOfResources);
    }
}

void TChunkIHDR::FillGreyRamp(const TGammaTable& gamma)
{
    const int entries = 1 << PictureBits();
    for (int n = 0; n < entries; ++n) {
        const int level = (n * 255 + (entries - 1) / 2) / (entries - 1);
        const uint8_t g = gamma[level];
        ColorTable[n] = RGB(g, g, g);
    }
}

void TChunkIHDR::PublishPalette()
{
    const int bits = PictureBits();
    if (Picture == nullptr || bits > 8)
        return;
    Picture->palette.assign(ColorTable.begin(), ColorTable.begin() + (1 << bits));
}

uint8_t TChunkIHDR::WrittenBitDepth() const
{
    return ColorType == ctGrey || ColorType == ctPalette ? uint8_t(PictureBits()) : 8;
}

std::vector<uint8_t> TChunkIHDR::DataToWrite() const
{
    std::vector<uint8_t> data;
    Put32(data, Width, BE);
    Put32(data, Height, BE);
    data.insert(data.end(), {WrittenBitDepth(), ColorType, CompressionMethod, FilterMethod,
                             Owner().InterlaceMethod});
    return data;
}

// ---- PLTE -------------------------------------------------------------------

void TChunkPLTE::CopyFrom(const TChunk& source)
{
    const auto& palette = CompatibleSource<TChunkPLTE>(source);
    TChunk::CopyFrom(palette);
    Colors = palette.Colors;
}

void TChunkPLTE::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    if (Data.size() % 3 != 0 || Data.size() > 768)
        throw EPNGInvalidPalette();
    const TGammaTable& gamma = Owner().GammaTable;
    Colors.clear();
    for (size_t i = 0; i < Data.size(); i += 3)
        Colors.push_back(RGB(gamma[Data[i]], gamma[Data[i + 1]], gamma[Data[i + 2]]));
    // A grey or RGB picture's palette is only a suggestion and colours nothing.
    TChunkIHDR& header = Owner().Header();
    if (header.ColorType == ctPalette)
        std::copy(Colors.begin(), Colors.end(), header.ColorTable.begin());
}

std::vector<uint8_t> TChunkPLTE::DataToWrite() const
{
    const TGammaTable& inverse = Owner().InverseGammaTable;
    std::vector<uint8_t> data;
    for (TColor color : Colors)
        data.insert(data.end(), {inverse[RedOf(color)], inverse[GreenOf(color)], inverse[BlueOf(color)]});
    return data;
}

// ---- tRNS -------------------------------------------------------------------

void TChunktRNS::CopyFrom(const TChunk& source)
{
    const auto& transparency = CompatibleSource<TChunktRNS>(source);
    TChunk::CopyFrom(transparency);
    AlphaValues = transparency.AlphaValues;
    BitTransparency = transparency.BitTransparency;
}

void TChunktRNS::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    if (Data.size() > 256)
        throw EPNGInvalidPalette();
    AlphaValues.fill(255);
    std::copy(Data.begin(), Data.end(), AlphaValues.begin());
    const uint8_t colorType = Owner().Header().ColorType;
    if (colorType == ctGrey || colorType == ctRgb)
        BitTransparency = true;
    else if (colorType == ctPalette)
        BitTransparency = std::count_if(Data.begin(), Data.end(), [](uint8_t a) { return a != 255; }) == 1;
}

// Transparent samples follow the depth the picture is written at: a 2-bit
// grey level becomes its 4-bit index, a 16-bit sample its high byte.
std::vector<uint8_t> TChunktRNS::DataToWrite() const
{
    const TChunkIHDR& header = Owner().Header();
    if (header.ColorType != ctGrey && header.ColorType != ctRgb)
        return Data;
    if (header.BitDepth != 2 && header.BitDepth != 16)
        return Data;
    std::vector<uint8_t> data;
    for (size_t i = 0; i + 1 < Data.size(); i += 2) {
        const uint16_t sample = Get16(&Data[i], BE);
        Put16(data, header.BitDepth == 16 ? uint16_t(sample >> 8) : uint16_t((sample & 3) * 5), BE);
    }
    return data;
}

// ---- gAMA -------------------------------------------------------------------

void TChunkgAMA::CopyFrom(const TChunk& source)
{
    const auto& gamma = CompatibleSource<TChunkgAMA>(source);
    TChunk::CopyFrom(gamma);
    Gamma = gamma.Gamma;
}

void TChunkgAMA::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    Gamma = Data.size() >= 4 ? Get32(Data.data(), BE) : 0;
    if (Gamma == 0)
        return;
    const double exponent = 1.0 / (Gamma / 100000.0 * 2.2);
    for (int i = 0; i < 256; ++i) {
        const auto g = uint8_t(std::lround(255.0 * std::pow(i / 255.0, exponent)));
        Owner().GammaTable[i] = g;
        Owner().InverseGammaTable[g] = uint8_t(i);
    }
}

std::vector<uint8_t> TChunkgAMA::DataToWrite() const
{
    std::vector<uint8_t> data;
    Put32(data, Gamma, BE);
    return data;
}

// ---- IEND -------------------------------------------------------------------

void TChunkIEND::CopyFrom(const TChunk& source)
{
    TChunk::CopyFrom(CompatibleSource<TChunkIEND>(source));
}

// ---- tIME -------------------------------------------------------------------

void TChunktIME::CopyFrom(const TChunk& source)
{
    const auto& time = CompatibleSource<TChunktIME>(source);
    TChunk::CopyFrom(time);
    Year = time.Year;
    Month = time.Month;
    Day = time.Day;
    Hour = time.Hour;
    Minute = time.Minute;
    Second = time.Second;
}

void TChunktIME::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    if (Data.size() != 7)
        return;
    Year = Get16(Data.data(), BE);
    Month = Data[2];
    Day = Data[3];
    Hour = Data[4];
    Minute = Data[5];
    Second = Data[6];
}

std::vector<uint8_t> TChunktIME::DataToWrite() const
{
    std::vector<uint8_t> data;
    Put16(data, Year, BE);
    data.insert(data.end(), {Month, Day, Hour, Minute, Second});
    return data;
}

// ---- tEXt, zTXt -------------------------------------------------------------

void TChunktEXt::CopyFrom(const TChunk& source)
{
    const auto& text = CompatibleSource<TChunktEXt>(source);
    TChunk::CopyFrom(text);
    Keyword = text.Keyword;
    Text = text.Text;
}

size_t TChunktEXt::SplitKeyword()
{
    const auto zero = std::find(Data.begin(), Data.end(), uint8_t(0));
    Keyword.assign(Data.begin(), zero);
    return zero == Data.end() ? Data.size() : size_t(zero - Data.begin()) + 1;
}

void TChunktEXt::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    const size_t textStart = SplitKeyword();
    // Text beyond the file's side-data budget is dropped.
    if (Owner().SideData().Charge(Data.size() - textStart))
        Text.assign(Data.begin() + ptrdiff_t(textStart), Data.end());
}

std::vector<uint8_t> TChunktEXt::DataToWrite() const
{
    std::vector<uint8_t> data(Keyword.begin(), Keyword.end());
    data.push_back(0);
    data.insert(data.end(), Text.begin(), Text.end());
    return data;
}

void TChunkzTXt::CopyFrom(const TChunk& source)
{
    const auto& text = CompatibleSource<TChunkzTXt>(source);
    TChunk::CopyFrom(text);
    Keyword = text.Keyword;
    Text = text.Text;
}

void TChunkzTXt::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    TChunk::ReadChunk(in, type, length);
    const size_t methodAt = SplitKeyword();
    Text.clear();
    if (methodAt >= Data.size() || Data[methodAt] != 0)
        return;
    // Damaged or endlessly inflating text is dropped, never an error; so is
    // text beyond the file's side-data budget, and once one text has not
    // fit, no further text is inflated at all.
    TSideDataBudget& budget = Owner().SideData();
    const size_t limit = std::min(kMaxTextBytes, budget.Left());
    if (limit == 0)
        return;
    const auto text = InflateBounded(std::span(Data).subspan(methodAt + 1), limit);
    if (text && budget.Charge(text->size()))
        Text.assign(text->begin(), text->end());
    else if (limit < kMaxTextBytes)
        budget.Exhaust();
}

std::vector<uint8_t> TChunkzTXt::DataToWrite() const
{
    std::vector<uint8_t> data(Keyword.begin(), Keyword.end());
    data.insert(data.end(), {0, 0});
    const std::string text = Text.empty() ? std::string(" ") : Text;
    const std::vector<uint8_t> packed = DeflateWhole(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, Owner().CompressionLevel);
    data.insert(data.end(), packed.begin(), packed.end());
    return data;
}

// ---- registry ---------------------------------------------------------------

namespace {

template <class T>
std::unique_ptr<TChunk> Make(TPNGImage& owner)
{
    return std::make_unique<T>(owner);
}

constexpr TChunkClass kRegistry[] = {
    {TChunkIEND::kTypeName, Make<TChunkIEND>}, {TChunkIHDR::kTypeName, Make<TChunkIHDR>},
    {TChunkIDAT::kTypeName, Make<TChunkIDAT>}, {TChunkPLTE::kTypeName, Make<TChunkPLTE>},
    {TChunkgAMA::kTypeName, Make<TChunkgAMA>}, {TChunktRNS::kTypeName, Make<TChunktRNS>},
    {TChunktIME::kTypeName, Make<TChunktIME>}, {TChunktEXt::kTypeName, Make<TChunktEXt>},
    {TChunkzTXt::kTypeName, Make<TChunkzTXt>},
};

}  // namespace

std::span<const TChunkClass> ChunkRegistry()
{
    return kRegistry;
}

std::unique_ptr<TChunk> CreateChunk(const TChunkType& type, TPNGImage& owner)
{
    for (const TChunkClass& entry : kRegistry)
        if (std::equal(type.begin(), type.end(), entry.type))
            return entry.create(owner);
    return std::make_unique<TChunk>(owner);
}

}  // namespace corvalin
