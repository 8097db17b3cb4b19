#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "formats/BitmapEx.h"
#include "picture/Bitmap.h"

#include <gtest/gtest.h>

// fontconfig keeps the configuration it parses on first use for the life of
// the process, which LeakSanitizer reports at exit. That memory belongs to
// the library; every other leak is still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace testsupport {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "corvalin-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

ChildRun RunInChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    ChildRun run;
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKb = usage.ru_maxrss;
    }
    return run;
}

namespace {

// Every command but those that only touch files or start the program itself
// runs a tool the program is compared with.
bool StartsReferenceTool(const std::string& command)
{
    return command.find(CORVALIN_BINARY) == std::string::npos && command.rfind("touch ", 0) != 0;
}

CommandResult RunShell(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace

CommandResult RunCommand(const std::string& command)
{
    // The sanitizer passes leave out the tests labelled `reference`
    // (tests/CMakeLists.txt); one that starts a reference tool belongs there.
    if (std::getenv("CORVALIN_NO_REFERENCE_TOOLS") != nullptr && StartsReferenceTool(command))
        ADD_FAILURE() << "starts a reference tool but is not labelled reference: " << command.substr(0, 60);
    return RunShell(command);
}

namespace {

uint64_t Fnv1a(const std::string& text, uint64_t hash = 14695981039346656037ull)
{
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// The absolute paths a command names, quoted.
std::vector<std::string> PathsOf(const std::string& command)
{
    std::vector<std::string> paths;
    for (size_t at = 0; at < command.size(); ++at) {
        if (command[at] == '\\') {
            ++at;  // an escaped character, such as the quote in '\''
            continue;
        }
        if (command[at] != '\'')
            continue;
        const size_t close = command.find('\'', at + 1);
        if (close == std::string::npos)
            break;
        // A path may follow the name of a format, as in 'BMP3:/tmp/a.bmp'.
        const std::string quoted = command.substr(at + 1, close - at - 1);
        const size_t slash = quoted.find('/');
        if (slash != std::string::npos && (slash == 0 || quoted[slash - 1] == ':'))
            paths.push_back(quoted.substr(slash));
        at = close;
    }
    return paths;
}

// Where the programs a command starts are installed, their size and time
// (and Pillow's, for Python): a new version of a tool makes new files.
std::string ProgramVersions(const std::string& command)
{
    std::string versions;
    std::error_code ignored;
    if (command.find("python3") != std::string::npos)
        versions += std::to_string(
            std::filesystem::last_write_time("/usr/lib/python3/dist-packages/PIL/__init__.py", ignored)
                .time_since_epoch()
                .count());
    std::istringstream words(command);
    const std::string searched = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin";
    for (std::string word; words >> word;) {
        if (word.find_first_of("'=\"$") != std::string::npos)
            continue;
        std::istringstream folders(searched);
        for (std::string folder; std::getline(folders, folder, ':');) {
            std::error_code error;
            const std::filesystem::path program = word[0] == '/' ? word : folder + "/" + word;
            if (!std::filesystem::is_regular_file(program, error) || ::access(program.c_str(), X_OK) != 0)
                continue;
            const auto written = std::filesystem::last_write_time(program, error).time_since_epoch().count();
            versions += program.string() + " " + std::to_string(std::filesystem::file_size(program, error)) + " " +
                        std::to_string(written) + "\n";
            break;
        }
    }
    return versions;
}

// The TempDir a path lies in.
std::string TempDirOf(const std::string& path)
{
    const size_t rootLength = (std::filesystem::temp_directory_path() / "corvalin-test-").string().size();
    return path.substr(0, path.find('/', rootLength));
}

// The files below a folder, by their path there, with their size and time.
using TFolderState = std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>>;

TFolderState StateOf(const std::string& folder)
{
    namespace fs = std::filesystem;
    TFolderState state;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error))
            state[fs::relative(it->path(), folder, error).string()] = {it->file_size(error),
                                                                     it->last_write_time(error)};
    return state;
}

}  // namespace

void RunToolOnce(const std::string& command)
{
    namespace fs = std::filesystem;
    std::vector<std::string> folders;
    std::string key = command;
    const std::string root = (fs::temp_directory_path() / "corvalin-test-").string();
    for (const std::string& path : PathsOf(command)) {
        const std::string folder = TempDirOf(path);
        if (path.rfind(root, 0) == 0 && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
        std::error_code error;
        if (fs::is_regular_file(path, error)) {
            const std::vector<uint8_t> bytes = ReadBytes(path);
            key += "\n" + path + " " + std::to_string(Fnv1a(std::string(bytes.begin(), bytes.end())));
        }
    }
    // A tool that writes where the command does not name a TempDir in quotes
    // runs every time.
    for (size_t at = command.find(root); at != std::string::npos; at = command.find(root, at + 1))
        if (std::find(folders.begin(), folders.end(), TempDirOf(command.substr(at))) == folders.end())
            folders.clear();
    if (folders.empty()) {
        const CommandResult result = RunShell(command + " >/dev/null 2>&1");
        ASSERT_EQ(result.status, 0) << command.substr(0, 200);
        return;
    }
    // The names of the TempDirs differ from run to run, the key must not.
    for (size_t i = 0; i < folders.size(); ++i)
        for (size_t at; (at = key.find(folders[i])) != std::string::npos;)
            key.replace(at, folders[i].size(), "TEMP" + std::to_string(i));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(key + ProgramVersions(command))));
    const fs::path entry = fs::path(CORVALIN_REFERENCE_FILES) / hex;
    std::error_code error;
    if (fs::is_directory(entry, error)) {
        for (size_t i = 0; i < folders.size(); ++i)
            fs::copy(entry / std::to_string(i), folders[i],
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
        return;
    }
    std::vector<TFolderState> before;
    for (const std::string& folder : folders)
        before.push_back(StateOf(folder));
    // Made once per build, the files serve the sanitizer passes' tests too.
    const CommandResult result = RunShell(command + " >/dev/null 2>&1");
    ASSERT_EQ(result.status, 0) << command.substr(0, 200);
    // What the tool made or changed, kept under the key; a second test that
    // makes the same files at once keeps the first one's.
    const fs::path made = entry.string() + ".part" + std::to_string(::getpid());
    for (size_t i = 0; i < folders.size(); ++i)
        for (const auto& [name, state] : StateOf(folders[i])) {
            const auto was = before[i].find(name);
            if (was != before[i].end() && was->second == state)
                continue;
            fs::create_directories((made / std::to_string(i) / name).parent_path(), error);
            fs::copy_file(fs::path(folders[i]) / name, made / std::to_string(i) / name,
                          fs::copy_options::overwrite_existing, error);
        }
    fs::create_directories(made, error);
    fs::rename(made, entry, error);
    if (error)
        fs::remove_all(made, error);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t RgbPicture::At(int x, int y) const
{
    const size_t i = (size_t(y) * width + x) * 3;
    return uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
}

namespace {

// Parses "P6 w h 255" binary PPM output.
RgbPicture ParsePpm(const std::string& data)
{
    RgbPicture picture;
    std::istringstream in(data);
    std::string magic;
    int maxValue = 0;
    in >> magic >> picture.width >> picture.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255)
        return RgbPicture{};
    picture.rgb.resize(size_t(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()), std::streamsize(picture.rgb.size()));
    return picture;
}

// Parses PAM output whose tuples are RGB_ALPHA at 8 bits.
RgbaPicture ParsePam(const std::string& data)
{
    RgbaPicture picture;
    std::istringstream in(data);
    std::string word;
    int depth = 0, maxValue = 0;
    while (in >> word && word != "ENDHDR") {
        if (word == "WIDTH")
            in >> picture.width;
        else if (word == "HEIGHT")
            in >> picture.height;
        else if (word == "DEPTH")
            in >> depth;
        else if (word == "MAXVAL")
            in >> maxValue;
    }
    in.get();
    if (depth != 4 || maxValue != 255)
        return RgbaPicture{};
    picture.rgba.resize(size_t(picture.width) * picture.height * 4);
    in.read(reinterpret_cast<char*>(picture.rgba.data()), std::streamsize(picture.rgba.size()));
    return picture;
}

}  // namespace

RgbaPicture DecodeRgbaWithPillow(const std::string& path)
{
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\nim = im.convert('RGBA')\n"
        "sys.stdout.buffer.write(b'P7 WIDTH %d HEIGHT %d DEPTH 4 MAXVAL 255 ENDHDR\\n' % im.size + im.tobytes())\n";
    const CommandResult result = RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path));
    EXPECT_EQ(result.status, 0) << "Pillow could not decode " << path;
    return ParsePam(result.output);
}

