#include "formats/gif/GifProbe.h"

#include "formats/gif/GifReader.h"

namespace corvalin {

std::optional<TProbe> ProbeGifFile(std::span<const uint8_t> file)
{
    const TGifContents layout = ReadGifLayout(file);
    if (layout.images.empty())
        return std::nullopt;
    TProbe probe;
    probe.width = layout.header.width;
    probe.height = layout.header.height;
    probe.colour = TProbeColour::Palette;
    // The first image is the picture; its transparent index may go unused.
    probe.alpha = layout.images.front().transparent;
    probe.pictures = layout.images.size();
    return probe;
}

}  // namespace corvalin
