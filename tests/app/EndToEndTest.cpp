// Runs the built program without a display on folders made here.
#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "AppTestUtil.h"
#include "PictureTestUtil.h"
#include "TestSupport.h"
#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/ConversionSettings.h"
#include "common/Tools.h"
#include "formats/BitmapEx.h"
#include "formats/pcx/PcxWriter.h"

using namespace corvalin;
using testsupport::Quote;
using testsupport::TempDir;
using namespace std::string_view_literals;
namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status = -1;
    std::vector<std::string> out;  // lines of standard output
    std::string err;
};

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ReadText(const std::string& path)
{
    const auto bytes = testsupport::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

// A quadrant pattern, so scaling and turning can be checked by colour.
TColor Quadrant(int x, int y, int w, int h)
{
    const bool right = x >= w / 2;
    const bool bottom = y >= h / 2;
    return bottom ? (right ? RGB(255, 255, 0) : RGB(0, 0, 255))
                  : (right ? RGB(0, 255, 0) : RGB(255, 0, 0));
}

void WriteQuadrantBmp(const std::string& path, int w, int h)
{
    WriteTestBmp(path, w, h, [w, h](int x, int y) { return Quadrant(x, y, w, h); });
}

}  // namespace

class EndToEnd : public ::testing::Test {
protected:
    TempDir dir;
    std::string pics = dir.File("Bilder");
    std::string config = dir.File("config");
    std::string store = config + "/Corvalin/Corvalin.conf";

    void SetUp() override
    {
        fs::create_directories(pics);
        SetRegionalSeparators({",", "."});  // what the C locale of the runs gives
    }

