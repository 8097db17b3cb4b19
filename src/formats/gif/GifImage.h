// A GIF picture: reads GIF87a and GIF89a files, renders the first image for
// the picture object, and writes a picture as a one-image GIF.
#pragma once

#include <cstdint>
#include <span>
#include <memory>
#include <string>
#include <vector>

#include "formats/gif/GifErrors.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Graphic.h"
#include "picture/Raster.h"

namespace corvalin {

class TStream;

// Signature, logical screen descriptor and global colour map.
struct TGIFHeader {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t background = 0;
    uint8_t aspectRatio = 0;
    std::vector<TColor> globalMap;
};

// One image: its descriptor, local colour map, the transparency its graphic
// control extension gave it, and its colour indices.
struct TGIFSubImage {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    bool interlaced = false;
    std::vector<TColor> localMap;
    bool transparent = false;
    uint8_t transparentIndex = 0;
    // False for extensions that no image descriptor followed.
    bool hasData = false;
    // Of an image read from a file: its data ended before its last pixel
    // (cut off or damaged), the rest keeps the fill value.
    bool damaged = false;
    // The indices as an 8-bit raster whose palette is the active colour map
    // padded with black to 256 entries. Of an image read from a file only the
    // part that can be shown is kept: all of a first image that covers the
    // logical screen, the part inside the screen of any other first image, and
    // nothing of later images (animation frames, which are never rendered).
    std::shared_ptr<TRaster> pixels;

    // The local map when it has entries, else the global one.
    const std::vector<TColor>& ActiveMap(const TGIFHeader& header) const
    {
        return localMap.empty() ? header.globalMap : localMap;
    }
};

class TGIFImage : public TGraphic {
public:
    // The logical screen's size.
    int32_t Width() const override { return header_.width; }
    int32_t Height() const override { return header_.height; }

    // Clears the GIF and reads it from the start of bytes; returns how many
    // bytes it took, the trailer included.
    size_t LoadFromBytes(std::span<const uint8_t> bytes);
    // Clears the GIF and makes it hold one image built from the picture:
    // 1-, 4- and 8-bit pictures keep their palette and indices (and their
    // transparent entry), all others are reduced to the 216-colour web
    // palette; pixels of alpha below 128 then take one more entry, marked
    // transparent, and the others lie over the backdrop.
    void ImportBitmap(const TBitmap& picture);
    // Writes the GIF at the stream's position. Only a GIF built by
    // ImportBitmap can be written: one that was read keeps too little.
    void SaveToStream(TStream& stream) const;

    // The first image rendered (cached), or nothing for a GIF without images.
    std::shared_ptr<TRaster> RenderBitmap() const;
    // The rendering as 32 bits with alpha (see TRaster::hasAlpha) when the
    // first image marks a transparent index that some of its pixels use;
    // null otherwise. The screen around a smaller image stays white.
    std::shared_ptr<TRaster> RenderWithAlpha() const;
    void AssignTo(TBitmap& target) const override;

    const TGIFHeader& Header() const { return header_; }
    const std::vector<TGIFSubImage>& Images() const { return images_; }

private:
    void Clear();

    TGIFHeader header_;
    std::vector<TGIFSubImage> images_;
    bool readFromFile_ = false;
    mutable std::shared_ptr<TRaster> rendering_;
};

// The web palette: index 36 r + 6 g + b is (51 r, 51 g, 51 b), then 40 black
// entries up to 256.
const std::vector<TColor>& WebPalette256();

// An 8-bit raster's palette as rendering needs it: the map, then black up to 256 entries.
std::vector<TColor> PaddedGifPalette(const std::vector<TColor>& map);

// TRaster::Create for the codec: a raster over the size limit fails with the
// raster layer's message, memory that cannot be had with the codec's own.
std::shared_ptr<TRaster> CreateGifRaster(int32_t width, int32_t height, TPixelFormat format);

// The format table's GIF row: the picture takes the rendering of the file's
// first image, and the count of images is reported; saving imports the
// picture and replaces the file. GIF keeps no side data.
size_t LoadGifFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
void SaveGifFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                 const TPictureMetadata& metadata = {});

}  // namespace corvalin
