// Damaged, truncated and hostile PNG files fail with the codec's own errors
// and never decode garbage; harmless oddities still load.
#include <gtest/gtest.h>

#include <random>


#include "PngTestFiles.h"
#include "TestSupport.h"
#include "formats/png/PngErrors.h"
#include "formats/png/PngImage.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "picture/Bitmap.h"

using namespace corvalin;
using namespace pngtest;

namespace {

constexpr uint32_t kWidth = 16, kHeight = 8;

// Unfiltered noise rows of an RGB picture, each with filter byte 0.
std::vector<uint8_t> NoiseRows(uint32_t width, uint32_t height, size_t bytesPerPixel = 3)
{
    std::mt19937 random(7);
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        for (size_t i = 0; i < width * bytesPerPixel; ++i)
            rows.push_back(uint8_t(random()));
    }
    return rows;
}

std::vector<uint8_t> Part(const std::vector<uint8_t>& bytes, size_t from, size_t to)
{
    return {bytes.begin() + long(from), bytes.begin() + long(std::min(to, bytes.size()))};
}

// IHDR, tEXt, the image data split over three IDAT chunks, IEND. Stored
// (level 0) deflate keeps image bytes in every part.
std::vector<uint8_t> SplitFile()
{
    const std::vector<uint8_t> z = Zlib(NoiseRows(kWidth, kHeight), 0);
    const size_t third = z.size() / 3;
    return File({{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}, {"tEXt", {'a', 0, 'b'}},
                 {"IDAT", Part(z, 0, third)}, {"IDAT", Part(z, third, 2 * third)},
                 {"IDAT", Part(z, 2 * third, z.size())}, {"IEND", {}}});
}

std::vector<uint8_t> RgbFile(const std::vector<uint8_t>& imageData,
                             const std::vector<Chunk>& before = {}, const std::vector<Chunk>& after = {})
{
    std::vector<Chunk> chunks{{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}};
    chunks.insert(chunks.end(), before.begin(), before.end());
    chunks.push_back({"IDAT", imageData});
    chunks.insert(chunks.end(), after.begin(), after.end());
    chunks.push_back({"IEND", {}});
    return File(chunks);
}

std::vector<uint8_t> GoodImageData()
{
    return Zlib(NoiseRows(kWidth, kHeight));
}

template <class E>
void ExpectLoadFails(const std::vector<uint8_t>& file, const std::string& message = "")
{
    TBitmap bitmap;
    try {
        LoadInto(bitmap, file);
        ADD_FAILURE() << "the file loaded";
    } catch (const E& e) {
        if (!message.empty()) {
            EXPECT_EQ(e.what(), message);
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "wrong error: " << e.what();
    }
}

void ExpectLoads(const std::vector<uint8_t>& file)
{
    TBitmap bitmap;
    EXPECT_NO_THROW(LoadInto(bitmap, file));
}

const std::string kCrcMessage =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)";
const std::string kEndMessage =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the file.";

}  // namespace

TEST(PngErrors, ReferenceFileLoads)
{
    TBitmap bitmap;
    LoadInto(bitmap, SplitFile());
    const std::vector<uint8_t> rows = NoiseRows(kWidth, kHeight);
    ASSERT_EQ(bitmap.Width(), int(kWidth));
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint8_t* p = &rows[y * (kWidth * 3 + 1) + 1 + x * 3];
            ASSERT_EQ(PixelRgb(bitmap, int(x), int(y)), uint32_t(p[0] << 16 | p[1] << 8 | p[2]));
        }
}

TEST(PngErrors, TruncationAnywhereGivesUnexpectedEndOrCrcError)
{
    const std::vector<uint8_t> file = SplitFile();
    const std::vector<ParsedChunk> chunks = ParseChunks(file);
    ASSERT_EQ(chunks.size(), 6u);
    for (size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::vector<uint8_t> truncated(file.begin(), file.begin() + long(cut));
        if (cut < 8) {
            ExpectLoadFails<EPNGInvalidFileHeader>(truncated);
            continue;
        }
        // Within the length and type of a chunk the main loop meets the end;
        // later IDAT chunks are read by the image decoder, which can only
        // report a chunk whose CRC is missing.
        bool inHead = false;
        for (size_t i = 0; i < chunks.size(); ++i)
            if (cut >= chunks[i].offset && cut < chunks[i].offset + 8 && !(i == 3 || i == 4))
                inHead = true;
        if (inHead)
            ExpectLoadFails<EPngUnexpectedEnd>(truncated, kEndMessage);
        else
            ExpectLoadFails<EPngInvalidCRC>(truncated, kCrcMessage);
    }
}