    RunResult Run(const std::string& arguments)
    {
        const std::string errFile = dir.File("stderr.txt");
        // In a sanitizer build: fontconfig's parsed configuration lives until
        // exit and is no leak of the program.
        const std::string suppressions = dir.File("lsan.supp");
        std::ofstream(suppressions) << "leak:libfontconfig\n";
        const auto result = testsupport::RunCommand(
            "cd " + Quote(dir.Path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 "
            "LSAN_OPTIONS=suppressions=" + Quote(suppressions) + " XDG_CONFIG_HOME=" +
            Quote(config) + " " + Quote(CORVALIN_BINARY) + " " + arguments + " 2>" + Quote(errFile));
        return {result.status, SplitLines(result.output), ReadText(errFile)};
    }

    void WriteStore(const std::string& body)
    {
        fs::create_directories(config + "/Corvalin");
        std::ofstream(store) << "[Corvalin]\n" << body;
    }

    std::vector<std::string> Summary(int files, int64_t before, int64_t after)
    {
        return {kSeparatorLine, "", "Zusammenfassung:", "",
                InsertThousandSeparators(std::to_string(files)) + " Dateien gesamt",
                FormatByteSize(before) + " vorher", FormatByteSize(after) + " nachher"};
    }
};

TEST_F(EndToEnd, RecursiveCopiesFitToTheHeight)
{
    fs::create_directories(pics + "/Urlaub");
    fs::create_directories(pics + "/.cache");
    WriteQuadrantBmp(pics + "/a.bmp", 800, 600);
    WriteQuadrantBmp(pics + "/Urlaub/b.BMP", 600, 800);
    WriteQuadrantBmp(pics + "/.c.bmp", 40, 30);
    WriteQuadrantBmp(pics + "/.cache/d.bmp", 40, 30);
    WriteStore("fremd=1\nmode=0\n");
    const std::string storeBefore = ReadText(store);

    const RunResult run = Run("/auto=1 " + Quote("/dir=" + pics) +
                              " /recursiv=1 /copy=1 /adapt=3 /width=400 /height=300");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    // Results: the hidden file is found, the dot-folder is not searched.
    const auto a = testsupport::DecodeConverted(pics + "/Neu_a.bmp");
    EXPECT_EQ(a.width, 400);
    EXPECT_EQ(a.height, 300);
    EXPECT_EQ(a.At(10, 10), 0xFF0000u);
    EXPECT_EQ(a.At(390, 10), 0x00FF00u);
    EXPECT_EQ(a.At(10, 290), 0x0000FFu);
    EXPECT_EQ(a.At(390, 290), 0xFFFF00u);
    // "/adapt=3" is the third entry, "Höhe": every picture gets height 300.
    const auto b = testsupport::DecodeConverted(pics + "/Urlaub/Neu_b.BMP");
    EXPECT_EQ(b.width, 225);
    EXPECT_EQ(b.height, 300);
    EXPECT_EQ(b.At(5, 295), 0x0000FFu);
    EXPECT_EQ(testsupport::DecodeConverted(pics + "/Neu_.c.bmp").width, 400);
    EXPECT_FALSE(fs::exists(pics + "/.cache/Neu_d.bmp"));

    std::vector<std::string> expected;
    for (const std::string& mask : FileTypeEntries())
        expected.push_back(SearchLine(pics, mask));
    expected.push_back(kSeparatorLine);
    expected.push_back("");
    int64_t before = 0, after = 0;
    for (const auto& [source, result] :
         std::vector<std::pair<std::string, std::string>>{{"/.c.bmp", "/Neu_.c.bmp"},
                                                          {"/a.bmp", "/Neu_a.bmp"},
                                                          {"/Urlaub/b.BMP", "/Urlaub/Neu_b.BMP"}}) {
        const int64_t s = fs::file_size(pics + source), r = fs::file_size(pics + result);
        expected.push_back(FileLine(pics + result, s, r));
        before += s;
        after += r;
    }
    for (const std::string& line : Summary(3, before, after))
        expected.push_back(line);
    EXPECT_EQ(run.out, expected);

    // An automatic run does not store its switches.
    EXPECT_EQ(ReadText(store), storeBefore);
}

TEST_F(EndToEnd, StoredSettingsApplyAndSwitchesOverrideThem)
{
    WriteQuadrantBmp(pics + "/a.bmp", 100, 50);
    WriteQuadrantBmp(pics + "/b.bmp", 100, 50);
    WriteStore("path=" + pics +
               "/\ncopy=0\nmode=1\nwidth=40\nrotate=1\n"
               "bmp=1\ngif=0\nico=0\njpg=0\npcd=0\npsd=0\npcx=0\npng=0\ntif=0\nwmf=0\n"
               "webp=0\nheic=0\navif=0\njxl=0\n");
    const RunResult run = Run("/auto=1 /height=7");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.size(), 1u + 1 + 2 + 2 + 7);
    // The run replaces originals because of the stored "copy=0", and says so first.
    EXPECT_EQ(run.out[0], "Originale werden ersetzt (copy=0 aus den gespeicherten Einstellungen)");
    EXPECT_EQ(run.out[1], SearchLine(pics + "/", "*.bmp"));
    // In place (no copy), turned, then fitted to width 40: 50x100 -> 40x80.
    const auto a = testsupport::DecodeConverted(pics + "/a.bmp");
    EXPECT_EQ(a.width, 40);
    EXPECT_EQ(a.height, 80);
    EXPECT_EQ(a.At(39, 0), 0xFF0000u);  // the red top-left went to the top right
    EXPECT_FALSE(fs::exists(pics + "/Neu_a.bmp"));
}

