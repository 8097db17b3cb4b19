// The size limit's search for a quality, with an encoder that only counts.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "formats/SizeLimit.h"
#include "formats/jpeg/JpegImage.h"

using namespace corvalin;

namespace {

// An encoding of `quality` bytes per step above a base, each byte the quality.
struct FakeEncoder {
    int64_t base = 0;
    int64_t step = 1;
    std::vector<int32_t> calls;

    int64_t SizeAt(int32_t quality) const { return base + step * quality; }
    TQualityEncoder Encoder()
    {
        return [this](int32_t quality) {
            calls.push_back(quality);
            return std::vector<uint8_t>(size_t(SizeAt(quality)), uint8_t(quality));
        };
    }
};

}  // namespace

// Every limit from below quality 1 to above the highest quality: the
// answer is the highest quality that fits, no quality is encoded twice, the
// bytes kept are those of that quality, and the encodes stay within
// 1 + ceil(log2(maxQuality)).
TEST(EncodeWithinSize, FindsTheHighestFittingQualityWithinItsEncodes)
{
    for (const int32_t maxQuality : {1, 2, 3, 7, 8, 85, 100}) {
        const int maxEncodes = 1 + int(std::ceil(std::log2(double(maxQuality))));
        for (int32_t fitting = 1; fitting <= maxQuality; ++fitting) {
            FakeEncoder fake{1000, 7, {}};
            const int64_t limit = fake.SizeAt(fitting) + 3;  // between two qualities
            const TFittedEncoding fitted = EncodeWithinSize(fake.Encoder(), maxQuality, limit);
            SCOPED_TRACE(testing::Message() << "max " << maxQuality << ", fits up to " << fitting);
            EXPECT_EQ(fitted.Quality, fitting);
            EXPECT_EQ(int64_t(fitted.Bytes.size()), fake.SizeAt(fitting));
            EXPECT_EQ(fitted.Bytes.front(), uint8_t(fitting));
            EXPECT_LE(int(fake.calls.size()), maxEncodes);
            EXPECT_EQ(std::set<int32_t>(fake.calls.begin(), fake.calls.end()).size(), fake.calls.size());
            EXPECT_EQ(fake.calls.front(), maxQuality);  // the setting itself first
        }
    }
    FakeEncoder fits{0, 1, {}};
    EXPECT_EQ(EncodeWithinSize(fits.Encoder(), 85, 85).Quality, 85);
    EXPECT_EQ(fits.calls.size(), 1u);  // a file that fits at once costs one encode
}

TEST(EncodeWithinSize, UnreachableLimitNamesBothSizes)
{
    // Quality 1 gives exactly 37 KB.
    FakeEncoder fake{36 * 1024, 1024, {}};
    try {
        EncodeWithinSize(fake.Encoder(), 100, 1024);
        FAIL() << "no error";
    } catch (const EInvalidOperation& error) {
        EXPECT_STREQ(error.what(), "Zielgröße 1 KB nicht erreichbar, kleinste Datei 37 KB");
    }
    EXPECT_EQ(fake.calls.back(), 1);
    EXPECT_LE(fake.calls.size(), 8u);
    // A size just over a kilobyte reads as the next one, never as the limit.
    FakeEncoder justOver{1500 * 1024, 1, {}};
    EXPECT_THROW(
        {
            try {
                EncodeWithinSize(justOver.Encoder(), 1, 1500 * 1024);
            } catch (const EInvalidOperation& error) {
                EXPECT_STREQ(error.what(), "Zielgröße 1.500 KB nicht erreichbar, kleinste Datei 1.501 KB");
                throw;
            }
        },
        EInvalidOperation);
    EXPECT_THROW(EncodeWithinSize(fake.Encoder(), 0, 1 << 30), ERangeError);
}

// Through the picture: the JPEG written is the one the limit chose, read
// back whole; formats without a quality ignore the limit.
TEST(SaveWithinSize, JpegHeldUnderTheLimitOthersIgnoreIt)
{
    testsupport::TempDir dir;
    TBitmapEx picture;
    picturetest::Fill(picture, 300, 200, picturetest::Noise);
    const std::string jpg = dir.File("a.jpg");
    picture.SaveToFileEx(jpg, 90);
    const int64_t full = int64_t(testsupport::ReadBytes(jpg).size());

    const int32_t quality = picture.SaveWithinSize(jpg, 90, full / 2);
    EXPECT_GT(quality, 0);
    EXPECT_LT(quality, 90);
    const auto bytes = testsupport::ReadBytes(jpg);
    EXPECT_LE(int64_t(bytes.size()), full / 2);
    EXPECT_EQ(bytes, EncodeJpegFile(picture, quality, picture.Metadata));
    EXPECT_EQ(testsupport::DecodeWithPillow(jpg).width, 300);
    // One quality higher would not have fitted.
    EXPECT_GT(int64_t(EncodeJpegFile(picture, quality + 1, picture.Metadata).size()), full / 2);

    EXPECT_THROW(picture.SaveWithinSize(dir.File("b.jpg"), 90, 100), EInvalidOperation);
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.jpg")));
    EXPECT_EQ(picture.SaveWithinSize(dir.File("c.png"), 90, 100), 0);
    EXPECT_GT(std::filesystem::file_size(dir.File("c.png")), 100u);
    EXPECT_EQ(picture.SaveWithinSize(dir.File("d.jpg"), 90, 0), 0);  // no limit
}