TEST(PngErrors, WrongCrcInAnyChunkFailsButCHRMIsSkipped)
{
    const std::vector<uint8_t> file = SplitFile();
    for (const ParsedChunk& chunk : ParseChunks(file)) {
        SCOPED_TRACE(chunk.type);
        std::vector<uint8_t> damaged = file;
        damaged[chunk.offset + 8 + chunk.data.size()] ^= 0x01;
        ExpectLoadFails<EPngInvalidCRC>(damaged, kCrcMessage);
    }
    std::vector<uint8_t> chrm = ChunkBytesWithCrc("cHRM", std::vector<uint8_t>(32, 1), 0xDEADBEEF);
    std::vector<uint8_t> withChrm = RgbFile(GoodImageData());
    withChrm.insert(withChrm.begin() + 33, chrm.begin(), chrm.end());
    ExpectLoads(withChrm);
}

TEST(PngErrors, DamagedDeflateDataGivesTheZlibText)
{
    const std::string prefix =
        "Could not decompress the image because it contains invalid compressed data.\r\n Description: ";
    std::vector<uint8_t> z = GoodImageData();
    z[2] = 0x07;  // a block of the reserved type
    ExpectLoadFails<EPNGZLIBError>(RgbFile(z), prefix + "data error (-3)");

    std::vector<uint8_t> badHeader = GoodImageData();
    badHeader[1] ^= 0x01;
    ExpectLoadFails<EPNGZLIBError>(RgbFile(badHeader), prefix + "data error (-3)");

    // A stream asking for a preset dictionary cannot go on; it must not be retried.
    ExpectLoadFails<EPNGZLIBError>(RgbFile({0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}), prefix + "need dictionary (2)");
}

TEST(PngErrors, ImageDataThatEndsEarlyOrIsInterruptedHasMissingParts)
{
    const std::string message =
        "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
    // A complete zlib stream holding only half of the rows.
    ExpectLoadFails<EPNGMissingMultipleIDAT>(RgbFile(Zlib(NoiseRows(kWidth, kHeight / 2))), message);

    const std::vector<uint8_t> z = GoodImageData();
    const std::vector<uint8_t> interrupted =
        File({{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}, {"IDAT", Part(z, 0, 20)}, {"tEXt", {'k', 0}},
              {"IDAT", Part(z, 20, z.size())}, {"IEND", {}}});
    ExpectLoadFails<EPNGMissingMultipleIDAT>(interrupted, message);
}

TEST(PngErrors, ImageDataSpreadOverManyChunksAndLeftoverChunksLoad)
{
    const std::vector<uint8_t> z = GoodImageData();
    std::vector<Chunk> chunks{{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}};
    for (size_t i = 0; i < z.size(); i += 7)
        chunks.push_back({"IDAT", Part(z, i, i + 7)});
    chunks.push_back({"IDAT", {}});
    chunks.push_back({"IEND", {}});
    TBitmap many;
    LoadInto(many, File(chunks));

    // An IDAT chunk after the picture is complete is skipped, CRC unchecked.
    std::vector<uint8_t> leftover = RgbFile(z);
    const std::vector<uint8_t> extra = ChunkBytesWithCrc("IDAT", {1, 2, 3}, 0);
    leftover.insert(leftover.end() - 12, extra.begin(), extra.end());
    TBitmap single;
    LoadInto(single, leftover);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            ASSERT_EQ(PixelRgb(many, int(x), int(y)), PixelRgb(single, int(x), int(y)));
}