TEST_F(EndToEnd, FailedFilesGiveTheirReasonAndExitStatusOne)
{
    testsupport::WriteBytes(pics + "/kaputt.bmp", {'B', 'M', 0, 0});
    WriteQuadrantBmp(pics + "/gut.bmp", 20, 20);
    WriteQuadrantBmp(pics + "/voll.bmp", 20, 20);
    fs::create_directory(pics + "/Neu_voll.bmp");  // the copy cannot be written
    const auto fullBytes = testsupport::ReadBytes(pics + "/voll.bmp");

    const RunResult run = Run("/auto=1 /dir=" + Quote(pics) + " /format=1 /adapt=1 /width=10");
    EXPECT_EQ(run.status, 1);
    // A failure line names the source; the reason names the copy it could not write.
    const std::string failedCopy = FailureLine(pics + "/voll.bmp");
    const std::string corrupt = FailureLine(pics + "/kaputt.bmp");
    // One search line for each type this build reads, then the files.
    const size_t first = FileTypeEntries().size() + 2;
    ASSERT_GE(run.out.size(), first + 3);
    EXPECT_EQ(run.out[first],
              FileLine(pics + "/Neu_gut.bmp", fs::file_size(pics + "/gut.bmp"), fs::file_size(pics + "/Neu_gut.bmp")));
    EXPECT_EQ(run.out[first + 1], corrupt);
    EXPECT_EQ(run.out[first + 2], failedCopy);
    EXPECT_EQ(run.out[run.out.size() - 3], "1 Dateien gesamt");
    // Each failure line appears on standard error with its reason behind it.
    for (const std::string& line : {corrupt, failedCopy}) {
        const size_t at = run.err.find(line + " ");
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_NE(run.err[at + line.size() + 1], '\n');
    }
    EXPECT_EQ(testsupport::ReadBytes(pics + "/voll.bmp"), fullBytes);
    EXPECT_TRUE(fs::is_directory(pics + "/Neu_voll.bmp"));
}

TEST_F(EndToEnd, MissingFolderAndEmptyStore)
{
    const RunResult run = Run("/auto=1 /dir=" + Quote(pics + "/fehlt"));
    EXPECT_EQ(run.status, 1);  // a run that found no folder did not do its work
    const std::string message = "Das Verzeichnis \"" + pics + "/fehlt/\" existiert nicht!\n";
    size_t count = 0;
    for (size_t at = run.err.find(message); at != std::string::npos;
         at = run.err.find(message, at + 1))
        ++count;
    const size_t types = FileTypeEntries().size();
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(run.out[0].ends_with("/fehlt/" + FileTypeEntries()[0])) << run.out[0];
    ASSERT_EQ(run.out.size(), types + 2 + 7);
    EXPECT_EQ(run.out[types + 6], "0 Dateien gesamt");
    EXPECT_FALSE(fs::exists(store));  // nothing is written by a run
}

TEST_F(EndToEnd, HelpAndNothingToDo)
{
    RunResult run = Run("/?");
    EXPECT_EQ(run.status, 0);
    std::string help = HelpText();
    std::replace(help.begin(), help.end(), '\r', '\n');
    EXPECT_EQ(run.out, SplitLines(help));
    EXPECT_EQ(run.out.size(), 38u);

    run = Run("/width=5");
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.out.empty());
    EXPECT_FALSE(run.err.empty());
}

TEST_F(EndToEnd, OtherFormatsAsSourceAndTarget)
{
    testsupport::ImageMagick("-size 64x48 xc:'rgb(250,10,10)' " + Quote(pics + "/foto.jpg"));
    WriteQuadrantBmp(pics + "/q.bmp", 64, 48);
    // JPEG in, JPEG out under the copy's name.
    RunResult run = Run("/auto=1 /dir=" + Quote(pics) + " /adapt=3 /height=24 /recursiv=0");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto jpg = testsupport::DecodeConverted(pics + "/Neu_foto.jpg");
    EXPECT_EQ(jpg.width, 32);
    EXPECT_EQ(jpg.height, 24);
    EXPECT_GT(jpg.At(16, 12) >> 16, 200u);

    // Everything to GIF in place: written beside each source, which stays.
    run = Run("/auto=1 /dir=" + Quote(pics) + " /format=3 /copy=0 /adapt=2 /width=16");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* name : {"/foto.gif", "/q.gif", "/Neu_q.gif", "/Neu_foto.gif"}) {
        const auto gif = testsupport::DecodeConverted(pics + name);
        EXPECT_EQ(gif.width, 16) << name;
        EXPECT_EQ(gif.height, 12) << name;
    }
    EXPECT_EQ(testsupport::DecodeConverted(pics + "/q.gif").At(0, 0), 0xFF0000u);
    EXPECT_TRUE(fs::exists(pics + "/foto.jpg"));
}

