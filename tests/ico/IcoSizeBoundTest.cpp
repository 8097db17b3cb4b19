// An icon of every size there is: read whole, answered as that many
// pictures, and written back with its largest sizes only.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "TestSupport.h"
#include "common/ByteCursor.h"
#include "formats/BitmapEx.h"
#include "formats/ico/IcoWriter.h"

using namespace corvalin;
using namespace testsupport;

namespace {

constexpr auto LE = TByteOrder::LittleEndian;

struct Entry {
    int width, height;
    std::vector<uint8_t> data;
};

// A whole 1-bit 256 x 256 entry, then 65,533 entries of every other size
// that hold no more than their 12-byte header (never decoded: smaller).
std::vector<Entry> EverySize()
{
    std::vector<Entry> entries;
    std::vector<uint8_t> whole;
    for (uint32_t v : {40u, 256u, 512u})
        Put32(whole, v, LE);
    Put16(whole, 1, LE);
    Put16(whole, 1, LE);
    whole.resize(40, 0);
    whole.insert(whole.end(), {0, 0, 0, 0, 255, 255, 255, 0});
    whole.resize(whole.size() + 2 * 32 * 256, 0x55);
    entries.push_back({256, 256, whole});
    for (int w = 1; w <= 256 && entries.size() < 65534; ++w)
        for (int h = 1; h <= 256 && entries.size() < 65534; ++h) {
            if (w == 256 && h == 256)
                continue;
            std::vector<uint8_t> header;
            Put32(header, 12, LE);
            for (int v : {w, 2 * h, 1, 1})
                Put16(header, uint16_t(v), LE);
            entries.push_back({w, h, header});
        }
    return entries;
}

std::vector<uint8_t> IconOf(const std::vector<Entry>& entries)
{
    std::vector<uint8_t> file = {0, 0, 1, 0};
    Put16(file, uint16_t(entries.size()), LE);
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        file.insert(file.end(), {uint8_t(e.width), uint8_t(e.height), 0, 0, 1, 0, 1, 0});
        Put32(file, uint32_t(e.data.size()), LE);
        Put32(file, offset, LE);
        offset += uint32_t(e.data.size());
    }
    for (const Entry& e : entries)
        file.insert(file.end(), e.data.begin(), e.data.end());
    return file;
}

}  // namespace

TEST(IcoSizeBound, AnIconOfEverySizeIsWrittenWithItsLargestOnly)
{
    const std::vector<Entry> entries = EverySize();
    TempDir dir;
    WriteBytes(dir.File("every.ico"), IconOf(entries));
    TBitmapEx picture;
    size_t pictures = 0;
    picture.LoadFromFileEx(dir.File("every.ico"), pictures);
    EXPECT_EQ(pictures, entries.size()) << "more sizes than an icon written from it keeps";
    ASSERT_EQ(picture.Width(), 256);

    picture.SaveToFileEx(dir.File("written.ico"), 0);
    const std::vector<uint8_t> written = ReadBytes(dir.File("written.ico"));
    ASSERT_GE(written.size(), 6u);
    EXPECT_EQ(Get16(&written[4], LE), kMaxIconSizesWritten);
    TBitmapEx back;
    back.LoadFromFileEx(dir.File("written.ico"), pictures);
    ASSERT_EQ(back.Metadata.iconSizes.size(), kMaxIconSizesWritten);
    std::vector<int> areas;
    for (const Entry& e : entries)
        areas.push_back(e.width * e.height);
    std::sort(areas.begin(), areas.end(), std::greater<>());
    for (const TIconSize& size : back.Metadata.iconSizes)
        EXPECT_GE(size.width * size.height, areas[kMaxIconSizesWritten - 1]) << size.width << " x " << size.height;
}
