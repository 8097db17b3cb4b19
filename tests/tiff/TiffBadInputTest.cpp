// The TIFF reader on small files built here byte by byte: damaged
// directories, counts and offsets, endless fax data, and the layouts no
// tool writes (ThunderScan, several rows-per-strip values).
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "formats/tiff/TiffReader.h"
#include "picture/Bitmap.h"

using namespace corvalin;

namespace {

enum : uint16_t { kByte = 1, kShort = 3, kLong = 4 };

// A one-directory TIFF file: entries with values (placed after the header
// when longer than 4 bytes), then pixel data at a known offset.
class TiffBuilder {
public:
    explicit TiffBuilder(TByteOrder order = TByteOrder::LittleEndian) : order_(order) {}

    TiffBuilder& Set(uint16_t tag, uint16_t type, std::vector<uint32_t> values)
    {
        entries_[tag] = {type, std::move(values)};
        return *this;
    }
    TiffBuilder& Picture(uint32_t width, uint32_t height, uint32_t bits, uint32_t photometric, uint32_t compression)
    {
        return Set(256, kLong, {width}).Set(257, kLong, {height}).Set(258, kShort, {bits})
            .Set(262, kShort, {photometric}).Set(259, kShort, {compression});
    }
    // Strips from the data blocks; their offsets and byte counts are filled in.
    std::vector<uint8_t> Build(const std::vector<std::vector<uint8_t>>& strips = {})
    {
        const size_t dataStart = 4096;
        std::vector<uint32_t> offsets, counts;
        size_t at = dataStart;
        for (const auto& s : strips) {
            offsets.push_back(uint32_t(at));
            counts.push_back(uint32_t(s.size()));
            at += s.size();
        }
        if (!strips.empty()) {
            if (!entries_.count(273))
                Set(273, kLong, offsets);
            if (!entries_.count(279))
                Set(279, kLong, counts);
        }
        std::vector<uint8_t> out;
        out.push_back(order_ == TByteOrder::BigEndian ? 'M' : 'I');
        out.push_back(out[0]);
        Put16(out, version, order_);
        Put32(out, 8, order_);
        Put16(out, uint16_t(entries_.size()), order_);
        std::vector<uint8_t> extra;
        const size_t extraStart = 8 + 2 + 12 * entries_.size() + 4;
        for (const auto& [tag, entry] : entries_) {
            const auto& [type, values] = entry;
            std::vector<uint8_t> bytes;
            for (uint32_t v : values) {
                if (type == kByte)
                    bytes.push_back(uint8_t(v));
                else if (type == kShort)
                    Put16(bytes, uint16_t(v), order_);
                else
                    Put32(bytes, v, order_);
            }
            Put16(out, tag, order_);
            Put16(out, type, order_);
            Put32(out, uint32_t(values.size()), order_);
            if (bytes.size() <= 4) {
                bytes.resize(4, 0);
                out.insert(out.end(), bytes.begin(), bytes.end());
            } else {
                Put32(out, uint32_t(extraStart + extra.size()), order_);
                extra.insert(extra.end(), bytes.begin(), bytes.end());
            }
        }
        Put32(out, nextDirectory, order_);
        out.insert(out.end(), extra.begin(), extra.end());
        out.resize(std::max(out.size(), dataStart), 0);
        for (const auto& s : strips)
            out.insert(out.end(), s.begin(), s.end());
        return out;
    }

