#include "formats/tiff/TiffThunder.h"

#include <algorithm>

namespace corvalin {

namespace {

constexpr int kSkip = 100;
constexpr int kTwoBitDelta[4] = {0, 1, kSkip, -1};
constexpr int kThreeBitDelta[8] = {0, 1, 2, 3, kSkip, -3, -2, -1};

// Writes pixels of one row and keeps count of them.
class TNibbleRow {
public:
    TNibbleRow(uint8_t* row, size_t width) : row_(row), width_(width) {}
    bool Full() const { return count_ >= width_; }
    void Put(int value)
    {
        if (Full())
            return;
        const auto nibble = uint8_t(value & 0x0F);
        row_[count_ / 2] |= count_ % 2 == 0 ? uint8_t(nibble << 4) : nibble;
        ++count_;
    }

private:
    uint8_t* row_;
    size_t width_;
    size_t count_ = 0;
};

}  // namespace

TThunderDecoder::TThunderDecoder(int32_t width) : width_(size_t(std::max(width, 0))) {}

size_t TThunderDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    std::fill(unpacked.begin(), unpacked.end(), 0);
    const size_t rowBytes = (width_ * 4 + 7) / 8;
    if (rowBytes == 0)
        return 0;
    size_t in = 0, out = 0;
    while (out + rowBytes <= unpacked.size() && in < packed.size()) {
        TNibbleRow row(unpacked.data() + out, width_);
        int last = 0;
        auto delta = [&](int d) {
            if (d != kSkip) {
                last = (last + d) & 0x0F;
                row.Put(last);
            }
        };
        while (!row.Full() && in < packed.size()) {
            const uint8_t byte = packed[in++];
            switch (byte >> 6) {
            case 0:
                for (int n = byte & 0x3F; n > 0 && !row.Full(); --n)
                    row.Put(last);
                break;
            case 1:
                delta(kTwoBitDelta[(byte >> 4) & 3]);
                delta(kTwoBitDelta[(byte >> 2) & 3]);
                delta(kTwoBitDelta[byte & 3]);
                break;
            case 2:
                delta(kThreeBitDelta[(byte >> 3) & 7]);
                delta(kThreeBitDelta[byte & 7]);
                break;
            default:
                last = byte & 0x0F;
                row.Put(last);
                break;
            }
        }
        out += rowBytes;
    }
    return out;
}

}  // namespace corvalin
