#include "formats/png/PngIdat.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <zlib.h>

#include "formats/png/PngErrors.h"
#include "formats/png/PngFilters.h"
#include "formats/png/PngImage.h"
#include "formats/png/PngZlib.h"
#include "common/ByteCursor.h"
#include "common/Stream.h"

namespace corvalin {

namespace {

constexpr TChunkType kIdatType = MakeChunkType("IDAT");
constexpr size_t kInputPiece = 65535;
constexpr size_t kOutputPiece = 65536;
// A non-interlaced picture is decoded as one pass over every pixel.
constexpr TAdam7Pass kWholePicture{0, 0, 1, 1};

// The inflated image data, read across consecutive IDAT chunks while the
// CRC of each chunk is accumulated over what is read from it.
class TIdatInput {
public:
    TIdatInput(TByteCursor& in, const TChunkType& type, uint32_t length)
        : in_(in), left_(length), output_(kOutputPiece)
    {
        crc_ = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    }

    // Fills out[0..count) or throws the error that stopped it.
    void Read(uint8_t* out, size_t count)
    {
        while (count != 0) {
            if (ready_ == inflated_)
                Inflate();
            const size_t n = std::min(count, inflated_ - ready_);
            std::memcpy(out, output_.data() + ready_, n);
            ready_ += n;
            out += n;
            count -= n;
        }
    }

    // Reads what is left of the current chunk and checks its CRC.
    void Finish()
    {
        while (left_ != 0)
            ReadPiece();
        CheckCrc();
    }

private:
    // Inflates into the output buffer, which keeps zlib on its fast path
    // instead of stopping at every row end. Output made before an error is
    // handed out first: the error matters only if more data is needed.
    void Inflate()
    {
        ready_ = inflated_ = 0;
        for (;;) {
            const int code = inflater_.Inflate(output_.data(), output_.size(), inflated_);
            if (inflated_ != 0)
                return;
            if (code == Z_STREAM_END)
                throw EPNGMissingMultipleIDAT();  // the data ends before the picture does
            if ((code != Z_OK && code != Z_BUF_ERROR) || inflater_.AvailableInput() != 0)
                throw EPNGZLIBError(code);
            Refill();
        }
    }

    void Refill()
    {
        while (left_ == 0)
            NextChunk();
        const std::span<const uint8_t> piece = ReadPiece();
        inflater_.SetInput(piece.data(), piece.size());
    }

    // zlib reads the file's bytes where they are, a piece at a time.
    std::span<const uint8_t> ReadPiece()
    {
        const size_t n = std::min<size_t>(left_, kInputPiece);
        // Input ending before the picture is complete leaves a chunk whose
        // CRC cannot be read.
        if (in_.Remaining() < n)
            throw EPngInvalidCRC();
        const std::span<const uint8_t> piece = in_.Bytes(n);
        crc_ = crc32(crc_, piece.data(), uInt(n));
        left_ -= uint32_t(n);
        return piece;
    }

    void CheckCrc()
    {
        if (in_.Remaining() < 4 || in_.U32BE() != uint32_t(crc_))
            throw EPngInvalidCRC();
    }

    // Image data goes on only in an IDAT chunk that follows at once.
    void NextChunk()
    {
        CheckCrc();
        if (in_.Remaining() < 8)
            throw EPngInvalidCRC();
        const uint32_t length = in_.U32BE();
        const std::span<const uint8_t> head = in_.Bytes(4);
        const TChunkType type{char(head[0]), char(head[1]), char(head[2]), char(head[3])};
        if (type != kIdatType)
            throw EPNGMissingMultipleIDAT();
        left_ = length;
        crc_ = crc32(0, head.data(), 4);
    }

