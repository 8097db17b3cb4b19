#include "picture/BmpCodec.h"

namespace corvalin {

namespace {

class RleTarget {
public:
    RleTarget(TRaster& raster, const std::vector<TColor>& palette, bool bottomUp)
        : raster_(raster), palette_(palette), bottomUp_(bottomUp) {}

    bool Done() const { return y_ >= raster_.height; }
    void NextLine() { x_ = 0; ++y_; }
    void Move(int dx, int dy) { x_ += dx; y_ += dy; }
    void Put(uint8_t index)
    {
        if (x_ < raster_.width && y_ < raster_.height) {
            const TColor c = index < palette_.size() ? palette_[index] : clBlack;
            uint8_t* p = raster_.Row(bottomUp_ ? raster_.height - 1 - y_ : y_) + 4 * size_t(x_);
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
            p[3] = 0;
        }
        ++x_;
    }

private:
    TRaster& raster_;
    const std::vector<TColor>& palette_;
    bool bottomUp_;
    int x_ = 0;
    int y_ = 0;
};

}  // namespace

void DecodeBmpRle(std::span<const uint8_t> data, uint32_t compression, const std::vector<TColor>& palette,
                  bool bottomUp, TRaster& raster)
{
    const bool four = compression == biRLE4;
    RleTarget target(raster, palette, bottomUp);
    size_t i = 0;
    // Every pass consumes at least two bytes, so the loop always ends.
    while (i + 1 < data.size() && !target.Done()) {
        const uint8_t count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                target.Put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            target.NextLine();
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 1 >= data.size())
                return;
            target.Move(data[i], data[i + 1]);
            i += 2;
        } else {
            const size_t bytes = four ? (value + 1u) / 2 : value;
            for (int k = 0; k < value; ++k) {
                const size_t at = i + (four ? size_t(k) / 2 : size_t(k));
                if (at >= data.size())
                    return;
                target.Put(four ? ((k & 1) ? data[at] & 0x0F : data[at] >> 4) : data[at]);
            }
            i += (bytes + 1) & ~size_t(1);  // runs are padded to 16 bits
        }
    }
}

}  // namespace corvalin
