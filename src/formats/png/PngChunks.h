// The chunks of a PNG file. A picture keeps its file as a list of chunk
// objects in file order, one class per known type; unknown ancillary chunks
// are kept as plain `TChunk`s with their bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "formats/png/PngPixels.h"
#include "picture/Color.h"
#include "picture/Raster.h"

namespace corvalin {

class TPNGImage;
class TByteCursor;
class TStream;

using TChunkType = std::array<char, 4>;

constexpr TChunkType MakeChunkType(const char (&name)[5])
{
    return {name[0], name[1], name[2], name[3]};
}

// Writes one chunk: length, type, data and the CRC over type and data.
void WriteChunkBytes(TStream& stream, const TChunkType& type, std::span<const uint8_t> data);

// EPngError "The chunks must be compatible to be assigned."
[[noreturn]] void ThrowIncompatibleChunks();

class TChunk {
public:
    explicit TChunk(TPNGImage& owner) : owner_(&owner) {}
    virtual ~TChunk() = default;
    TChunk(const TChunk&) = default;
    TChunk& operator=(const TChunk&) = default;

    // The type a chunk class stands for; a plain chunk has none.
    virtual const char* ChunkTypeName() const { return nullptr; }
    // Copies type and data, and for a typed chunk its fields; typed chunks
    // refuse a chunk of another class.
    virtual void CopyFrom(const TChunk& source);
    // Reads the data and its CRC at the cursor; throws EPngInvalidCRC when
    // the CRC does not match or the data is cut short.
    virtual void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length);
    virtual void WriteChunk(TStream& stream) const;

    TChunkType Type{};
    std::vector<uint8_t> Data;

protected:
    TPNGImage& Owner() const { return *owner_; }
    // The data a typed chunk writes, built from its fields.
    virtual std::vector<uint8_t> DataToWrite() const { return Data; }
    // For CopyFrom: the source as exactly this class, or EPngError.
    template <class T>
    const T& CompatibleSource(const TChunk& source) const
    {
        if (typeid(source) != typeid(T))
            ThrowIncompatibleChunks();
        return static_cast<const T&>(source);
    }

private:
    TPNGImage* owner_;
};

// The header and, once read, the picture it describes.
class TChunkIHDR : public TChunk {
public:
    static constexpr const char* kTypeName = "IHDR";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t BitDepth = 0;
    uint8_t ColorType = 0;
    uint8_t CompressionMethod = 0;
    uint8_t FilterMethod = 0;
    uint8_t InterlaceMethod = 0;

    // The decoded picture (top row first), its 256-entry colour table and,
    // for the colour types with alpha and for transparent samples, one alpha
    // byte per pixel.
    std::shared_ptr<TRaster> Picture;
    std::array<TColor, 256> ColorTable{};
    std::vector<uint8_t> Alpha;

    int PictureBits() const { return PictureBitsOf(ColorType, BitDepth); }
    // The depth the picture is written at: the depth it holds its samples in.
    uint8_t WrittenBitDepth() const;
    // Allocates the zeroed picture (and alpha plane) for the current fields.
    void PreparePicture();
    // Allocates the alpha plane: a grey or RGB picture fills it from its
    // transparent samples.
    void PrepareAlpha();
    // Fills the colour table with the grey ramp through the gamma table.
    void FillGreyRamp(const TGammaTable& gamma);
    // Gives the picture the colour table's first 2^bits entries.
    void PublishPalette();

protected:
    std::vector<uint8_t> DataToWrite() const override;

private:
    void CheckFields() const;
    void RefuseImpossibleData(const TByteCursor& in) const;
};

class TChunkPLTE : public TChunk {
public:
    static constexpr const char* kTypeName = "PLTE";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    // The entries as the picture shows them (after the gamma table).
    std::vector<TColor> Colors;

protected:
    std::vector<uint8_t> DataToWrite() const override;
};

class TChunktRNS : public TChunk {
public:
    static constexpr const char* kTypeName = "tRNS";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    // Alpha of each palette entry (255 where the chunk says nothing); for
    // grey and RGB pictures the first 2 or 6 bytes are the transparent samples.
    std::array<uint8_t, 256> AlphaValues{};
    bool BitTransparency = false;

protected:
    std::vector<uint8_t> DataToWrite() const override;
};

class TChunkgAMA : public TChunk {
public:
    static constexpr const char* kTypeName = "gAMA";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    uint32_t Gamma = 0;  // gamma x 100000

protected:
    std::vector<uint8_t> DataToWrite() const override;
};

class TChunkIEND : public TChunk {
public:
    static constexpr const char* kTypeName = "IEND";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;

protected:
    std::vector<uint8_t> DataToWrite() const override { return {}; }
};

class TChunktIME : public TChunk {
public:
    static constexpr const char* kTypeName = "tIME";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    uint16_t Year = 0;
    uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;

protected:
    std::vector<uint8_t> DataToWrite() const override;
};

class TChunktEXt : public TChunk {
public:
    static constexpr const char* kTypeName = "tEXt";
    using TChunk::TChunk;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

    std::string Keyword;
    std::string Text;

protected:
    std::vector<uint8_t> DataToWrite() const override;
    // Splits the data at its first zero byte; returns the offset after it.
    size_t SplitKeyword();
};

class TChunkzTXt : public TChunktEXt {
public:
    static constexpr const char* kTypeName = "zTXt";
    // Compressed text inflating past this is treated as damaged.
    static constexpr size_t kMaxTextBytes = 4 * 1024 * 1024;
    using TChunktEXt::TChunktEXt;
    const char* ChunkTypeName() const override { return kTypeName; }
    void CopyFrom(const TChunk& source) override;
    void ReadChunk(TByteCursor& in, const TChunkType& type, uint32_t length) override;

protected:
    std::vector<uint8_t> DataToWrite() const override;
};

// The registered chunk classes in registration order.
struct TChunkClass {
    const char* type;
    std::unique_ptr<TChunk> (*create)(TPNGImage& owner);
};
std::span<const TChunkClass> ChunkRegistry();
// A chunk of the class registered for `type` (compared exactly), or a plain chunk.
std::unique_ptr<TChunk> CreateChunk(const TChunkType& type, TPNGImage& owner);

}  // namespace corvalin