TEST_F(EndToEnd, TextSwitchStampsWithTheDialogFont)
{
    WriteSolidBmp(pics + "/a.bmp", 120, 60, clBlack);
    const RunResult run = Run("/auto=1 /dir=" + Quote(pics) + " " + Quote("/text=(c) Hestrad") +
                              " /adapt=1 /width=120");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto a = testsupport::DecodeConverted(pics + "/Neu_a.bmp");
    ASSERT_EQ(a.height, 60);
    // Bottom left with the stored defaults: border 5, font height -11, so
    // the text box's top row is 60 - (5 + 11) = 44, its left column 5.
    EXPECT_EQ(a.At(5, 44), 0xFFFFFFu);
    EXPECT_EQ(a.At(5, 43), 0x000000u);
    EXPECT_EQ(a.At(4, 44), 0x000000u);
    bool inked = false;  // some glyph pixels darker than the white box
    for (int x = 5; x < 60; ++x)
        inked = inked || a.At(x, 50) != 0xFFFFFFu;
    EXPECT_TRUE(inked);
}

// Several workers against one: the same files, bytes and lines, whatever
// finishes first. The folder is rebuilt from a pristine copy for each run.
class ManyWorkers : public EndToEnd {
protected:
    std::string pristine = dir.File("pristine");

    void SetUp() override
    {
        EndToEnd::SetUp();
        fs::create_directories(pristine);
    }

    struct Outcome {
        RunResult run;
        std::map<std::string, std::vector<uint8_t>> files;
    };

    Outcome RunWith(int threads, const std::string& arguments)
    {
        fs::remove_all(pics);
        fs::copy(pristine, pics, fs::copy_options::recursive);
        Outcome outcome{Run(arguments + " /threads=" + std::to_string(threads)), {}};
        for (const auto& entry : fs::recursive_directory_iterator(pics))
            if (entry.is_regular_file())
                outcome.files[entry.path().string()] = testsupport::ReadBytes(entry.path().string());
        return outcome;
    }

    // The one-worker outcome, after checking that 3 and 8 workers give it.
    Outcome ExpectSameAsOneWorker(const std::string& arguments)
    {
        Outcome one = RunWith(1, arguments);
        for (int threads : {3, 8}) {
            const Outcome many = RunWith(threads, arguments);
            EXPECT_EQ(many.run.status, one.run.status) << threads;
            EXPECT_EQ(many.run.out, one.run.out) << threads;
            EXPECT_EQ(many.run.err, one.run.err) << threads;
            EXPECT_TRUE(many.files == one.files) << threads << " workers wrote other files";
        }
        return one;
    }

    bool Listed(const Outcome& outcome, const std::string& line) const
    {
        return std::find(outcome.run.out.begin(), outcome.run.out.end(), line) != outcome.run.out.end();
    }
};

