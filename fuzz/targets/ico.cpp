// Feeds arbitrary bytes to the icon reader. An icon that loads is written as
// an icon again with the sizes it held and read back, which must give a
// picture of the same size with the same set of sizes that fit.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/ico/IcoReader.h"
#include "formats/ico/IcoWriter.h"
#include "formats/metadata/PictureMetadata.h"
#include "picture/Bitmap.h"

namespace {

using namespace corvalin;

// PNG entries may declare pictures far beyond what the input could fill
// (deflate expands at most about 1032-fold); decoding them only fills memory.
bool DeclaresUnfillablePicture(const uint8_t* data, size_t size)
{
    try {
        for (const TIconEntry& entry : ReadIconDirectory({data, size})) {
            const uint64_t pixels = uint64_t(entry.width) * uint64_t(entry.height);
            if (entry.png && (pixels > (1u << 22) || pixels > 4096 + uint64_t(size) * 8 * 1032))
                return true;
        }
    } catch (const Exception&) {
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (DeclaresUnfillablePicture(data, size))
        return 0;
    TBitmap picture;
    TPictureMetadata metadata;
    try {
        LoadIcoFile(picture, {data, size}, metadata);
    } catch (const Exception&) {
        return 0;
    }
    if (picture.Empty() || picture.Width() > 256 || picture.Height() > 256)
        return 0;
    TMemoryStream written;
    WriteIcoToStream(written, picture, metadata);
    TBitmap back;
    TPictureMetadata reread;
    LoadIcoFile(back, written.Bytes(), reread);
    if (back.Width() != picture.Width() || back.Height() != picture.Height() ||
        reread.iconSizes.empty() || !(reread.iconSizes.front() == TIconSize{picture.Width(), picture.Height()}))
        __builtin_trap();
    for (const TIconSize& size : metadata.iconSizes)
        if (size.width <= picture.Width() && size.height <= picture.Height() &&
            std::find(reread.iconSizes.begin(), reread.iconSizes.end(), size) == reread.iconSizes.end())
            __builtin_trap();
    return 0;
}
