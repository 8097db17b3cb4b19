// Feeds arbitrary bytes to the metafile reader and plays whatever it accepts
// into a picture of at most 256 x 256 pixels, whatever size the file
// declares; the drawing is then exported and must import as the same pixels.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Exceptions.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"
#include "formats/metafile/Metafile.h"
#include "picture/Canvas.h"
#include "PictureTestUtil.h"

namespace {

using namespace corvalin;

constexpr int32_t kMaxSide = 256;

using picturetest::SamePixels;

}  // namespace

// Fontconfig keeps its configuration and match caches for the whole program
// and never frees them; that is not a leak of the reader's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMetafile metafile;
    try {
        metafile.LoadFromBytes({data, data + size});
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    const int32_t width = std::min(metafile.Width(), kMaxSide), height = std::min(metafile.Height(), kMaxSide);
    if (width == 0 || height == 0)
        return 0;
    TBitmapEx drawn;
    drawn.SetPictureHeight(height);
    drawn.SetPictureWidth(width);
    metafile.Draw(drawn.Canvas(), TRect{0, 0, width, height});

    TMetafile exported;
    exported.SetSize(width, height);
    {
        TMetafileCanvas canvas(exported);
        canvas.DrawPictureAt(0, 0, drawn);
    }
    TMemoryStream written;
    exported.SaveToStream(written);
    TMetafile reread;
    reread.LoadFromBytes(written.Bytes());
    TBitmapEx back;
    reread.AssignTo(back);
    if (!SamePixels(drawn, back))
        __builtin_trap();
    return 0;
}
