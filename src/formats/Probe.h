// What a file says about its picture before any pixel is decoded: the
// answer of a format's probe, which reads only the header, the directories
// or the boxes it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvalin {

struct TFormatRow;

// How the file stores its colours.
enum class TProbeColour : uint8_t { Grey, Rgb, Palette, Cmyk, Lab, YCbCr };

struct TProbe {
    // The picture's size as the format's reader delivers it, before any
    // Exif orientation is applied.
    int32_t width = 0;
    int32_t height = 0;
    // The Exif orientation (1..8) still to be applied to that picture; 1
    // when the file has none or its reader applies it already.
    int orientation = 1;
    // The largest number of bits a sample of the file holds.
    uint8_t bitsPerSample = 8;
    TProbeColour colour = TProbeColour::Rgb;
    // The file stores opacity (an alpha channel, a transparent colour or
    // an icon's mask); its pixels may still all be opaque.
    bool alpha = false;
    bool iccProfile = false;
    // That profile describes CMYK inks (its colour space signature); only
    // probes that read the profile say so.
    bool cmykProfile = false;
    // Pictures in the file (frames, pages), as the load path counts them.
    size_t pictures = 1;
    // Layers of a layered document (0 for a picture without any).
    uint32_t layers = 0;
    // Damage seen without decoding (data cut short); false says only that
    // none was seen.
    bool damaged = false;
};

// A format's probe. nullopt: the file's header does not answer cheaply (or
// is not of the format), and a full decode has to.
using TProbePath = std::optional<TProbe> (*)(std::span<const uint8_t> file);

// The file's description by the row's probe, or, for a row without one or
// a file it cannot answer for, by a full decode through the row's load path
// (which raises the reader's error for a file it cannot read).
TProbe ProbeThroughRow(const TFormatRow& row, std::span<const uint8_t> file);

// The description a full decode through the row gives: the reference the
// probes agree with.
TProbe ProbeByDecoding(const TFormatRow& row, std::span<const uint8_t> file);

}  // namespace corvalin
