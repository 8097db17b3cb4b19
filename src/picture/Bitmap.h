// The raster picture. Rasters are shared between pictures by a count and
// copied when one holder changes them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "picture/BmpDescription.h"
#include "picture/Graphic.h"
#include "picture/Raster.h"
#include "picture/RowSampling.h"

namespace corvalin {

class TStream;

enum class TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    bool Empty() const override { return raster_ == nullptr; }
    void AssignTo(TBitmap& target) const override;
    void Draw(TCanvas& canvas, const TRect& rect) const override;

    // Shares a bitmap's raster (and its transparency settings); renders a
    // codec object; nothing makes the picture empty.
    void AssignPicture(const TGraphic* source);

    void SetPictureWidth(int32_t width);
    void SetPictureHeight(int32_t height);
    TPixelFormat PixelFormat() const { return format_; }
    void ChangePixelFormat(TPixelFormat format);
    const std::vector<TColor>& Palette() const;
    void SetPalette(std::vector<TColor> palette);

    bool Transparent = false;
    TTransparentMode TransparentMode = TTransparentMode::tmAuto;
    // The fixed transparent colour, or in automatic mode the one in effect.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    TCanvas& Canvas();

    // Raster access for codecs and the hot paths. Row y counts from the top.
    const TRaster* Raster() const { return raster_.get(); }
    const uint8_t* ScanLine(int y) const { return raster_->Row(y); }
    // Unshares the raster and drops kept file data before it is changed.
    TRaster& MutableRaster();
    // Holds the given raster from now on (size and format follow it), with
    // no BMP description or the given one.
    void AdoptRaster(std::shared_ptr<TRaster> raster, TBmpDescription bmp = {});
    // What the BMP file the picture was read from said; kept through sharing,
    // resizing and drawing, reduced to the resolution by a format change.
    const TBmpDescription& BmpDescription() const { return bmp_; }
    // A fresh zero raster of this size and format, adopted at once.
    TRaster& NewRaster(int32_t width, int32_t height, TPixelFormat format);
    void Clear();

    // Reads a whole BMP file; no bytes make the picture empty. An
    // uncompressed file delivers just the rows that `rows` asks for (see
    // TRowRequest).
    void ReadBmp(std::span<const uint8_t> file, const TRowRequest& rows = {});
    void WriteBmpStream(TStream& stream) const;

protected:
    explicit TBitmap(TPixelFormat initialFormat);

private:
    friend class TCanvas;
    void Resize(int32_t width, int32_t height);
    TColor FillColor() const;

    int32_t width_ = 0;
    int32_t height_ = 0;
    TPixelFormat format_;
    std::shared_ptr<TRaster> raster_;
    TBmpDescription bmp_;
    TColor transparentColor_ = clWhite;
    std::unique_ptr<TCanvas> canvas_;
};

}  // namespace corvalin
