#include "picture/Stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "picture/RowCodec.h"

namespace corvalin {

namespace {

// First source position of each target position, and the end of the last.
std::vector<int> SourcePositions(int targetSize, int sourceSize)
{
    std::vector<int> map(size_t(targetSize) + 1);
    for (int t = 0; t <= targetSize; ++t)
        map[t] = SampledPosition(t, targetSize, sourceSize);
    return map;
}

int BitAt(const uint8_t* row, int x)
{
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Index of the 1-bit source block [x0, x1) x [y0, y1) combined with AND.
int AndOfBlock(const TRaster& source, int x0, int x1, int y0, int y1)
{
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = source.Row(y);
        for (int x = x0; x < x1; ++x)
            if (BitAt(row, x) == 0)
                return 0;
    }
    return 1;
}

void SampleOneBitRow(const TRaster& source, const std::vector<int>& xs, int y0, int y1,
                     int left, int width, uint8_t* bgr)
{
    for (int tx = 0; tx < width; ++tx) {
        const int sx = xs[left + tx];
        const int sxEnd = std::max(sx + 1, xs[left + tx + 1]);
        const int index = AndOfBlock(source, sx, sxEnd, y0, y1);
        const TColor c = size_t(index) < source.palette.size() ? source.palette[index] : clBlack;
        bgr[3 * tx] = BlueOf(c);
        bgr[3 * tx + 1] = GreenOf(c);
        bgr[3 * tx + 2] = RedOf(c);
    }
}

struct TVisible {
    int tx0, tx1, ty0, ty1;
};

// StretchRaster where the source or the target has alpha: the same sampling
// on BGRA quadruples, alpha taken from the same source pixel as the colour.
void StretchWithAlpha(TRaster& target, const TRect& rect, const TRaster& source, std::optional<TColor> transparent,
                      const std::vector<int>& xs, const std::vector<int>& ys, TVisible v)
{
    const int count = v.tx1 - v.tx0;
    std::vector<uint8_t> sourceRow(size_t(source.width) * 4);
    std::vector<uint8_t> bgr(size_t(count) * 3);
    std::vector<uint8_t> sampled(size_t(count) * 4);
    std::vector<uint8_t> targetRow(size_t(target.width) * 4);
    int decodedRow = -1;
    for (int ty = v.ty0; ty < v.ty1; ++ty) {
        const int sy = ys[ty];
        if (source.bitsPerPixel == 1) {
            SampleOneBitRow(source, xs, sy, std::max(sy + 1, ys[ty + 1]), v.tx0, count, bgr.data());
            for (int i = 0; i < count; ++i) {
                std::memcpy(&sampled[4 * size_t(i)], &bgr[3 * size_t(i)], 3);
                sampled[4 * size_t(i) + 3] = 255;
            }
        } else {
            if (decodedRow != sy) {
                DecodeRowToBgra(source, sy, sourceRow.data());
                decodedRow = sy;
            }
            for (int tx = v.tx0; tx < v.tx1; ++tx)
                std::memcpy(&sampled[4 * size_t(tx - v.tx0)], &sourceRow[4 * size_t(xs[tx])], 4);
        }
        const int y = rect.top + ty;
        DecodeRowToBgra(target, y, targetRow.data());
        for (int i = 0; i < count; ++i) {
            const uint8_t* q = &sampled[4 * size_t(i)];
            if (transparent && RGB(q[2], q[1], q[0]) == *transparent)
                continue;
            uint8_t* t = &targetRow[4 * size_t(rect.left + v.tx0 + i)];
            if (target.hasAlpha) {
                std::memcpy(t, q, 4);
                continue;
            }
            for (int c = 0; c < 3; ++c)
                t[c] = uint8_t((q[c] * q[3] + t[c] * (255 - q[3]) + 127) / 255);
            t[3] = 255;
        }
        EncodeRowFromBgra(target, y, targetRow.data());
    }
}

}  // namespace

void StretchRaster(TRaster& target, const TRect& rect, const TRaster& source,
                   std::optional<TColor> transparent)
{
    const int rw = rect.Width(), rh = rect.Height();
    if (rw <= 0 || rh <= 0 || source.width == 0 || source.height == 0)
        return;
    const std::vector<int> xs = SourcePositions(rw, source.width);
    const std::vector<int> ys = SourcePositions(rh, source.height);

    // The visible part of the rectangle, in rectangle coordinates.
    const int tx0 = std::max(0, -rect.left), tx1 = std::min(rw, target.width - rect.left);
    const int ty0 = std::max(0, -rect.top), ty1 = std::min(rh, target.height - rect.top);
    if (tx0 >= tx1 || ty0 >= ty1)
        return;
    if (source.hasAlpha || target.hasAlpha) {
        StretchWithAlpha(target, rect, source, transparent, xs, ys, {tx0, tx1, ty0, ty1});
        return;
    }

    std::vector<uint8_t> sourceRow(size_t(source.width) * 3);
    std::vector<uint8_t> sampled(size_t(tx1 - tx0) * 3);
    std::vector<uint8_t> targetRow(size_t(target.width) * 3);
    int decodedRow = -1;
    const bool direct24 = source.bitsPerPixel == 24;
    // Rows that the picture replaces whole need not be read back first.
    const bool wholeRow = !transparent && rect.left == 0 && tx0 == 0 && tx1 == target.width;

    for (int ty = ty0; ty < ty1; ++ty) {
        const int sy = ys[ty];
        if (source.bitsPerPixel == 1) {
            SampleOneBitRow(source, xs, sy, std::max(sy + 1, ys[ty + 1]), tx0, tx1 - tx0, sampled.data());
        } else {
            const uint8_t* src = source.Row(sy);
            if (!direct24) {
                if (decodedRow != sy) {
                    DecodeRowToBgr(source, sy, sourceRow.data());
                    decodedRow = sy;
                }
                src = sourceRow.data();
            }
            for (int tx = tx0; tx < tx1; ++tx) {
                const uint8_t* p = src + 3 * size_t(xs[tx]);
                uint8_t* q = sampled.data() + 3 * size_t(tx - tx0);
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            }
        }

        const int y = rect.top + ty;
        if (wholeRow) {
            EncodeRowFromBgr(target, y, sampled.data());
            continue;
        }
        DecodeRowToBgr(target, y, targetRow.data());
        for (int tx = tx0; tx < tx1; ++tx) {
            const uint8_t* q = sampled.data() + 3 * size_t(tx - tx0);
            if (transparent && RGB(q[2], q[1], q[0]) == *transparent)
                continue;
            uint8_t* t = targetRow.data() + 3 * size_t(rect.left + tx);
            t[0] = q[0];
            t[1] = q[1];
            t[2] = q[2];
        }
        EncodeRowFromBgr(target, y, targetRow.data());
    }
}

}  // namespace corvalin
