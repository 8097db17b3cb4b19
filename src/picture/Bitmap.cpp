#include "picture/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "common/Exceptions.h"
#include "picture/AlphaDepth.h"
#include "picture/Canvas.h"
#include "picture/Palettes.h"
#include "picture/RowCodec.h"
#include "picture/Stretch.h"

namespace corvalin {

namespace {

std::vector<TColor> DefaultPaletteFor(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf1bit: return BlackWhitePalette();
    case TPixelFormat::pf4bit: return {FixedPalette16().begin(), FixedPalette16().end()};
    case TPixelFormat::pf8bit: return {HalftonePalette().begin(), HalftonePalette().end()};
    default: return {};
    }
}

void CopyDescription(const TRaster& from, TRaster& to)
{
    to.masks = from.masks;
    to.palette = from.palette;
    to.hasAlpha = from.hasAlpha;
    to.transparentIndex = from.transparentIndex;
}

// Fills every row with one colour, encoded once.
void FillRaster(TRaster& raster, TColor color)
{
    std::vector<uint8_t> bgr(size_t(raster.width) * 3);
    for (int x = 0; x < raster.width; ++x) {
        bgr[3 * x] = BlueOf(color);
        bgr[3 * x + 1] = GreenOf(color);
        bgr[3 * x + 2] = RedOf(color);
    }
    if (raster.height == 0)
        return;
    EncodeRowFromBgr(raster, 0, bgr.data());
    for (int y = 1; y < raster.height; ++y)
        std::memcpy(raster.Row(y), raster.Row(0), raster.stride);
}

void CopyOverlap(const TRaster& from, TRaster& to)
{
    const int w = std::min(from.width, to.width);
    const int h = std::min(from.height, to.height);
    if (from.bitsPerPixel % 8 == 0) {
        const size_t bytes = size_t(w) * size_t(from.bitsPerPixel / 8);
        for (int y = 0; y < h; ++y)
            std::memcpy(to.Row(y), from.Row(y), bytes);
        return;
    }
    const int bits = from.bitsPerPixel;
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = from.Row(y);
        uint8_t* dst = to.Row(y);
        for (int x = 0; x < w; ++x) {
            const size_t bit = size_t(x) * bits;
            const int shift = 8 - bits - int(bit % 8);
            const uint8_t mask = uint8_t(((1u << bits) - 1) << shift);
            dst[bit / 8] = uint8_t((dst[bit / 8] & ~mask) | (src[bit / 8] & mask));
        }
    }
}

}  // namespace

TBitmap::TBitmap() : format_(TPixelFormat::pfDevice) {}
TBitmap::TBitmap(TPixelFormat initialFormat) : format_(initialFormat) {}
TBitmap::~TBitmap() = default;