TEST(PngErrors, ChunkOrderAndUnknownChunks)
{
    const std::vector<uint8_t> z = GoodImageData();
    ExpectLoadFails<EPNGInvalidFileHeader>({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
    ExpectLoadFails<EPNGIHDRNotFirst>(File({{"gAMA", {0, 0, 0xB1, 0x8F}}, {"IHDR", Ihdr(kWidth, kHeight, 8, 2)},
                                            {"IDAT", z}, {"IEND", {}}}));
    ExpectLoadFails<EPNGNoImageData>(File({{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}, {"IEND", {}}}),
                                     "This \"Portable Network Graphics\" image contains no data.");
    ExpectLoadFails<EPngUnexpectedEnd>(File({{"IHDR", Ihdr(kWidth, kHeight, 8, 2)}, {"IDAT", z}}));
    ExpectLoadFails<EPNGUnknownCriticalChunk>(RgbFile(z, {{"CRIT", {1, 2}}}));

    TPNGImage png;
    const std::vector<uint8_t> file = RgbFile(z, {{"prVt", {1, 2, 3}}});
    png.LoadFromBytes(file);
    ASSERT_EQ(png.Chunks().size(), 4u);
    EXPECT_EQ(png.Chunks()[1]->ChunkTypeName(), nullptr);
    EXPECT_EQ(png.Chunks()[1]->Data, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(PngErrors, HeaderFieldsOutsideTheAcceptedTableAreRefused)
{
    auto withHeader = [](std::vector<uint8_t> ihdr) {
        return File({{"IHDR", ihdr}, {"IDAT", Zlib({0, 0})}, {"IEND", {}}});
    };
    std::vector<uint8_t> shortHeader = Ihdr(1, 1, 8, 0);
    shortHeader.pop_back();
    ExpectLoadFails<EPngInvalidIHDR>(withHeader(shortHeader));
    ExpectLoadFails<EPNGSizeExceeds>(withHeader(Ihdr(65536, 1, 8, 0)));
    ExpectLoadFails<EPNGSizeExceeds>(withHeader(Ihdr(1, 65536, 8, 0)));
    std::vector<uint8_t> compression = Ihdr(1, 1, 8, 0);
    compression[10] = 1;
    ExpectLoadFails<EPNGUnknownCompression>(withHeader(compression));
    ExpectLoadFails<EPNGUnknownInterlace>(withHeader(Ihdr(1, 1, 8, 0, 2)));
    std::vector<uint8_t> filter = Ihdr(1, 1, 8, 0);
    filter[11] = 1;
    ExpectLoadFails<EPngInvalidIHDR>(withHeader(filter));
    ExpectLoadFails<EPngInvalidIHDR>(withHeader(Ihdr(0, 1, 8, 0)));
    ExpectLoadFails<EPngInvalidIHDR>(withHeader(Ihdr(1, 0, 8, 0)));
    for (auto [depth, colorType] : std::vector<std::pair<uint8_t, uint8_t>>{
             {4, 2}, {16, 3}, {1, 4}, {2, 6}, {8, 1}, {8, 5}, {8, 7}, {3, 0}, {32, 0}})
        ExpectLoadFails<EPngInvalidIHDR>(withHeader(Ihdr(1, 1, depth, colorType)));

    // The widest picture allowed loads.
    ExpectLoads(File({{"IHDR", Ihdr(65535, 1, 1, 0)}, {"IDAT", Zlib(std::vector<uint8_t>(8193, 0))}, {"IEND", {}}}));
}

TEST(PngErrors, BrokenPalettesAreRefused)
{
    const auto z = Zlib({0, 0x1B});
    auto palettePicture = [&](std::vector<Chunk> extra) {
        std::vector<Chunk> chunks{{"IHDR", Ihdr(2, 1, 4, 3)}};
        chunks.insert(chunks.end(), extra.begin(), extra.end());
        chunks.push_back({"IDAT", z});
        chunks.push_back({"IEND", {}});
        return File(chunks);
    };
    const std::string message = "The \"Portable Network Graphics\" image contains an invalid palette.";
    ExpectLoadFails<EPNGInvalidPalette>(palettePicture({{"PLTE", std::vector<uint8_t>(10)}}), message);
    ExpectLoadFails<EPNGInvalidPalette>(palettePicture({{"PLTE", std::vector<uint8_t>(771)}}), message);
    ExpectLoadFails<EPNGInvalidPalette>(
        palettePicture({{"PLTE", std::vector<uint8_t>(6)}, {"tRNS", std::vector<uint8_t>(257, 255)}}), message);
    // No palette at all: nothing to colour the indices with.
    ExpectLoadFails<EPNGInvalidPalette>(palettePicture({}), message);
    ExpectLoadFails<EPNGInvalidPalette>(palettePicture({{"tRNS", {0}}}), message);
    // The one transparent entry lies beyond the palette.
    ExpectLoadFails<EPngError>(
        palettePicture({{"PLTE", std::vector<uint8_t>(6)}, {"tRNS", {255, 255, 255, 0}}}),
        "There is no such palette entry.");
}

TEST(PngErrors, BombsAreRefusedBeforeMemoryRunsOut)
{
    // Too large for any raster: refused from the header alone.
    try {
        TBitmap bitmap;
        LoadInto(bitmap, File({{"IHDR", Ihdr(65535, 65535, 8, 2)}, {"IDAT", Zlib({0})}, {"IEND", {}}}));
        ADD_FAILURE() << "loaded";
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Systemressourcen erschöpft.");
    }
    // A picture of 900 MB whose few bytes of data could never fill it.
    ExpectLoadFails<EPNGMissingMultipleIDAT>(
        File({{"IHDR", Ihdr(30000, 30000, 8, 0)}, {"IDAT", Zlib(std::vector<uint8_t>(30001, 0))}, {"IEND", {}}}));

    // Text that inflates to 64 MB is dropped; the picture still loads.
    std::vector<uint8_t> ztxt{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const std::vector<uint8_t> packed = Zlib(std::vector<uint8_t>(64 << 20, 'A'), 9);
    ztxt.insert(ztxt.end(), packed.begin(), packed.end());
    TPNGImage png;
    const std::vector<uint8_t> file = RgbFile(GoodImageData(), {{"zTXt", ztxt}});
    png.LoadFromBytes(file);
    ASSERT_NE(png.FindChunk<TChunkzTXt>(), nullptr);
    EXPECT_EQ(png.FindChunk<TChunkzTXt>()->Keyword, "Comment");
    EXPECT_TRUE(png.FindChunk<TChunkzTXt>()->Text.empty());
}

// Thousands of small zTXt chunks, each inflating to almost 4 MB: the texts of
// one file together stay within the side-data budget, and the load runs in
// bounded memory (measured in a child process, which would otherwise ask for
// some 16 GB).
TEST(PngErrors, ManyTextBombsShareOneBudget)
{
    std::vector<uint8_t> ztxt{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const std::vector<uint8_t> packed = Zlib(std::vector<uint8_t>(4000000, 'A'), 9);
    ztxt.insert(ztxt.end(), packed.begin(), packed.end());
    const std::vector<Chunk> texts(4000, Chunk{"zTXt", ztxt});
    const std::vector<uint8_t> file = RgbFile(GoodImageData(), texts);

    const testsupport::ChildRun run = testsupport::RunInChild([&] {
        TBitmap bitmap;
        LoadInto(bitmap, file);
        return bitmap.Width() == int(kWidth) ? 0 : 1;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_LT(run.peakKb, 300 * 1024) << "peak KB";

    TPNGImage png;
    png.LoadFromBytes(file);
    size_t kept = 0, withText = 0;
    for (const auto& chunk : png.Chunks())
        if (const auto* text = dynamic_cast<const TChunkzTXt*>(chunk.get())) {
            kept += text->Text.size();
            withText += text->Text.empty() ? 0 : 1;
        }
    EXPECT_EQ(withText, 4u);  // four whole texts fit 16 MB, the rest are dropped
    EXPECT_LE(kept, size_t(kMaxSideDataBytes));
    EXPECT_EQ(png.Chunks().size(), 4003u);  // every chunk is still kept, with its data
}