    TByteCursor& in_;
    uint32_t left_;
    uLong crc_;
    std::vector<uint8_t> output_;
    size_t inflated_ = 0;  // bytes of output_ filled
    size_t ready_ = 0;     // of which already handed out
    TInflater inflater_;
};

// The transparent samples of a grey or RGB picture, when tRNS gives them.
std::optional<std::array<uint16_t, 3>> TransparentSamples(const TPNGImage& image)
{
    const TChunkIHDR& header = image.Header();
    const TChunktRNS* transparency = image.FindChunk<TChunktRNS>();
    const size_t samples = header.ColorType == ctRgb ? 3 : header.ColorType == ctGrey ? 1 : 0;
    if (transparency == nullptr || samples == 0 || transparency->Data.size() < 2 * samples)
        return std::nullopt;
    std::array<uint16_t, 3> key{};
    for (size_t s = 0; s < samples; ++s)
        key[s] = Get16(&transparency->Data[2 * s], TByteOrder::BigEndian);
    return key;
}

void DecodePass(TIdatInput& input, TChunkIHDR& header, const TGammaTable& gamma, const TAdam7Pass& pass,
                const std::optional<std::array<uint16_t, 3>>& key)
{
    const uint32_t width = PassExtent(header.Width, pass.x0, pass.dx);
    const uint32_t height = PassExtent(header.Height, pass.y0, pass.dy);
    if (width == 0 || height == 0)
        return;
    const size_t rowBytes = StoredRowBytes(header.ColorType, header.BitDepth, width);
    const size_t step = FilterStep(header.ColorType, header.BitDepth);
    const TSampleLayout layout = LayoutOf(header.ColorType, header.BitDepth);
    const int bits = header.PictureBits();
    const bool direct = pass.dx == 1;
    const bool hasAlpha = !header.Alpha.empty();

    std::vector<uint8_t> current(rowBytes + 1), previous(rowBytes + 1, 0);
    std::vector<uint8_t> packed(direct ? 0 : (size_t(width) * bits + 7) / 8);
    std::vector<uint8_t> alpha(direct || !hasAlpha ? 0 : width);
    TRaster& picture = *header.Picture;
    for (uint32_t r = 0; r < height; ++r) {
        input.Read(current.data(), current.size());
        UnfilterRow(current[0], current.data() + 1, previous.data() + 1, rowBytes, step);
        const uint32_t y = pass.y0 + r * pass.dy;
        uint8_t* alphaRow = hasAlpha ? header.Alpha.data() + size_t(y) * header.Width : nullptr;
        if (direct) {
            StoredToPicture(layout, current.data() + 1, width, bits, gamma, picture.Row(int(y)), alphaRow);
            if (key)
                TransparentSamplesToAlpha(header.ColorType, header.BitDepth, current.data() + 1, width, *key, alphaRow);
        } else {
            StoredToPicture(layout, current.data() + 1, width, bits, gamma, packed.data(), alpha.data());
            if (key)
                TransparentSamplesToAlpha(header.ColorType, header.BitDepth, current.data() + 1, width, *key,
                                          alpha.data());
            ScatterPixels(packed.data(), width, bits, picture.Row(int(y)), pass.x0, pass.dx);
            if (hasAlpha)
                ScatterPixels(alpha.data(), width, 8, alphaRow, pass.x0, pass.dx);
        }
        std::swap(current, previous);
    }
}

// Picks the filter for each row from the picture's filter set.
class TFilterChooser {
public:
    TFilterChooser(uint8_t filterSet, size_t rowBytes)
    {
        for (int f = 0; f < kPngFilterCount; ++f)
            if (filterSet & (1u << f))
                candidates_.push_back(TPngFilter(f));
        if (candidates_.empty())
            candidates_.push_back(pfNone);
        for (size_t i = 0; i <= candidates_.size(); ++i)
            buffers_.emplace_back(rowBytes + 1);
    }

    // The chosen row: its filter byte, then the filtered bytes.
    const std::vector<uint8_t>& Filter(const uint8_t* raw, const uint8_t* prior, size_t step)
    {
        const size_t rowBytes = buffers_[0].size() - 1;
        if (candidates_.size() == 1)
            return Run(0, candidates_[0], raw, prior, step);
        size_t best = 0, bestScore = 0;
        for (size_t i = 0; i < candidates_.size(); ++i) {
            const size_t score = RepetitionScore(Run(i, candidates_[i], raw, prior, step).data() + 1, rowBytes);
            if (score > bestScore) {
                best = i;
                bestScore = score;
            }
        }
        if (bestScore == 0)
            return Run(candidates_.size(), pfNone, raw, prior, step);
        return buffers_[best];
    }

private:
    const std::vector<uint8_t>& Run(size_t slot, TPngFilter filter, const uint8_t* raw, const uint8_t* prior,
                                    size_t step)
    {
        std::vector<uint8_t>& out = buffers_[slot];
        out[0] = filter;
        FilterRow(filter, raw, prior, out.data() + 1, out.size() - 1, step);
        return out;
    }