    uint16_t version = 42;
    uint32_t nextDirectory = 0;

private:
    TByteOrder order_;
    std::map<uint16_t, std::pair<uint16_t, std::vector<uint32_t>>> entries_;
};

std::string LoadError(const std::vector<uint8_t>& file)
{
    TBitmap picture;
    try {
        LoadTiffFile(picture, file);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "";
}

std::vector<uint8_t> Row(const TBitmap& picture, int y)
{
    const uint8_t* row = picture.ScanLine(y);
    return {row, row + (picture.Width() * picture.Raster()->bitsPerPixel + 7) / 8};
}

const std::string kInvalid = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";

}  // namespace

TEST(TiffBadInput, HeadersDirectoriesAndCountsThatDoNotFit)
{
    TiffBuilder wrongVersion;
    wrongVersion.Picture(2, 2, 8, 1, 1).version = 43;
    EXPECT_EQ(LoadError(wrongVersion.Build({{0, 0, 0, 0}})), kInvalid);
    EXPECT_EQ(LoadError(TiffBuilder().Picture(0, 2, 8, 1, 1).Build({{0, 0}})), kInvalid);

    std::vector<uint8_t> outside = TiffBuilder().Picture(2, 2, 8, 1, 1).Build({{0, 0, 0, 0}});
    outside[4] = 0xF0;
    outside[6] = 0x01;  // directory offset far past the end
    EXPECT_EQ(LoadError(outside), "Stream-Lesefehler");
    EXPECT_EQ(LoadError({'I', 'I', 42}), "Stream-Lesefehler");

    // A strip offset array that claims more values than the file holds.
    std::vector<uint8_t> counted = TiffBuilder().Picture(2, 2, 8, 1, 1).Set(273, kLong, {4096, 4100}).Build({{1, 2, 3, 4}});
    for (size_t i = 10; i + 12 <= counted.size(); i += 12)
        if (counted[i] == 273 % 256 && counted[i + 1] == 1)
            counted[i + 4] = 0xFF, counted[i + 6] = 0xFF;
    EXPECT_EQ(LoadError(counted), "Stream-Lesefehler");

    // A directory whose next offset points to itself ends the chain.
    TiffBuilder looped;
    looped.Picture(2, 1, 8, 1, 1).nextDirectory = 8;
    const std::vector<uint8_t> loop = looped.Build({{5, 6}});
    TTIFFGraphic reader;
    EXPECT_TRUE(reader.ReadPictureInfo(loop, 0));
    EXPECT_FALSE(reader.ReadPictureInfo(loop, 1));

    // A compressed picture needs byte counts; a tile larger than any
    // picture could need is refused before anything is allocated.
    EXPECT_EQ(LoadError(TiffBuilder().Picture(2, 1, 8, 1, 32773).Set(273, kLong, {4096}).Build()),
              "Fehler bei Bereichsprüfung");
    EXPECT_EQ(LoadError(TiffBuilder().Picture(2, 1, 8, 1, 1).Set(322, kLong, {1u << 26}).Set(323, kLong, {1u << 20})
                            .Set(324, kLong, {4096}).Set(325, kLong, {4}).Build()),
              kInvalid);
    EXPECT_EQ(LoadError(TiffBuilder().Picture(2, 1, 8, 1, 0).Build({{1, 2}})),
              "Cannot load image. The compression scheme is not supported for TIF/TIFF files.");
    EXPECT_EQ(LoadError(TiffBuilder().Picture(2, 1, 32, 1, 1).Build({{1, 2}})),
              "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
}

TEST(TiffBadInput, ShortAndMissingDataGiveADefinedPicture)
{
    // The strip starts past the end: the rows stay zero.
    TBitmap picture;
    LoadTiffFile(picture, TiffBuilder().Picture(3, 2, 8, 1, 1).Set(273, kLong, {1u << 30}).Build());
    EXPECT_EQ(Row(picture, 1), (std::vector<uint8_t>{0, 0, 0}));
    // An uncompressed strip cut short keeps what is there.
    LoadTiffFile(picture, TiffBuilder().Picture(3, 2, 8, 1, 1).Build({{9, 8, 7, 6}}));
    EXPECT_EQ(Row(picture, 0), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(Row(picture, 1), (std::vector<uint8_t>{6, 0, 0}));
    // Fax data of zeros only, or of a code that never completes, ends.
    for (uint32_t compression : {2u, 3u, 32771u})
        for (uint8_t fill : {0x00, 0xFF, 0x01}) {
            LoadTiffFile(picture, TiffBuilder().Picture(40, 30, 1, 0, compression)
                                      .Build({std::vector<uint8_t>(20000, fill)}));
            EXPECT_EQ(picture.Height(), 30);
        }
}

TEST(TiffBadInput, RowsPerStripValuesThunderScanAndByteOrder)
{
    // Three strips with rows-per-strip 1 and 2: the last value repeats.
    TBitmap picture;
    LoadTiffFile(picture, TiffBuilder().Picture(2, 5, 8, 1, 1).Set(278, kLong, {1, 2})
                              .Build({{1, 1}, {2, 2, 3, 3}, {4, 4, 5, 5}}));
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(Row(picture, y), (std::vector<uint8_t>{uint8_t(y + 1), uint8_t(y + 1)}));

    // ThunderScan: set 5; three 2-bit deltas 0, skip, -1; two 3-bit deltas
    // +3, -2; repeat twice (the row is full at 7 pixels). The second row
    // starts again from 0: deltas 0, 0, -1 (wrapping to 15), then set 9.
    const std::vector<uint8_t> thunder = {0xC5, 0x4B, 0x9E, 0x02, 0x43, 0xC9};
    LoadTiffFile(picture, TiffBuilder().Picture(7, 2, 4, 1, 32809).Build({thunder}));
    ASSERT_EQ(picture.PixelFormat(), TPixelFormat::pf4bit);
    EXPECT_EQ(Row(picture, 0), (std::vector<uint8_t>{0x55, 0x47, 0x55, 0x50}));
    EXPECT_EQ(Row(picture, 1), (std::vector<uint8_t>{0x00, 0xF9, 0x00, 0x00}));

    // The same colour map in either byte order gives the same palette.
    std::vector<uint32_t> map(48, 0);
    map[1] = 0xFFFF;         // red of entry 1
    map[16 + 2] = 0x8080;    // green of entry 2
    map[32 + 3] = 0x4000;    // blue of entry 3
    TBitmap little, big;
    LoadTiffFile(little, TiffBuilder().Picture(2, 1, 4, 3, 1).Set(320, kShort, map).Build({{0x12}}));
    LoadTiffFile(big, TiffBuilder(TByteOrder::BigEndian).Picture(2, 1, 4, 3, 1).Set(320, kShort, map).Build({{0x12}}));
    EXPECT_EQ(little.Palette(), big.Palette());
    EXPECT_EQ(big.Palette()[1], RGB(255, 0, 0));
    EXPECT_EQ(big.Palette()[2], RGB(0, 128, 0));
    EXPECT_EQ(big.Palette()[3], RGB(0, 0, 63));
}

TEST(TiffBadInput, SubsampledChromaIsReadAsTriplesWhateverTheSampleCount)
{
    // Two 2 x 2 units (four luma values, then Cb and Cr each). A fourth
    // declared sample is not in the units; the picture is that of three.
    const std::vector<uint8_t> units = {10, 20, 30, 40, 128, 128, 200, 210, 220, 230, 90, 160};
    auto build = [&](std::vector<uint32_t> bits) {
        const uint32_t samples = uint32_t(bits.size());
        return TiffBuilder()
            .Picture(4, 2, 8, 6, 1)
            .Set(258, kShort, std::move(bits))
            .Set(277, kShort, {samples})
            .Set(530, kShort, {2, 2})
            .Build({units});
    };
    TBitmap three, four;
    LoadTiffFile(three, build({8, 8, 8}));
    LoadTiffFile(four, build({8, 8, 8, 8}));
    ASSERT_EQ(four.PixelFormat(), TPixelFormat::pf24bit);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(Row(four, y), Row(three, y));
    EXPECT_EQ(Row(three, 0)[0], 10);  // grey chroma leaves the luma as it is
    EXPECT_EQ(LoadError(build({8, 8})), "Invalid color format in TIF/TIFF file.");
}

// Pictures whose blocks are mostly missing are refused from the directory
// alone, before the picture is allocated; those with at least 1% of their
// blocks in the file convert, the rest black.
TEST(TiffBadInput, BlocksForLessThanOnePercentOfALargePictureAreRefused)
{
    const size_t strips = 200;  // of 5 rows of 2000 bytes each
    auto grey = [&](uint32_t compression, size_t present, uint32_t count) {
        std::vector<uint32_t> offsets(strips, 1u << 30), counts(strips, 0);
        for (size_t i = 0; i < present; ++i)
            offsets[i] = 4096, counts[i] = count;
        return TiffBuilder()
            .Picture(2000, 1000, 8, 1, compression)
            .Set(278, kLong, {5})
            .Set(273, kLong, offsets)
            .Set(279, kLong, counts)
            .Build({std::vector<uint8_t>(10000, 0x80)});
    };
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        bool refused;
    } cases[] = {
        {"no strip offsets at all", TiffBuilder().Picture(26000, 26000, 8, 1, 1).Set(278, kLong, {26000}).Build(),
         true},
        {"one row of 500 million, its strip empty",
         TiffBuilder().Picture(1, 500000000, 8, 1, 1).Set(273, kLong, {0}).Set(279, kLong, {0}).Build(), true},
        {"one strip of 200 in the file", grey(1, 1, 10000), true},
        {"three strips of 200 in the file", grey(1, 3, 10000), false},
        {"packed strips without byte counts", grey(32773, strips, 0), true},
        {"three packed strips of 200 with bytes", grey(32773, 3, 2), false},
        {"a small picture without its strip", TiffBuilder().Picture(3, 2, 8, 1, 1).Set(273, kLong, {1u << 30}).Build(),
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadError(c.file), c.refused ? kInvalid : "") << c.name;
}