void TBitmap::AssignTo(TBitmap& target) const
{
    if (&target == this)
        return;
    target.raster_ = raster_;
    target.bmp_ = bmp_;
    target.width_ = width_;
    target.height_ = height_;
    target.format_ = format_;
    target.Transparent = Transparent;
    target.TransparentMode = TransparentMode;
    target.transparentColor_ = transparentColor_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const
{
    if (raster_ == nullptr)
        return;
    TRaster& target = canvas.Owner().MutableRaster();
    StretchRaster(target, rect, *raster_,
                  Transparent ? std::optional<TColor>(TransparentColor()) : std::nullopt);
}

void TBitmap::AssignPicture(const TGraphic* source)
{
    if (source == nullptr) {
        Clear();
        return;
    }
    source->AssignTo(*this);
}

void TBitmap::Clear()
{
    raster_.reset();
    bmp_ = {};
    width_ = 0;
    height_ = 0;
}

void TBitmap::SetPictureWidth(int32_t width)
{
    if (width != width_)
        Resize(width, height_);
}

void TBitmap::SetPictureHeight(int32_t height)
{
    if (height != height_)
        Resize(width_, height);
}

TColor TBitmap::FillColor() const
{
    return canvas_ ? canvas_->Brush.Color : clWhite;
}

void TBitmap::Resize(int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        throw EOutOfResources(msg::OutOfResources);
    if (width == 0 || height == 0) {
        raster_.reset();
        bmp_ = {};
        width_ = width;
        height_ = height;
        return;
    }
    const int bits = raster_ ? raster_->bitsPerPixel : StorageBitsOf(format_);
    auto resized = TRaster::Create(width, height, format_, bits);
    if (raster_) {
        CopyDescription(*raster_, *resized);
    } else {
        resized->palette = DefaultPaletteFor(format_);
    }
    FillRaster(*resized, FillColor());
    if (raster_)
        CopyOverlap(*raster_, *resized);
    raster_ = std::move(resized);
    bmp_.keptFile.reset();
    width_ = width;
    height_ = height;
}

const std::vector<TColor>& TBitmap::Palette() const
{
    static const std::vector<TColor> none;
    return raster_ ? raster_->palette : none;
}

void TBitmap::SetPalette(std::vector<TColor> palette)
{
    if (raster_ == nullptr)
        return;
    MutableRaster().palette = std::move(palette);
}

TColor TBitmap::TransparentColor() const
{
    if (TransparentMode == TTransparentMode::tmFixed)
        return transparentColor_;
    if (raster_ == nullptr)
        return clWhite;
    if (format_ == TPixelFormat::pf1bit)
        return clWhite;
    return ReadRasterPixel(*raster_, 0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color)
{
    transparentColor_ = color;
    TransparentMode = TTransparentMode::tmFixed;
}

TCanvas& TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TCanvas>(*this);
    return *canvas_;
}

TRaster& TBitmap::MutableRaster()
{
    if (raster_ == nullptr)
        throw EInvalidOperation(msg::NoCanvas);
    if (raster_.use_count() > 1)
        raster_ = std::make_shared<TRaster>(*raster_);
    bmp_.keptFile.reset();
    return *raster_;
}

void TBitmap::AdoptRaster(std::shared_ptr<TRaster> raster, TBmpDescription bmp)
{
    if (raster == nullptr || raster->width == 0 || raster->height == 0) {
        Clear();
        return;
    }
    bmp_ = std::move(bmp);
    width_ = raster->width;
    height_ = raster->height;
    format_ = raster->format;
    raster_ = std::move(raster);
}

TRaster& TBitmap::NewRaster(int32_t width, int32_t height, TPixelFormat format)
{
    auto raster = TRaster::Create(width, height, format);
    raster->palette = DefaultPaletteFor(format);
    format_ = format;
    AdoptRaster(raster);
    return *raster;
}

void TBitmap::ChangePixelFormat(TPixelFormat format)
{
    if (format == format_)
        return;
    if (format == TPixelFormat::pfCustom)
        throw EInvalidGraphic(msg::InvalidPixelFormat);
    if (raster_ == nullptr) {
        format_ = format;
        return;
    }

    auto converted = TRaster::Create(width_, height_, format);
    converted->palette = DefaultPaletteFor(format);
    TPaletteMatch match = TPaletteMatch::Nearest;
    if (format == TPixelFormat::pf1bit) {
        // Two entries of the picture's own palette; black and white otherwise.
        if (raster_->palette.size() >= 2 && format_ != TPixelFormat::pfDevice)
            converted->palette.assign(raster_->palette.begin(), raster_->palette.begin() + 2);
        else
            match = TPaletteMatch::Luminance;
    }
    if (raster_->hasAlpha || raster_->transparentIndex >= 0) {
        ConvertWithAlpha(*raster_, *converted, match);
    } else {
        std::vector<uint8_t> bgr(size_t(width_) * 3);
        for (int y = 0; y < height_; ++y)
            EncodeRowFromBgr(*converted, y, RowAsBgr(*raster_, y, bgr.data()), match);
    }
    raster_ = std::move(converted);
    TBmpDescription resolution;
    resolution.xPelsPerMeter = bmp_.xPelsPerMeter;
    resolution.yPelsPerMeter = bmp_.yPelsPerMeter;
    bmp_ = std::move(resolution);
    format_ = format;
}

}  // namespace corvalin
