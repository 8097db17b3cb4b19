#include "formats/metafile/MetafileProbe.h"

#include "formats/metafile/MetafileHeader.h"

namespace corvalin {

std::optional<TProbe> ProbeMetafile(std::span<const uint8_t> file)
{
    const TMetafileHeader header = ReadMetafileHeader(file);
    TProbe probe;
    probe.width = header.PixelWidth();
    probe.height = header.PixelHeight();
    if (probe.width < 0 || probe.height < 0)
        return std::nullopt;
    return probe;
}

}  // namespace corvalin
