// Drives the colour manager with a random description (schemes, depths,
// sample counts, options, planes, mask) and random samples. Every setting
// the manager accepts must convert a row without touching memory outside
// the source rows and the target row sized from the description.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Exceptions.h"
#include "formats/reader/ColorManager.h"

namespace {

using namespace corvalin;

constexpr int kSchemes = int(TColorScheme::csPhotoYCC) + 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 12)
        return 0;
    const uint8_t* p = data;
    TColorManager m;
    const uint8_t sourceBits = p[2] % 17, targetBits = p[3] % 17;
    const uint8_t sourceSamples = p[4] % 5, targetSamples = p[5] % 5;
    const bool planar = (p[7] & 1) != 0;
    const uint8_t mask = p[8];
    const size_t count = p[9] % 64 + 1;
    try {
        m.SetSourceColorScheme(TColorScheme(p[0] % kSchemes));
        m.SetTargetColorScheme(TColorScheme(p[1] % kSchemes));
        m.SetSourceOptions(p[6]);
        m.SetSourceBitsPerSample(sourceBits);
        m.SetTargetBitsPerSample(targetBits);
        m.SetSourceSamplesPerPixel(sourceSamples);
        m.SetTargetSamplesPerPixel(targetSamples);
        const std::array<uint8_t, 5> factors = {1, 2, 4, 3, 0};
        m.SetYCbCrParameters({0.299f, 0.587f, 0.114f}, factors[p[10] % 5], factors[(p[10] >> 3) % 5]);
    } catch (const Exception&) {
        return 0;
    }
    // One row of samples: interleaved, or one plane per sample.
    const size_t planeBits = planar ? sourceBits : size_t(sourceBits) * sourceSamples;
    const size_t rowBytes = (count * planeBits + 7) / 8;
    const size_t planes = planar ? sourceSamples : 1;
    std::vector<std::vector<uint8_t>> rows(planes, std::vector<uint8_t>(rowBytes));
    for (size_t k = 0; k < planes; ++k)
        for (size_t i = 0; i < rowBytes; ++i)
            rows[k][i] = 12 + k * rowBytes + i < size ? data[12 + k * rowBytes + i] : uint8_t(i * 31 + k);
    std::array<const uint8_t*, 4> sources{};
    for (size_t k = 0; k < planes; ++k)
        sources[k] = rows[k].data();
    std::vector<uint8_t> target((count * targetBits * targetSamples + 7) / 8);
    try {
        m.ConvertPixels(std::span(sources.data(), planes), mask, count, target.data());
    } catch (const Exception&) {
    }
    return 0;
}
