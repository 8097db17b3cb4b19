#include "formats/tiff/TiffReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/Exceptions.h"
#include "common/LargeBlocks.h"
#include "common/Limits.h"
#include "formats/lzw/LzwDecoder.h"
#include "formats/metadata/PictureMetadata.h"
#include "formats/tiff/TiffDeflate.h"
#include "formats/tiff/TiffFax.h"
#include "formats/tiff/TiffJpeg.h"
#include "formats/tiff/TiffMetadata.h"
#include "formats/tiff/TiffPixels.h"
#include "formats/tiff/TiffThunder.h"
#include "picture/Backdrop.h"

namespace corvalin {

namespace {

constexpr const char* kFormatName = "TIF/TIFF";
constexpr uint32_t kGroup3TwoDimensional = 1;
constexpr uint32_t kGroup3Uncompressed = 2;

TColorScheme SchemeOfPhotometric(uint32_t photometric, uint32_t samples)
{
    switch (photometric) {
    case 0: case 1:
        return TColorScheme::csG;
    case 2:
        return samples >= 4 ? TColorScheme::csRGBA : TColorScheme::csRGB;
    case 3:
        return TColorScheme::csIndexed;
    case 5:
        return TColorScheme::csCMYK;
    case 6:
        return TColorScheme::csYCbCr;
    case 8:
        return TColorScheme::csCIELab;
    default:
        return TColorScheme::csUnknown;
    }
}

TCompressionType CompressionOf(uint32_t tag)
{
    switch (tag) {
    case 1: return TCompressionType::ctNone;
    case 2: return TCompressionType::ctFaxRLE;
    case 3: return TCompressionType::ctFax3;
    case 4: return TCompressionType::ctFax4;
    case 5: return TCompressionType::ctLZW;
    case 6: return TCompressionType::ctOJPEG;
    case 7: return TCompressionType::ctJPEG;
    case 8: case 32946: return TCompressionType::ctLZ77;
    case 32766: return TCompressionType::ctNext;
    case 32771: return TCompressionType::ctFaxRLEW;
    case 32773: return TCompressionType::ctPackedBits;
    case 32809: return TCompressionType::ctThunderscan;
    case 32895: return TCompressionType::ctIT8CTPAD;
    case 32896: return TCompressionType::ctIT8LW;
    case 32897: return TCompressionType::ctIT8MP;
    case 32898: return TCompressionType::ctIT8BL;
    case 32908: return TCompressionType::ctPixarFilm;
    case 32909: return TCompressionType::ctPixarLog;
    case 32947: return TCompressionType::ctDCS;
    case 34661: return TCompressionType::ctJBIG;
    default: return TCompressionType::ctUnknown;
    }
}

bool IsIndexedFamily(TColorScheme scheme)
{
    return scheme == TColorScheme::csIndexed || scheme == TColorScheme::csG || scheme == TColorScheme::csGA;
}

uint64_t RowBytes(uint64_t width, uint64_t bitsPerPixel)
{
    return (width * bitsPerPixel + 7) / 8;
}

}  // namespace

bool TTIFFGraphic::ReadPictureInfo(std::span<const uint8_t> file, uint32_t index)
{
    TReaderGraphic::ReadPictureInfo(file, index);
    extras_ = TTiffExtras{};
    directory_.emplace(file);
    const TTiffDirectory& d = *directory_;
    TImageProperties& p = properties_;
    p.Version = d.Version();
    if (p.Version != 42 || !directory_->Select(index))
        return false;
    const uint32_t width = d.Value(ttImageWidth, 0), height = d.Value(ttImageLength, 0);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return false;
    p.Width = int32_t(width);
    p.Height = int32_t(height);
    if (d.Order() == TByteOrder::BigEndian)
        p.Options |= ioBigEndian;

    const uint32_t samples = d.Value(ttSamplesPerPixel, 1);
    const std::vector<uint32_t> bits = d.Values(ttBitsPerSample);
    const uint32_t bitsPerSample = bits.empty() ? 1 : bits[0];
    if (samples == 0 || samples > 255 || bitsPerSample > 255 || samples * bitsPerSample > 255)
        return false;
    p.SamplesPerPixel = uint8_t(samples);
    p.BitsPerSample = uint8_t(bitsPerSample);
    p.BitsPerPixel = uint8_t(samples * bitsPerSample);
    p.BytesPerLine = uint32_t(std::min<uint64_t>(RowBytes(width, p.BitsPerPixel), UINT32_MAX));

    p.RowsPerStrip = d.Values(ttRowsPerStrip);
    if (p.RowsPerStrip.empty() || p.RowsPerStrip[0] == 0xFFFFFFFF)
        p.RowsPerStrip = {height};
    p.TileWidth = d.Value(ttTileWidth, 0);
    p.TileLength = d.Value(ttTileLength, 0);
    if (p.TileWidth != 0 && p.TileLength != 0)
        p.Options |= ioTiled;

    extras_.Photometric = d.Value(ttPhotometric, 0);
    p.ColorScheme = SchemeOfPhotometric(extras_.Photometric, samples);
    if (extras_.Photometric == 0)
        p.Options |= ioMinIsWhite;
    const std::vector<uint32_t> extra = d.Values(ttExtraSamples);
    p.HasAlpha = !extra.empty() && std::all_of(extra.begin(), extra.end(), [](uint32_t v) { return v <= 2; });
    p.Compression = CompressionOf(d.Value(ttCompression, 0));
    if (p.ColorScheme == TColorScheme::csYCbCr) {
        const std::vector<uint32_t> sub = d.Values(ttYCbCrSubSampling);
        p.YCbCrSubSampling = {uint8_t(sub.size() > 0 ? std::min<uint32_t>(sub[0], 255) : 2),
                              uint8_t(sub.size() > 1 ? std::min<uint32_t>(sub[1], 255) : 2)};
        for (uint32_t i = 0; i < 3; ++i)
            extras_.Luma[i] = float(d.Rational(ttYCbCrCoefficients, i, extras_.Luma[i]));
    }
    if (p.ColorScheme == TColorScheme::csCIELab)
        extras_.White = {d.Rational(ttWhitePoint, 0, kWhiteD65.x), d.Rational(ttWhitePoint, 1, kWhiteD65.y)};
    p.PlanarConfig = d.Value(ttPlanarConfig, 0);
    const double perUnit = d.Value(ttResolutionUnit, 2) == 3 ? 2.54 : 1.0;
    p.XResolution = float(d.Rational(ttXResolution, 0, 0) * perUnit);
    p.YResolution = float(d.Rational(ttYResolution, 0, 0) * perUnit);
    p.Predictor = d.Value(ttPredictor, 0);
    if (d.Value(ttFillOrder, 1) == 2)
        p.Options |= ioReversed;
    extras_.Group3Options = d.Value(ttGroup3Options, 0);
    const std::span<const uint8_t> tables = d.Raw(ttJPEGTables);
    p.JPEGTables.assign(tables.begin(), tables.end());
    return true;
}

std::unique_ptr<TDecoder> TTIFFGraphic::CreateDecoder()
{
    const TImageProperties& p = properties_;
    const int32_t width = p.Has(ioTiled) ? int32_t(std::min<uint32_t>(p.TileWidth, INT32_MAX)) : p.Width;
    jpeg_ = nullptr;
    switch (p.Compression) {
    case TCompressionType::ctNone:
        return nullptr;
    case TCompressionType::ctPackedBits:
        return std::make_unique<TPackbitsRLEDecoder>();
    case TCompressionType::ctFaxRLE: case TCompressionType::ctFaxRLEW:
        return std::make_unique<TCCITTMHDecoder>(extras_.Group3Options, width,
                                                 p.Compression == TCompressionType::ctFaxRLEW);
    case TCompressionType::ctFax3:
        // Two-dimensional rows and uncompressed mode would decode as noise.
        if ((extras_.Group3Options & (kGroup3TwoDimensional | kGroup3Uncompressed)) != 0)
            break;
        return std::make_unique<TCCITTFax3Decoder>(extras_.Group3Options, width);
    case TCompressionType::ctLZW:
        return std::make_unique<TLzwDecoder>(kTiffLzw);
    case TCompressionType::ctLZ77:
        return std::make_unique<TLZ77Decoder>();
    case TCompressionType::ctThunderscan:
        return std::make_unique<TThunderDecoder>(width);
    case TCompressionType::ctJPEG: {
        auto decoder = std::make_unique<TTIFFJPEGDecoder>(p, p.ColorScheme, p.JPEGTables);
        jpeg_ = decoder.get();
        return decoder;
    }
    default:
        break;
    }
    ThrowNotSupported("The compression scheme is", kFormatName);
}

void TTIFFGraphic::SetupColorManager()
{
    const TImageProperties& p = properties_;
    TColorManager& m = colorManager_;
    const bool planar = p.PlanarConfig == 2 && p.SamplesPerPixel > 1;
    const bool jpeg = p.Compression == TCompressionType::ctJPEG;
    TColorScheme source = p.ColorScheme, target = TColorScheme::csBGR;
    uint8_t samples = p.SamplesPerPixel, targetSamples = 3;
    uint32_t options = p.Has(ioBigEndian) ? uint32_t(coNeedByteSwap) : 0u;
    switch (source) {
    case TColorScheme::csG:
        // Grey with its alpha as the second sample becomes a picture with
        // alpha; any other second sample is left out, as for a palette.
        if (GreyWithAlpha()) {
            source = TColorScheme::csGA;
            target = TColorScheme::csBGRA;
            targetSamples = 4;
            break;
        }
        [[fallthrough]];
    case TColorScheme::csIndexed:
        target = source;
        targetSamples = 1;
        // A second sample (alpha or anything else) is left out; in
        // separate planes only the first plane is read.
        if (planar)
            samples = 1;
        else if (samples >= 2)
            source = TColorScheme::csGA;
        break;
    case TColorScheme::csRGB:
        break;
    case TColorScheme::csRGBA:
        target = TColorScheme::csBGRA;
        targetSamples = 4;
        break;
    case TColorScheme::csCIELab:
        options |= coLabByteRange;
        m.SetLabWhitePoint(extras_.White);
        break;
    case TColorScheme::csCMYK: case TColorScheme::csYCbCr:
        break;
    default:
        ThrowInvalidColorFormat(kFormatName);
    }
    if (p.ColorScheme == TColorScheme::csYCbCr)
        m.SetYCbCrParameters(extras_.Luma, p.YCbCrSubSampling[0], p.YCbCrSubSampling[1]);
    if (jpeg && !IsIndexedFamily(source) && source != TColorScheme::csCMYK)
        source = target == TColorScheme::csBGRA ? TColorScheme::csRGBA : TColorScheme::csRGB;
    const bool subsampled = source == TColorScheme::csYCbCr && m.Subsampling() != std::array<uint8_t, 2>{1, 1};
    if (subsampled && (planar || p.BitsPerSample != 8 || samples < 3))
        ThrowInvalidColorFormat(kFormatName);
    // Subsampled data units hold luma and the two chroma samples only; they
    // are expanded into triples, whatever further samples the file declares.
    if (subsampled)
        samples = 3;

    const uint8_t bits = p.BitsPerSample;
    uint8_t targetBits = 8;
    if (IsIndexedFamily(source))
        targetBits = bits == 1 ? 1 : bits <= 4 ? 4 : 8;
    m.SetSourceColorScheme(source);
    m.SetTargetColorScheme(target);
    m.SetSourceOptions(options);
    m.SetTargetOptions(0);
    m.SetSourceBitsPerSample(bits);
    m.SetSourceSamplesPerPixel(samples);
    m.SetTargetBitsPerSample(targetBits);
    m.SetTargetSamplesPerPixel(targetSamples);
}

void TTIFFGraphic::SetupPalette()
{
    const TColorManager& m = colorManager_;
    if (m.TargetColorScheme() == TColorScheme::csG) {
        SetPalette(m.MakeGreyPalette(properties_.Has(ioMinIsWhite)));
        return;
    }
    if (m.TargetColorScheme() != TColorScheme::csIndexed || !directory_->Has(ttColorMap))
        return;
    // Three planes of 16-bit values: red, green, blue. A map whose low bytes
    // are all zero holds 8-bit levels shifted up (Corvalin's own writer does
    // that), where scaling by 255 / 65535 would turn 255 into 254; any other
    // map is scaled so.
    const std::vector<uint32_t> map = directory_->Values(ttColorMap);
    const size_t n = map.size();
    const size_t entries = std::min<size_t>(n / 3, 256);
    std::vector<TColor> palette(entries);
    const bool shifted = std::all_of(map.begin(), map.end(), [](uint32_t v) { return (v & 0xFF) == 0; });
    auto level = [shifted](uint32_t v) {
        v = std::min<uint32_t>(v, 65535);
        return uint8_t(shifted ? v >> 8 : v * 255 / 65535);
    };
    for (size_t i = 0; i < entries; ++i)
        palette[i] = RGB(level(map[i]), level(map[n / 3 + i]), level(map[2 * n / 3 + i]));
    SetPalette(std::move(palette));
}

uint64_t TTIFFGraphic::DeclaredBytes() const
{
    return RowBytes(uint32_t(properties_.Width), properties_.BitsPerPixel) * uint32_t(properties_.Height);
}

// What the blocks that lie in the file can give, judged from the directory
// alone: an uncompressed block no more than its bytes, a compressed one
// (which may expand without bound) its whole size when any of its bytes
// are there. A block without an offset, past the end or, compressed,
// without a byte count gives nothing.
uint64_t TTIFFGraphic::FillableBytes(size_t fileSize) const
{
    const TImageProperties& p = properties_;
    const TTiffDirectory& d = *directory_;
    const bool tiled = p.Has(ioTiled);
    const bool planar = p.PlanarConfig == 2 && p.SamplesPerPixel > 1;
    const uint64_t rowBits = planar ? p.BitsPerSample : p.BitsPerPixel;
    const std::vector<uint32_t> offsets = d.Values(tiled ? ttTileOffsets : ttStripOffsets);
    const std::vector<uint32_t> byteCounts = d.Values(tiled ? ttTileByteCounts : ttStripByteCounts);
    const uint64_t declared = DeclaredBytes();
    uint64_t fillable = 0;
    for (size_t i = 0; i < offsets.size() && fillable < declared; ++i) {
        const uint64_t rows = tiled ? p.TileLength : p.RowsPerStrip[std::min(i, p.RowsPerStrip.size() - 1)];
        const uint64_t blockBytes = RowBytes(tiled ? p.TileWidth : uint32_t(p.Width), rowBits) *
                                    std::min<uint64_t>(rows == 0 ? uint32_t(p.Height) : rows, uint32_t(p.Height));
        const uint64_t present = offsets[i] < fileSize ? fileSize - offsets[i] : 0;
        if (decoder_ == nullptr)
            fillable += std::min(present, blockBytes);
        else if (present > 0 && i < byteCounts.size() && byteCounts[i] > 0)
            fillable += blockBytes;
    }
    return fillable;
}

// Strips are blocks as wide as the picture; tiles are blocks of a fixed
// size laid out in rows. Either way the picture is built band by band: a
// band is one strip, or one row of tiles copied side by side, and each of
// its rows goes through the colour manager into its scan line.
void TTIFFGraphic::ReadBlocks(std::span<const uint8_t> file)
{
    const TImageProperties& p = properties_;
    const TTiffDirectory& d = *directory_;
    const TColorManager& m = colorManager_;
    const bool tiled = p.Has(ioTiled);
    const bool planar = p.PlanarConfig == 2 && p.SamplesPerPixel > 1;
    const int planes = planar && !IsIndexedFamily(m.SourceColorScheme()) ? p.SamplesPerPixel : 1;
    const int planeBits = planar ? p.BitsPerSample : p.BitsPerPixel;
    const int h = m.Subsampling()[0], v = m.Subsampling()[1];
    const bool subsampled = m.SourceColorScheme() == TColorScheme::csYCbCr && (h > 1 || v > 1);
    const int rowBits = subsampled ? 24 : planeBits;
    const uint32_t width = uint32_t(p.Width), height = uint32_t(p.Height);
    const uint32_t blockWidth = tiled ? p.TileWidth : width;
    const uint64_t bandRowBytes = RowBytes(width, uint64_t(rowBits));
    const uint64_t blockRowBytes = RowBytes(blockWidth, uint64_t(rowBits));
    const uint32_t across = tiled ? uint32_t((uint64_t(width) + blockWidth - 1) / blockWidth) : 1;
    if (tiled) {
        // A tile may be larger than the picture, but not without bound.
        const uint64_t pictureBytes = bandRowBytes * height * uint64_t(planes);
        const uint64_t limit = std::max<uint64_t>(4 * pictureBytes, 16u << 20);
        if (blockRowBytes * std::min(p.TileLength, height) > limit ||
            (uint64_t(blockWidth) * uint64_t(rowBits)) % 8 != 0)
            ThrowInvalidFormat(kFormatName);
    }
    auto rowsOfBand = [&](size_t band) -> uint32_t {
        if (tiled)
            return p.TileLength;
        const uint32_t rows = p.RowsPerStrip[std::min(band, p.RowsPerStrip.size() - 1)];
        return rows == 0 ? height : rows;
    };
    size_t bands = 0;
    for (uint64_t y = 0; y < height; y += rowsOfBand(bands), ++bands) {
    }
    const size_t blocksPerPlane = bands * across;

    const std::vector<uint32_t> offsets = d.Values(tiled ? ttTileOffsets : ttStripOffsets);
    const std::vector<uint32_t> byteCounts = d.Values(tiled ? ttTileByteCounts : ttStripByteCounts);
    if (decoder_ != nullptr && byteCounts.empty())
        throw ERangeError(msg::RangeError);
    // Every row handed to the colour manager must hold the samples it reads.
    const uint64_t readBits = uint64_t(m.SourceBitsPerSample()) * (planes > 1 ? 1 : m.SourceSamplesPerPixel());
    if (RowBytes(width, readBits) > bandRowBytes)
        ThrowInvalidColorFormat(kFormatName);

    // Large buffers as pictures are (LargeBlocks.h): they count against the run's memory budget.
    std::vector<TLargeBytes> blockBuffers(static_cast<size_t>(planes));
    std::vector<TLargeBytes> bandBuffers(static_cast<size_t>(planes));
    TLargeBytes reversed, expanded;
    const TByteCursor cursor(file);

    // The first `rows` decoded rows of one block, valid until the plane's next block.
    auto decodeBlock = [&](int plane, size_t index, uint32_t rows) -> const uint8_t* {
        const uint64_t rawBytes = subsampled ? SubsampledBlockBytes(blockWidth, rows, h, v) : blockRowBytes * rows;
        TLargeBytes& raw = blockBuffers[size_t(plane)];
        std::span<const uint8_t> packed;
        if (index < offsets.size() && offsets[index] < file.size()) {
            const size_t available = file.size() - offsets[index];
            const uint64_t wanted = decoder_ == nullptr ? rawBytes : index < byteCounts.size() ? byteCounts[index] : 0;
            packed = cursor.At(offsets[index], size_t(std::min<uint64_t>(wanted, available)));
        }
        if (p.Has(ioReversed)) {
            reversed.assign(packed.begin(), packed.end());
            ReverseBits(reversed);
            packed = reversed;
        }
        if (decoder_ == nullptr && !subsampled && packed.size() == rawBytes)
            return packed.data();  // uncompressed and complete: no copy
        raw.resize(size_t(rawBytes));
        size_t produced = 0;
        if (decoder_ == nullptr) {
            produced = packed.size();
            std::copy(packed.begin(), packed.end(), raw.begin());
        } else {
            if (jpeg_ != nullptr)
                jpeg_->ExpectBlock(blockWidth, tiled ? p.TileLength : rows);
            produced = decoder_->DecodeBlock(packed, raw);
        }
        std::fill(raw.begin() + ptrdiff_t(produced), raw.end(), 0);
        damaged_ = damaged_ || produced < raw.size();
        if (decoder_ != nullptr && p.Predictor == 2 && !subsampled)
            for (uint32_t r = 0; r < rows; ++r)
                UndoHorizontalDifferencing(raw.data() + r * blockRowBytes, size_t(blockRowBytes), blockWidth,
                                           planar ? 1 : p.SamplesPerPixel, p.BitsPerSample, d.Order());
        if (!subsampled)
            return raw.data();
        expanded.assign(size_t(blockRowBytes * rows), 0);
        ExpandSubsampledBlock(raw, blockWidth, rows, h, v, expanded.data());
        return expanded.data();
    };

    TRaster& raster = MutableRaster();
    std::array<const uint8_t*, 4> sources{};
    uint32_t y = 0;
    for (size_t band = 0; y < height; ++band) {
        const uint32_t bandRows = std::min(rowsOfBand(band), height - y);
        for (int plane = 0; plane < planes; ++plane) {
            const size_t first = size_t(plane) * blocksPerPlane + band * across;
            if (!tiled) {
                sources[size_t(plane)] = decodeBlock(plane, first, bandRows);
                continue;
            }
            TLargeBytes& bandBuffer = bandBuffers[size_t(plane)];
            bandBuffer.assign(size_t(bandRowBytes * bandRows), 0);
            for (uint32_t t = 0; t < across; ++t) {
                // Rows of a tile below the picture are never decoded.
                const uint8_t* block = decodeBlock(plane, first + t, std::min(p.TileLength, bandRows));
                const uint64_t x = uint64_t(t) * blockRowBytes;
                const size_t bytes = size_t(std::min(blockRowBytes, bandRowBytes - x));
                for (uint32_t r = 0; r < bandRows; ++r)
                    std::memcpy(bandBuffer.data() + r * bandRowBytes + x, block + r * blockRowBytes, bytes);
            }
            sources[size_t(plane)] = bandBuffer.data();
        }
        const uint64_t sourceRowBytes = tiled ? bandRowBytes : blockRowBytes;
        for (uint32_t r = 0; r < bandRows; ++r) {
            std::array<const uint8_t*, 4> rowSources{};
            for (int plane = 0; plane < planes; ++plane)
                rowSources[size_t(plane)] = sources[size_t(plane)] + r * sourceRowBytes;
            colorManager_.ConvertPixels(std::span(rowSources.data(), size_t(planes)), 0xFF, width,
                                        raster.Row(int(y + r)));
        }
        y += bandRows;
    }
}

// Whether the picture is grey (black is zero) with one extra sample that is
// alpha, interleaved at 8 or 16 bits.
bool TTIFFGraphic::GreyWithAlpha() const
{
    const TImageProperties& p = properties_;
    const std::vector<uint32_t> extra = directory_->Values(ttExtraSamples);
    return p.ColorScheme == TColorScheme::csG && extras_.Photometric == 1 && p.SamplesPerPixel == 2 &&
           p.PlanarConfig != 2 && (p.BitsPerSample == 8 || p.BitsPerSample == 16) && extra.size() == 1 &&
           (extra[0] == 1 || extra[0] == 2) && p.Compression != TCompressionType::ctJPEG;
}

// The last sample of a grey or RGB picture is alpha when the file says so:
// as it is when unassociated (2), divided out of the colours when associated
// (1). Anything else, or a count of extra samples that does not fit, leaves
// the picture opaque.
void TTIFFGraphic::KeepAlpha()
{
    const std::vector<uint32_t> extra = directory_->Values(ttExtraSamples);
    const size_t colours = properties_.ColorScheme == TColorScheme::csG ? 1 : 3;
    if (colorManager_.TargetColorScheme() != TColorScheme::csBGRA || extra.empty() ||
        extra.size() + colours != properties_.SamplesPerPixel || (extra[0] != 1 && extra[0] != 2))
        return;
    TRaster& raster = MutableRaster();
    MarkAlphaWhenTransparent(raster);
    if (extra[0] == 2 || !raster.hasAlpha)
        return;
    for (int32_t y = 0; y < raster.height; ++y) {
        uint8_t* p = raster.Row(y);
        for (int32_t x = 0; x < raster.width; ++x, p += 4)
            if (p[3] != 0 && p[3] != 255)
                for (int c = 0; c < 3; ++c)
                    p[c] = uint8_t(std::min(255, p[c] * 255 / p[3]));
    }
}

void TTIFFGraphic::LoadFromBytes(std::span<const uint8_t> file)
{
    Clear();
    if (!ReadPictureInfo(file, 0))
        ThrowInvalidFormat(kFormatName);
    try {
        decoder_ = CreateDecoder();
        SetupColorManager();
        if (FillsTooLittle(FillableBytes(file.size()), DeclaredBytes()))
            ThrowInvalidFormat(kFormatName);
        CreateTargetRaster(kFormatName);
        SetupPalette();
        if (decoder_ != nullptr)
            decoder_->DecodeInit();
        ReadBlocks(file);
        if (decoder_ != nullptr)
            decoder_->DecodeEnd();
        KeepAlpha();
    } catch (...) {
        decoder_.reset();
        jpeg_ = nullptr;
        throw;
    }
    decoder_.reset();
    jpeg_ = nullptr;
}

TPictureMetadata TTIFFGraphic::ReadMetadata(std::span<const uint8_t> file)
{
    return ReadTiffMetadata(file);
}

size_t LoadTiffFile(TBitmap& picture, std::span<const uint8_t> file)
{
    TPictureMetadata unused;
    return LoadThroughReader<TTIFFGraphic>(picture, file, unused);
}

}  // namespace corvalin