TEST_F(ManyWorkers, MixedFolderGivesTheOneWorkerResult)
{
    fs::create_directories(pristine + "/tief");
    for (int i = 0; i < 6; ++i)
        WriteQuadrantBmp(pristine + "/q" + std::to_string(i) + ".bmp", 40 + 97 * i, 30 + 61 * i);
    testsupport::ImageMagick("-size 900x700 gradient:red-blue " + Quote(pristine + "/verlauf.jpg"));
    testsupport::ImageMagick("-size 64x48 plasma:fractal -seed 3 " + Quote(pristine + "/plasma.png"));
    testsupport::ImageMagick("-size 300x200 pattern:checkerboard " + Quote(pristine + "/tief/brett.gif"));
    testsupport::ImageMagick("-size 120x90 xc:\"rgba(255,128,0,0.5)\" " +
                             Quote(pristine + "/tief/orange.png"));
    testsupport::WriteBytes(pristine + "/kaputt.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J'});
    testsupport::WriteBytes(pristine + "/leer.png", {});
    testsupport::WriteBytes(pristine + "/tief/kurz.bmp", {'B', 'M', 0, 0});
    fs::create_directory(pristine + "/Neu_q3.bmp");  // this copy cannot be written

    const Outcome one = ExpectSameAsOneWorker("/auto=1 /dir=" + Quote(pics) +
                                              " /recursiv=1 /copy=1 /adapt=3 /height=77 /rotate=2 " +
                                              Quote("/text=(c) Probe"));
    EXPECT_EQ(one.run.status, 1);
    for (const char* failed : {"/kaputt.jpg", "/leer.png", "/tief/kurz.bmp", "/q3.bmp"})
        EXPECT_TRUE(Listed(one, FailureLine(pics + failed))) << failed;
    // Five quadrants, the gradient, the plasma, the checkerboard, the orange.
    EXPECT_TRUE(Listed(one, "9 Dateien gesamt"));
    EXPECT_EQ(testsupport::DecodeConverted(pics + "/Neu_verlauf.jpg").height, 77);
}

// Without copies and into JPEG: a.bmp and a.gif share a.jpg, and b.bmp's
// target is b.jpg, itself ticked and later in the list. One worker decides
// these in list order; several must decide them the same way.
TEST_F(ManyWorkers, SharedTargetsAreDecidedInListOrder)
{
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        WriteQuadrantBmp(pristine + "/a" + n + ".bmp", 200, 150);
        testsupport::ImageMagick("-size 220x160 xc:teal " + Quote(pristine + "/a" + n + ".gif"));
        WriteQuadrantBmp(pristine + "/b" + n + ".bmp", 180, 120);
        testsupport::ImageMagick("-size 160x100 xc:navy " + Quote(pristine + "/b" + n + ".jpg"));
    }
    const std::string arguments = "/auto=1 /dir=" + Quote(pics) + " /copy=0 /format=5 /adapt=2 /width=50";
    ExpectSameAsOneWorker(arguments);

    const Outcome many = RunWith(3, arguments);
    EXPECT_EQ(many.run.status, 1);
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        // The bmp comes first and takes a.jpg; the gif's save is refused.
        EXPECT_TRUE(Listed(many, FailureLine(pics + "/a" + n + ".gif"))) << n;
        // b.jpg is still waiting for its turn when b.bmp would replace it,
        // and is then converted itself.
        EXPECT_EQ(testsupport::DecodeConverted(pics + "/b" + n + ".jpg").width, 50) << n;
        EXPECT_EQ(testsupport::DecodeConverted(pics + "/a" + n + ".jpg").height, 37) << n;
    }
}

