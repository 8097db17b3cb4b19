// The vector picture: a metafile read from a file and played onto rasters,
// or a recording of raster pictures written as a placeable Windows metafile.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/metafile/MetafileHeader.h"
#include "picture/Bitmap.h"

namespace corvalin {

struct TPictureMetadata;

class TStream;

class TMetafile : public TGraphic {
public:
    // Keeps the file's bytes; throws EInvalidGraphic "Metadatei ist ungültig"
    // unless they are an enhanced or a placeable Windows metafile of a size
    // that is not negative.
    void LoadFromBytes(std::vector<uint8_t> bytes);

    // Size in pixels at 96 pixels per inch.
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    // Frame in hundredths of a millimetre.
    int32_t MMWidth() const { return mmWidth_; }
    int32_t MMHeight() const { return mmHeight_; }
    // Units per inch of a placeable metafile (0 for an enhanced one).
    uint16_t Inch() const { return inch_; }
    // A new recording of this size in pixels; its frame follows at 96 pixels per inch.
    void SetSize(int32_t width, int32_t height);

    // Plays the records so that the frame fills rect exactly.
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    // A 24-bit picture of the metafile's size, white where nothing is drawn.
    void AssignTo(TBitmap& target) const override;

    // Writes a placeable Windows metafile: the 22-byte header with the bounding
    // box at 96 units per inch, then the recording in anisotropic mapping.
    // Throws EInvalidGraphic "Metadatei ist ungültig" for a size beyond 16 bits.
    void SaveToStream(TStream& stream) const;

private:
    friend class TMetafileCanvas;

    std::shared_ptr<const std::vector<uint8_t>> file_;
    TMetafileHeader header_;
    // The records drawn into a recording so far, in Windows metafile form.
    std::vector<uint8_t> recording_;
    uint32_t largestRecordWords_ = 0;
    int32_t width_ = 0, height_ = 0;
    int32_t mmWidth_ = 0, mmHeight_ = 0;
    uint16_t inch_ = 0;
};

// Records drawing into a metafile from its creation until it is destroyed.
class TMetafileCanvas {
public:
    explicit TMetafileCanvas(TMetafile& metafile);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

    // Records one scaled copy of the whole raster at its own size.
    void DrawPictureAt(int32_t x, int32_t y, const TBitmap& picture);

private:
    void Record(uint16_t function, const std::vector<uint8_t>& params);

    TMetafile& metafile_;
    std::vector<uint8_t> records_;
    uint32_t largestRecordWords_ = 0;
};

// LoadFromFileEx's metafile row: the picture takes the metafile's size
// (height first, then width) and its drawing, 24 bits.
size_t LoadMetafileFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata);
// SaveToFileEx's metafile row: a placeable Windows metafile of the picture.
void SaveMetafileFile(const TBitmap& picture, const std::string& fileName, int32_t quality,
                      const TPictureMetadata& metadata);

}  // namespace corvalin
