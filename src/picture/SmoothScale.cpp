#include "picture/SmoothScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr double kLobes = 3.0;

double Sinc(double x)
{
    if (x == 0)
        return 1;
    x *= std::numbers::pi;
    return std::sin(x) / x;
}

double Lanczos3(double x)
{
    x = std::abs(x);
    return x < kLobes ? Sinc(x) * Sinc(x / kLobes) : 0;
}

// The weights of one direction: target position t takes count[t] source
// positions from first[t] on, weighted by weights[t * taps + k].
struct TFilterTable {
    int taps = 0;
    std::vector<int32_t> first;
    std::vector<int32_t> count;
    std::vector<float> weights;
};

// Weights normalised to a sum of 1, so that an even area stays even; near
// the edges the filter is cut to the picture rather than extended.
TFilterTable FilterTable(int32_t sourceSize, int32_t targetSize)
{
    const double scale = double(sourceSize) / targetSize;
    const double widening = std::max(scale, 1.0);
    const double support = kLobes * widening;
    TFilterTable table;
    table.taps = int(std::min<double>(sourceSize, std::ceil(2 * support) + 1));
    table.first.resize(size_t(targetSize));
    table.count.resize(size_t(targetSize));
    table.weights.assign(size_t(targetSize) * size_t(table.taps), 0.0F);
    std::vector<double> raw(size_t(table.taps));
    for (int32_t t = 0; t < targetSize; ++t) {
        const double centre = (t + 0.5) * scale;
        const int32_t first = std::max<int32_t>(0, int32_t(std::floor(centre - support + 0.5)));
        const int32_t end = std::min<int32_t>(sourceSize, int32_t(std::floor(centre + support + 0.5)));
        const int count = std::clamp(end - first, 1, table.taps);
        double sum = 0;
        for (int k = 0; k < count; ++k)
            sum += raw[size_t(k)] = Lanczos3((first + k + 0.5 - centre) / widening);
        float* weights = &table.weights[size_t(t) * size_t(table.taps)];
        for (int k = 0; k < count; ++k)
            weights[k] = sum != 0 ? float(raw[size_t(k)] / sum) : (k == 0 ? 1.0F : 0.0F);
        table.first[size_t(t)] = std::min(first, sourceSize - count);
        table.count[size_t(t)] = count;
    }
    return table;
}

// Source row y as blue, green, red, alpha values, the colours multiplied by
// their opacity when the picture has any.
void ReadRow(const TRaster& source, int y, bool alpha, std::vector<uint8_t>& bytes, float* line)
{
    DecodeRowToBgra(source, y, bytes.data());
    for (size_t i = 0; i < bytes.size(); i += 4) {
        const float opacity = alpha ? bytes[i + 3] / 255.0F : 1.0F;
        for (size_t c = 0; c < 3; ++c)
            line[i + c] = bytes[i + c] * opacity;
        line[i + 3] = bytes[i + 3];
    }
}

void FilterRow(const float* line, const TFilterTable& table, float* out)
{
    const size_t targetSize = table.first.size();
    for (size_t t = 0; t < targetSize; ++t) {
        const float* weights = &table.weights[t * size_t(table.taps)];
        const float* p = line + 4 * size_t(table.first[t]);
        float sum[4] = {0, 0, 0, 0};
        for (int k = 0; k < table.count[t]; ++k, p += 4)
            for (int c = 0; c < 4; ++c)
                sum[c] += weights[k] * p[c];
        for (int c = 0; c < 4; ++c)
            out[4 * t + size_t(c)] = sum[c];
    }
}

void AddWeighted(float* sum, const float* row, float weight, size_t values)
{
    for (size_t i = 0; i < values; ++i)
        sum[i] += weight * row[i];
}

uint8_t ToByte(float value)
{
    return uint8_t(std::clamp(value + 0.5F, 0.0F, 255.0F));
}

// Writes one filtered row into the target, the colours divided by the
// opacity again when the target has alpha.
void WriteRow(TRaster& target, int y, const float* sum)
{
    uint8_t* row = target.Row(y);
    for (int x = 0; x < target.width; ++x, sum += 4) {
        if (!target.hasAlpha) {
            for (int c = 0; c < 3; ++c)
                *row++ = ToByte(sum[c]);
            continue;
        }
        const uint8_t alpha = ToByte(sum[3]);
        const float unmultiply = alpha != 0 ? 255.0F / sum[3] : 0.0F;
        for (int c = 0; c < 3; ++c)
            *row++ = ToByte(sum[c] * unmultiply);
        *row++ = alpha;
    }
}

