#include "formats/SizeLimit.h"

#include <string>

#include "common/Exceptions.h"
#include "common/Tools.h"

namespace corvalin {

namespace {

// Whole kilobytes, rounded up so that a file just over the limit never
// reads as the limit itself.
std::string KilobyteText(int64_t bytes)
{
    return InsertThousandSeparators(std::to_string((bytes + 1023) / 1024)) + " KB";
}

}  // namespace

TFittedEncoding EncodeWithinSize(const TQualityEncoder& encode, int32_t maxQuality, int64_t maxBytes)
{
    if (maxQuality < 1)
        throw ERangeError(msg::RangeError);
    TFittedEncoding best;
    std::vector<uint8_t> bytes = encode(maxQuality);
    if (int64_t(bytes.size()) <= maxBytes)
        return {maxQuality, std::move(bytes)};
    // Every quality above `high` is too large; every one below `low` fits.
    int32_t low = 1;
    int32_t high = maxQuality - 1;
    while (low <= high) {
        const int32_t quality = low + (high - low) / 2;
        bytes = encode(quality);
        if (int64_t(bytes.size()) <= maxBytes) {
            best = {quality, std::move(bytes)};
            low = quality + 1;
        } else {
            high = quality - 1;
        }
    }
    // Nothing fitted: the last encode was quality 1, the smallest there is.
    if (best.Quality == 0)
        throw EInvalidOperation(FormatText("Zielgröße %s nicht erreichbar, kleinste Datei %s",
                                           {KilobyteText(maxBytes), KilobyteText(int64_t(bytes.size()))}));
    return best;
}

}  // namespace corvalin
