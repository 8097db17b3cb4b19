#include "formats/ico/IcoProbe.h"

#include "formats/ico/IcoReader.h"
#include "formats/png/PngProbe.h"

namespace corvalin {

std::optional<TProbe> ProbeIcoFile(std::span<const uint8_t> file)
{
    const std::vector<TIconEntry> entries = ReadIconDirectory(file);
    const TIconEntry& entry = ChosenEntry(entries);
    if (entry.png)
        return ProbePngFile(entry.data);
    TProbe probe;
    probe.width = entry.width;
    probe.height = entry.height;
    probe.colour = entry.bitsPerPixel <= 8 ? TProbeColour::Palette : TProbeColour::Rgb;
    // Every bitmap entry carries its mask of transparent pixels.
    probe.alpha = true;
    return probe;
}

}  // namespace corvalin
