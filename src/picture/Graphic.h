// Base of every class that holds a picture.
#pragma once

#include <cstdint>

namespace corvalin {

class TBitmap;
class TCanvas;

struct TRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual bool Empty() const { return Width() == 0 || Height() == 0; }

    // Makes target show this graphic: a bitmap shares its raster, a codec
    // object renders itself into a raster that target then holds.
    virtual void AssignTo(TBitmap& target) const = 0;

    // Draws the whole graphic scaled into rect of the canvas. The default
    // renders into a bitmap first and draws that.
    virtual void Draw(TCanvas& canvas, const TRect& rect) const;
};

}  // namespace corvalin