// Reads and filters the source's rows along, one at a time, top to bottom.
class TRowFilter {
public:
    TRowFilter(const TRaster& source, int32_t width)
        : source_(source),
          alpha_(source.hasAlpha || source.transparentIndex >= 0),
          table_(FilterTable(source.width, width)),
          bytes_(size_t(source.width) * 4),
          line_(size_t(source.width) * 4)
    {
    }
    bool Alpha() const { return alpha_; }
    void Filter(int y, float* out)
    {
        ReadRow(source_, y, alpha_, bytes_, line_.data());
        FilterRow(line_.data(), table_, out);
    }

private:
    const TRaster& source_;
    bool alpha_;
    TFilterTable table_;
    std::vector<uint8_t> bytes_;
    std::vector<float> line_;
};

// Shrinking down the columns: each filtered source row is added into the
// target rows it contributes to, which are at most the filter's width
// divided by the factor at a time; a target row is written once its last
// source row is in.
void ShrinkColumns(TRowFilter& rows, const TFilterTable& table, TRaster& target)
{
    const size_t values = size_t(target.width) * 4;
    int open = 1;
    for (size_t t = 0, last = 0; t < table.first.size(); ++t) {
        while (table.first[last] + table.count[last] <= table.first[t])
            ++last;
        open = std::max(open, int(t - last) + 1);
    }
    std::vector<float> sums(size_t(open) * values, 0.0F);
    std::vector<float> filtered(values);
    const int32_t sourceEnd = table.first.back() + table.count.back();
    int32_t begun = 0;  // target rows before this one are written or open
    int32_t done = 0;   // target rows before this one are written
    for (int32_t y = table.first.front(); y < sourceEnd; ++y) {
        while (begun < target.height && table.first[size_t(begun)] <= y)
            ++begun;
        rows.Filter(y, filtered.data());
        for (int32_t t = done; t < begun; ++t) {
            float* sum = &sums[size_t(t % open) * values];
            AddWeighted(sum, filtered.data(),
                        table.weights[size_t(t) * size_t(table.taps) + size_t(y - table.first[size_t(t)])], values);
        }
        while (done < begun && table.first[size_t(done)] + table.count[size_t(done)] == y + 1) {
            float* sum = &sums[size_t(done % open) * values];
            WriteRow(target, done, sum);
            std::fill(sum, sum + values, 0.0F);
            ++done;
        }
    }
}

// Enlarging down the columns: each target row gathers its few filtered
// source rows, kept in a ring as wide as the filter.
void EnlargeColumns(TRowFilter& rows, const TFilterTable& table, TRaster& target)
{
    const size_t values = size_t(target.width) * 4;
    std::vector<float> ring(size_t(table.taps) * values);
    std::vector<float> sum(values);
    int32_t filtered = 0;  // source rows before this one are in the ring
    for (int32_t t = 0; t < target.height; ++t) {
        const int32_t first = table.first[size_t(t)];
        const int32_t count = table.count[size_t(t)];
        filtered = std::max(filtered, first);
        for (; filtered < first + count; ++filtered)
            rows.Filter(filtered, &ring[size_t(filtered % table.taps) * values]);
        std::fill(sum.begin(), sum.end(), 0.0F);
        for (int32_t k = 0; k < count; ++k)
            AddWeighted(sum.data(), &ring[size_t((first + k) % table.taps) * values],
                        table.weights[size_t(t) * size_t(table.taps) + size_t(k)], values);
        WriteRow(target, t, sum.data());
    }
}

}  // namespace

std::shared_ptr<TRaster> ScaleSmoothly(const TRaster& source, int32_t width, int32_t height)
{
    const bool alpha = source.hasAlpha || source.transparentIndex >= 0;
    auto target = TRaster::Create(width, height, alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    target->hasAlpha = alpha;
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0)
        return target;
    TRowFilter rows(source, width);
    const TFilterTable columns = FilterTable(source.height, height);
    if (height <= source.height)
        ShrinkColumns(rows, columns, *target);
    else
        EnlargeColumns(rows, columns, *target);
    return target;
}

}  // namespace corvalin