RgbaPicture DecodeRgbaWithImageMagick(const std::string& path)
{
    const CommandResult result = RunCommand("/usr/bin/convert " + Quote(path + "[0]") +
                                            " -alpha on -colorspace sRGB -type TrueColorAlpha -depth 8 pam:-");
    EXPECT_EQ(result.status, 0) << "ImageMagick could not decode " << path;
    return ParsePam(result.output);
}

RgbPicture DecodeWithPillow(const std::string& path)
{
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\nim = im.convert('RGB')\n"
        "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\n";
    const CommandResult result = RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(path));
    EXPECT_EQ(result.status, 0) << "Pillow could not decode " << path;
    return ParsePpm(result.output);
}

RgbPicture DecodeWithImageMagick(const std::string& path)
{
    const CommandResult result = RunCommand("/usr/bin/convert " + Quote(path + "[0]") + " -depth 8 ppm:-");
    EXPECT_EQ(result.status, 0) << "ImageMagick could not decode " << path;
    return ParsePpm(result.output);
}

RgbPicture DecodeConverted(const std::string& path)
{
    if (std::getenv("CORVALIN_NO_REFERENCE_TOOLS") == nullptr)
        return DecodeWithPillow(path);
    corvalin::TBitmapEx picture;
    try {
        picture.LoadFromFileEx(path);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "cannot read " << path << ": " << e.what();
        return {};
    }
    return picture.Empty() ? RgbPicture{} : RgbOf(*picture.Raster());
}