namespace {

// A source of the in-place run: how it is made, and the words of the reason
// it is kept for (none: it is converted in place, as what its name says).
struct InPlaceSource {
    const char* name;
    const char* maker;   // "im:" ImageMagick's arguments before the name, "py:" a Pillow script writing `out`
    const char* reason;
    std::string_view signature;  // the first bytes of a converted file
};

const InPlaceSource kInPlaceSources[] = {
    {"ebenen.psd", "im:-depth 8 -size 20x16 xc:red '(' -size 10x8 xc:blue ')' '(' -size 6x6 xc:green ')'",
     "Das Dokument hat 2 Ebenen", ""},
    {"flach.psd", "im:-size 20x16 gradient:red-blue -depth 8", "", "8BPS"},
    {"tief.psd", "im:-size 20x16 gradient:red-blue -depth 16", "16 Bit je Farbwert", ""},
    {"eins.pcx", "py:Image.linear_gradient('L').resize((21, 13)).convert('1').save(out)", "", "\x0a\x05"},
    {"acht.pcx", "py:Image.linear_gradient('L').resize((21, 13)).convert('P').save(out)", "", "\x0a\x05"},
    {"rgb.pcx", "im:-size 21x13 gradient:red-blue -depth 8", "", "\x0a\x05"},
    {"symbol.ico", "im:-size 32x32 gradient:red-blue -depth 8 -define icon:auto-resize=32,16", "",
     "\0\0\1\0\2\0"sv},
    {"foto.pcd", "im:-size 768x512 gradient:red-blue", "Photo-CD-Dateien werden nicht geschrieben", ""},
    {"tief.tif", "im:-size 30x20 gradient:red-blue -depth 16", "16 Bit je Farbwert", ""},
    {"cmyk.tif", "im:-size 30x20 gradient:red-blue -depth 8 -colorspace CMYK", "im Farbmodell CMYK", ""},
    {"lab.tif", "im:-size 30x20 gradient:red-blue -depth 8 -colorspace Lab", "im Farbmodell Lab", ""},
    {"seiten.tif", "im:-depth 8 -size 30x20 xc:red xc:blue", "Die Datei enthält 2 Bilder", ""},
    {"kaputt.jpg", "im:-seed 3 -size 200x150 plasma:red-blue -quality 90", "Datei ist beschädigt", ""},
    {"kaputt.tif", "py:Image.linear_gradient('L').resize((60, 40)).save(out)", "Datei ist beschädigt", ""},
    {"kaputt.bmp", "im:-size 60x40 gradient:red-blue -depth 8 -type TrueColor", "Datei ist beschädigt", ""},
};

// Files whose end is cut off, as a broken copy or download leaves them.
const std::map<std::string, double> kCutTo = {{"kaputt.jpg", 0.5}, {"kaputt.tif", 0.6}, {"kaputt.bmp", 0.7}};

}  // namespace

