#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"

using namespace corvalin;
using namespace picturetest;
using namespace testsupport;

TEST(FormatIndexOf, OnlyTheLastExtensionCountsAndOnlyAsciiIsLowered)
{
    const std::pair<const char*, int> cases[] = {
        {"photo.JPG", 4},  {"photo.Jpg", 4},   {"photo.jpeg", 0}, {"a.tiff", 0},      {"a.jpe", 0},
        {"archive.tar.gif", 2}, {"/dir.gif/name", 0}, {"name", 0}, {"x.bmp", 1}, {"x.ico", 3},
        {"x.pcd", 5}, {"x.psd", 6}, {"x.pcx", 7}, {"x.png", 8}, {"x.tif", 9}, {"x.WMF", 10}, {".png", 8},
        {"x.png ", 0}};
    for (const auto& [name, index] : cases)
        EXPECT_EQ(FormatIndexOf(name), index) << name;
}

TEST(SaveToFileEx, BmpDataUnderTheExtensionsWithoutAWriter)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 3, 2, Noise);
    for (const char* name : {"x.pcd", "x.xyz", "x.BMP"}) {
        const std::string path = dir.File(name);
        const uint8_t index = picture.SaveToFileEx(path, 0);
        EXPECT_EQ(index, FormatIndexOf(name));
        const auto bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size(), 54u + 2 * 12) << name;
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
    }
    // PCX, Photoshop and icon files are written as themselves.
    const std::pair<const char*, std::vector<uint8_t>> own[] = {
        {"x.pcx", {10, 5}}, {"x.psd", {'8', 'B', 'P', 'S'}}, {"x.ico", {0, 0, 1, 0, 1, 0}}};
    for (const auto& [name, signature] : own) {
        EXPECT_EQ(picture.SaveToFileEx(dir.File(name), 0), FormatIndexOf(name));
        const auto bytes = ReadBytes(dir.File(name));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(signature.size())), signature) << name;
    }
    // Those read as BMP data, and the ones written as themselves, load back.
    for (const char* name : {"x.xyz", "x.BMP", "x.pcx", "x.psd", "x.ico"}) {
        TBitmapEx back;
        EXPECT_EQ(back.LoadFromFileEx(dir.File(name)), FormatIndexOf(name));
        EXPECT_TRUE(SamePixels(picture, back)) << name;
    }
}

TEST(SaveToFileEx, JpegQualityIsCheckedBeforeTheFileIsTouched)
{
    TempDir dir;
    const std::string path = dir.File("a.jpg");
    WriteBytes(path, {1, 2, 3});
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    for (int quality : {0, 101, -5}) {
        try {
            picture.SaveToFileEx(path, quality);
            FAIL();
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), "Fehler bei Bereichsprüfung");
        }
        EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    }
}

TEST(SaveToFileEx, EmptyPictureIsRefusedAndLeavesTheFile)
{
    TempDir dir;
    TBitmapEx picture;
    for (const char* name : {"e.bmp", "e.jpg", "e.gif", "e.png", "e.tif", "e.pcx"}) {
        WriteBytes(dir.File(name), {1, 2, 3});
        EXPECT_THROW(picture.SaveToFileEx(dir.File(name), 75), EInvalidGraphic) << name;
        EXPECT_EQ(ReadBytes(dir.File(name)), (std::vector<uint8_t>{1, 2, 3})) << name;
    }
}

TEST(SaveToFileEx, ReplacingKeepsThePermissionBitsAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.File("p.bmp");
    WriteBytes(path, {0});
    ::chmod(path.c_str(), 0640);
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    picture.SaveToFileEx(path, 75);
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(SaveToFileEx, AFailedWriteLeavesTheEarlierFileAsItWas)
{
    TempDir dir;
    const std::string path = dir.File("keep.bmp");
    WriteBytes(path, {7, 7, 7});
    {
        TAtomicFileStream stream(path);
        stream.WriteBuffer(std::vector<uint8_t>(100, 1));
        // No commit: the write failed half-way.
    }
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(SaveToFileEx, AFolderThatDoesNotExistCannotBeCreated)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 2, 2, Noise);
    const std::string path = dir.File("missing/x.bmp");
    try {
        picture.SaveToFileEx(path, 75);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Datei \"" + path + "\" kann nicht erstellt werden. ", 0), 0u)
            << e.what();
    }
}

TEST(LoadFromFileEx, FailuresLeaveThePictureAsItWas)
{
    TempDir dir;
    TBitmapEx picture;
    Fill(picture, 3, 3, Noise);
    const std::string missing = dir.File("nope.bmp");
    try {
        picture.LoadFromFileEx(missing);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Datei " + missing + " kann nicht geöffnet werden. ", 0), 0u);
    }
    WriteBytes(dir.File("icon.ico"), {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0});
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("icon.ico")), EInvalidGraphic);
    WriteBytes(dir.File("real.jpeg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 0x4A, 0x46, 0x49, 0x46, 0, 1, 1, 0, 0, 1, 0, 1});
    EXPECT_THROW(picture.LoadFromFileEx(dir.File("real.jpeg")), EInvalidGraphic);
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.Canvas().ReadPixel(2, 2), Noise(2, 2));
}

TEST(LoadFromFileEx, BmpDataUnderAnIcoNameLoads)
{
    TempDir dir;
    TBitmapEx picture, back;
    Fill(picture, 4, 4, Noise);
    picture.ChangePixelFormat(TPixelFormat::pf8bit);
    picture.SaveToFileEx(dir.File("x.ico"), 75);
    EXPECT_EQ(back.LoadFromFileEx(dir.File("x.ico")), 3);
    EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_TRUE(SamePixels(picture, back));
}