void ImageMagick(const std::string& arguments)
{
    RunToolOnce("/usr/bin/convert " + arguments);
}

void Pillow(const std::string& script)
{
    RunToolOnce("/usr/bin/python3 -c " + Quote("from PIL import Image\n" + script));
}

bool HaveTool(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

int DifferingPixels(const corvalin::TBitmap& picture, const RgbPicture& reference, int tolerance)
{
    using namespace corvalin;
    EXPECT_EQ(picture.Width(), reference.width);
    EXPECT_EQ(picture.Height(), reference.height);
    if (picture.Width() != reference.width || picture.Height() != reference.height || picture.Empty())
        return -1;
    int differing = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            const TColor c = ReadRasterPixel(*picture.Raster(), x, y);
            const uint32_t r = reference.At(x, y);
            const int dr = std::abs(int(RedOf(c)) - int(r >> 16 & 0xFF));
            const int dg = std::abs(int(GreenOf(c)) - int(r >> 8 & 0xFF));
            const int db = std::abs(int(BlueOf(c)) - int(r & 0xFF));
            if (std::max({dr, dg, db}) > tolerance)
                ++differing;
        }
    return differing;
}

namespace {

// Pictures of the same size, as samples of `channels` each, the last of
// which is left out unless `all`.
struct Samples {
    const std::vector<uint8_t>& a;
    const std::vector<uint8_t>& b;
    size_t channels;
    bool all;
    bool Comparable() const { return a.size() == b.size() && !a.empty(); }
    bool Counts(size_t i) const { return all || i % channels != channels - 1; }
};

int MaxDifference(const Samples& s)
{
    if (!s.Comparable())
        return 256;
    int largest = 0;
    for (size_t i = 0; i < s.a.size(); ++i)
        if (s.Counts(i))
            largest = std::max(largest, std::abs(int(s.a[i]) - int(s.b[i])));
    return largest;
}

double Psnr(const Samples& s)
{
    if (!s.Comparable())
        return 0;
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < s.a.size(); ++i)
        if (s.Counts(i)) {
            const double d = double(s.a[i]) - double(s.b[i]);
            sum += d * d;
            ++count;
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

}  // namespace

int MaxDifference(const RgbPicture& a, const RgbPicture& b)
{
    return a.width != b.width ? 256 : MaxDifference(Samples{a.rgb, b.rgb, 3, true});
}

int MaxDifference(const RgbaPicture& a, const RgbaPicture& b, bool withAlpha)
{
    return a.width != b.width ? 256 : MaxDifference(Samples{a.rgba, b.rgba, 4, withAlpha});
}

double Psnr(const RgbPicture& a, const RgbPicture& b)
{
    return a.width != b.width ? 0 : Psnr(Samples{a.rgb, b.rgb, 3, true});
}

double Psnr(const RgbaPicture& a, const RgbaPicture& b)
{
    return a.width != b.width ? 0 : Psnr(Samples{a.rgba, b.rgba, 4, false});
}

RgbPicture RgbOf(const corvalin::TRaster& raster)
{
    using namespace corvalin;
    RgbPicture picture{raster.width, raster.height, {}};
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x) {
            const TColor c = ReadRasterPixel(raster, x, y);
            picture.rgb.insert(picture.rgb.end(), {uint8_t(RedOf(c)), uint8_t(GreenOf(c)), uint8_t(BlueOf(c))});
        }
    return picture;
}

}  // namespace testsupport
