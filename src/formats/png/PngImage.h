// TPNGImage: a PNG file held as its list of chunks, with the decoded picture
// in the header chunk. Loading hands the picture to a bitmap; saving builds
// the chunks from a bitmap and writes them.
#pragma once

#include <cstdint>
#include <span>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "common/Limits.h"
#include "formats/png/PngChunks.h"
#include "formats/png/PngFilters.h"
#include "formats/png/PngPixels.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Graphic.h"

namespace corvalin {

class TBitmap;
class TByteCursor;
class TStream;

using TPNGList = std::vector<std::unique_ptr<TChunk>>;

enum class TPngTransparency { None, Bit, Partial };

class TPNGImage : public TGraphic {
public:
    TPNGImage();
    ~TPNGImage() override;
    TPNGImage(const TPNGImage&) = delete;
    TPNGImage& operator=(const TPNGImage&) = delete;

    // 0 for an empty picture.
    int32_t Width() const override;
    int32_t Height() const override;
    // A PNG picture cannot be resized; both always throw EPngError.
    [[noreturn]] void SetWidth(int32_t width);
    [[noreturn]] void SetHeight(int32_t height);

    // Hands the picture to a bitmap: 1, 4, 8 or 24 bits, the transparent
    // colour set in bit transparency mode, the alpha channel left out.
    void AssignTo(TBitmap& target) const override;
    // The picture as 32 bits with alpha (see TRaster::hasAlpha) when the
    // file makes any pixel less than opaque: an alpha channel, palette
    // alpha or transparent samples; null otherwise.
    std::shared_ptr<TRaster> PictureWithAlpha() const;
    // Deep copy of another PNG picture.
    void Assign(const TPNGImage& source);
    // Builds the chunks (IHDR, PLTE, tRNS, IDAT, IEND) from a bitmap: a
    // picture with alpha as colour type 6, or 4 when it is grey; a palette
    // with a transparent entry (TRaster::transparentIndex) with tRNS.
    void Assign(const TBitmap& source);

    // Reads a whole PNG file.
    void LoadFromBytes(std::span<const uint8_t> file);
    // Writes the signature and every chunk; an empty picture writes nothing.
    void SaveToStream(TStream& stream) const;
    // Frees all chunks and resets both gamma tables.
    void Clear();
    // Places an ancillary chunk directly behind the header.
    void InsertAfterHeader(std::unique_ptr<TChunk> chunk);

    const TPNGList& Chunks() const { return chunks_; }
    // The header (list item 0); EPNGHeaderNotPresent without one.
    TChunkIHDR& Header() const;
    template <class T>
    T* FindChunk() const
    {
        for (const auto& chunk : chunks_)
            if (auto* typed = dynamic_cast<T*>(chunk.get()); typed != nullptr && typeid(*typed) == typeid(T))
                return typed;
        return nullptr;
    }

    TPngTransparency TransparencyMode() const;
    // The colour the bitmap treats as transparent in bit transparency mode.
    TColor TransparentColor() const;

    // Maps file samples to picture samples, and back for writing.
    TGammaTable GammaTable{};
    TGammaTable InverseGammaTable{};

    // Filters the encoder may choose from, one bit per TPngFilter.
    uint8_t FilterSet = 1u << pfSub;
    int CompressionLevel = 7;
    // 0 none, 1 Adam7; taken from the header on load.
    uint8_t InterlaceMethod = 0;
    int32_t MaxIdatSize() const { return maxIdatSize_; }
    // Text the chunks of one loaded file may still keep.
    TSideDataBudget& SideData() { return sideData_; }
    // Sizes below 65535 are raised to 65535.
    void SetMaxIdatSize(int32_t size);

private:
    void ReadChunks(TByteCursor& in);
    void CheckComplete() const;
    void AddTransparency(TColor color);
    void AddTransparentEntry(size_t index);
    void AppendTransparency(std::vector<uint8_t> data);
    TChunk& Append(std::unique_ptr<TChunk> chunk);

    TPNGList chunks_;
    int32_t maxIdatSize_ = 65535;
    TSideDataBudget sideData_;
};

// The format table's PNG row: the picture takes the file's rendering and
// metadata its colour profile, and loading answers the pictures an animated
// file holds (PngPictureCount); saving imports the picture, adds the colour
// profile of metadata, and replaces the file.
size_t LoadPngFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
void SavePngFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata = {});

}  // namespace corvalin