TEST_F(EndToEnd, InPlaceRunsReplaceNoFileByLessAndCopiesSayWhatTheirSourceWas)
{
    for (const InPlaceSource& s : kInPlaceSources) {
        const std::string path = pics + "/" + s.name;
        const std::string maker = s.maker;
        if (maker.starts_with("im:"))
            testsupport::ImageMagick(maker.substr(3) + " " + Quote(path));
        else
            testsupport::Pillow("out = " + Quote(path) + "\n" + maker.substr(3));
        if (kCutTo.contains(s.name)) {
            std::vector<uint8_t> bytes = testsupport::ReadBytes(path);
            bytes.resize(size_t(double(bytes.size()) * kCutTo.at(s.name)));
            testsupport::WriteBytes(path, bytes);
        }
    }
    testsupport::Pillow("Image.linear_gradient('L').save(" + Quote(pics + "/kaputt.png") + ")");
    std::vector<uint8_t> png = testsupport::ReadBytes(pics + "/kaputt.png");
    png.resize(png.size() / 2);
    testsupport::WriteBytes(pics + "/kaputt.png", png);
    for (const char* drawing : {"drawing.wmf", "drawing.emf"})
        fs::copy_file(std::string(CORVALIN_SOURCE_DIR) + "/tests/metafile/fixtures/" + drawing,
                      pics + "/" + drawing);
    TBitmapEx four;
    picturetest::Fill(four, 32, 7, picturetest::Noise);  // no padded plane rows, which Pillow misreads
    four.ChangePixelFormat(TPixelFormat::pf4bit);
    SavePcxFile(four, pics + "/vier.pcx", 0, {});
    std::map<std::string, std::vector<uint8_t>> before;
    std::map<std::string, testsupport::RgbPicture> seen;
    for (const auto& entry : fs::directory_iterator(pics)) {
        const std::string name = entry.path().filename();
        before[name] = testsupport::ReadBytes(entry.path());
        if (name.ends_with(".pcx") || name == "flach.psd" || name == "symbol.ico")
            seen[name] = testsupport::DecodeConverted(entry.path());
    }

    // In place, with the format and the depth kept.
    RunResult run = Run("/auto=1 /dir=" + Quote(pics) + " /format=1 /colors=1 /copy=0 /adapt=1 /recursiv=0");
    EXPECT_EQ(run.status, 1);
    for (const InPlaceSource& s : kInPlaceSources) {
        const std::string path = pics + "/" + s.name;
        if (*s.reason != '\0') {
            EXPECT_EQ(testsupport::ReadBytes(path), before[s.name]) << s.name;
            const size_t at = run.err.find(FailureLine(path) + " ");
            ASSERT_NE(at, std::string::npos) << s.name << "\n" << run.err;
            const std::string reason = run.err.substr(at, run.err.find('\n', at) - at);
            EXPECT_NE(reason.find(s.reason), std::string::npos) << reason;
            EXPECT_NE(reason.find("Kopie"), std::string::npos) << "how to get it anyway: " << reason;
        } else {
            const std::vector<uint8_t> bytes = testsupport::ReadBytes(path);
            EXPECT_NE(bytes, before[s.name]) << s.name;
            EXPECT_TRUE(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
                            .starts_with(s.signature)) << s.name;
        }
    }
    for (const char* kept : {"drawing.wmf", "drawing.emf", "kaputt.png"})
        EXPECT_EQ(testsupport::ReadBytes(pics + "/" + kept), before[kept]) << kept;
    EXPECT_NE(run.err.find(FailureLine(pics + "/kaputt.png") + " "), std::string::npos) << run.err;
    // An EMF's target is a WMF beside it; the search finds only the WMF here.
    EXPECT_NE(run.err.find(FailureLine(pics + "/drawing.wmf") + " Die Zeichnung würde durch ein Pixelbild ersetzt"),
              std::string::npos) << run.err;
    for (const auto& [name, pixels] : seen) {
        const testsupport::RgbPicture after = testsupport::DecodeConverted(pics + "/" + name);
        EXPECT_EQ(after.rgb, pixels.rgb) << name;
    }
    EXPECT_EQ(testsupport::ReadBytes(pics + "/vier.pcx")[0], 10);
    const std::vector<uint8_t> icon = testsupport::ReadBytes(pics + "/symbol.ico");
    EXPECT_EQ(icon[4], 2) << "both sizes of the icon are written back";

    // As copies the same files convert, and the lines say what the source was.
    run = Run("/auto=1 /dir=" + Quote(pics) + " /format=1 /colors=1 /copy=1 /adapt=1 /recursiv=0");
    auto lineOf = [&run](const std::string& name) {
        for (const std::string& line : run.out)
            if (line.find("/Neu_" + name + ":") != std::string::npos)
                return line;
        return std::string();
    };
    for (const char* name : {"kaputt.jpg", "kaputt.tif", "kaputt.bmp"})
        EXPECT_TRUE(lineOf(name).ends_with(" ==> " + FormatByteSize(fs::file_size(pics + "/Neu_" + name)) +
                                           " (Quelle beschädigt)")) << lineOf(name);
    EXPECT_TRUE(lineOf("seiten.tif").ends_with(" (Quelle enthält 2 Bilder; das erste wurde übernommen)"))
        << lineOf("seiten.tif");
    const size_t written = size_t(std::count_if(run.out.begin(), run.out.end(), [](const std::string& line) {
        return line.find(" ==> ") != std::string::npos;
    }));
    EXPECT_GE(written, std::size(kInPlaceSources));
    EXPECT_NE(std::find(run.out.begin(), run.out.end(), std::to_string(written) + " Dateien gesamt"), run.out.end());

    // A chosen depth converts deep and CMYK or Lab files in place.
    run = Run("/auto=1 /dir=" + Quote(pics) + " /format=1 /colors=6 /copy=0 /adapt=1 /recursiv=0");
    for (const char* name : {"tief.tif", "cmyk.tif", "lab.tif", "tief.psd"})
        EXPECT_NE(testsupport::ReadBytes(pics + "/" + name), before[name]) << name;
    const auto info = testsupport::RunCommand("/usr/bin/tiffinfo " + Quote(pics + "/cmyk.tif") + " 2>&1");
    EXPECT_NE(info.output.find("RGB color"), std::string::npos) << info.output;
}