    std::vector<TPngFilter> candidates_;
    std::vector<std::vector<uint8_t>> buffers_;  // one per candidate, one for the fallback
};

void EncodePass(TDeflater& deflater, const TPNGImage& image, const TAdam7Pass& pass)
{
    const TChunkIHDR& header = image.Header();
    const uint32_t width = PassExtent(header.Width, pass.x0, pass.dx);
    const uint32_t height = PassExtent(header.Height, pass.y0, pass.dy);
    if (width == 0 || height == 0)
        return;
    const uint8_t depth = header.WrittenBitDepth();
    const size_t rowBytes = StoredRowBytes(header.ColorType, depth, width);
    const size_t step = FilterStep(header.ColorType, depth);
    const int bits = header.PictureBits();
    const bool direct = pass.dx == 1;
    const bool hasAlpha = HasAlphaPlane(header.ColorType);

    std::vector<uint8_t> raw(rowBytes), prior(rowBytes, 0);
    std::vector<uint8_t> packed(direct ? 0 : (size_t(width) * bits + 7) / 8);
    std::vector<uint8_t> alpha(direct || !hasAlpha ? 0 : width);
    TFilterChooser chooser(image.FilterSet, rowBytes);
    const TRaster& picture = *header.Picture;
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t y = pass.y0 + r * pass.dy;
        const uint8_t* alphaRow = hasAlpha ? header.Alpha.data() + size_t(y) * header.Width : nullptr;
        if (direct) {
            PictureToStored(header.ColorType, picture.Row(int(y)), alphaRow, width, bits, image.InverseGammaTable,
                            raw.data());
        } else {
            GatherPixels(picture.Row(int(y)), pass.x0, pass.dx, width, bits, packed.data());
            if (hasAlpha)
                GatherPixels(alphaRow, pass.x0, pass.dx, width, 8, alpha.data());
            PictureToStored(header.ColorType, packed.data(), alpha.data(), width, bits, image.InverseGammaTable,
                            raw.data());
        }
        const std::vector<uint8_t>& row = chooser.Filter(raw.data(), prior.data(), step);
        deflater.Write(row.data(), row.size());
        std::swap(raw, prior);
    }
}

}  // namespace

void TChunkIDAT::CopyFrom(const TChunk& source)
{
    TChunk::CopyFrom(CompatibleSource<TChunkIDAT>(source));
}

void TChunkIDAT::ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length)
{
    Type = type;
    TChunkIHDR& header = Owner().Header();
    if (header.Picture == nullptr)
        throw EPNGHeaderNotPresent();
    if (header.ColorType == ctGrey || header.ColorType == ctGreyAlpha)
        header.FillGreyRamp(Owner().GammaTable);
    const auto key = TransparentSamples(Owner());
    if (key)
        header.PrepareAlpha();
    TIdatInput input(in, type, length);
    if (header.InterlaceMethod == 0) {
        DecodePass(input, header, Owner().GammaTable, kWholePicture, key);
    } else {
        for (const TAdam7Pass& pass : kAdam7Passes)
            DecodePass(input, header, Owner().GammaTable, pass, key);
    }
    input.Finish();
}

void TChunkIDAT::WriteChunk(TStream& stream) const
{
    const TPNGImage& image = Owner();
    if (image.Header().Picture == nullptr)
        throw EPNGHeaderNotPresent();
    TDeflater deflater(image.CompressionLevel, size_t(image.MaxIdatSize()), [&stream](std::span<const uint8_t> piece) {
        WriteChunkBytes(stream, kIdatType, piece);
    });
    if (image.InterlaceMethod == 0) {
        EncodePass(deflater, image, kWholePicture);
    } else {
        for (const TAdam7Pass& pass : kAdam7Passes)
            EncodePass(deflater, image, pass);
    }
    deflater.Finish();
}

}  // namespace corvalin
