// What the shell helpers hand to the launcher, and the system launcher itself.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/Launcher.h"
#include "common/Shell.h"

using namespace corvalin;

namespace {

struct Call {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const Call&) const = default;
};

class Recorder : public TLauncher {
public:
    Recorder() { SetLauncher(this); }
    ~Recorder() override { SetLauncher(nullptr); }
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        calls.push_back({program, arguments});
        return program != failingProgram;
    }
    std::vector<Call> calls;
    std::string failingProgram;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* browser = std::getenv("BROWSER");
        saved_ = browser ? std::optional<std::string>(browser) : std::nullopt;
        unsetenv("BROWSER");
    }
    void TearDown() override
    {
        if (saved_)
            setenv("BROWSER", saved_->c_str(), 1);
        else
            unsetenv("BROWSER");
    }
    Recorder recorder;

private:
    std::optional<std::string> saved_;
};

}  // namespace

TEST_F(ShellTest, FoldersDocumentsAndMailGoToTheDesktopOpener)
{
    EXPECT_GT(ShellOpen("explorer", "/home/anna/Bilder/"), 32);
    EXPECT_GT(ShellOpen("/home/anna/Bilder/a b.jpg", ""), 32);
    EXPECT_GT(SendMailTo("info@hestrad.example"), 32);
    EXPECT_GT(SendMailTo(""), 32);
    const std::vector<Call> expected = {
        {"xdg-open", {"/home/anna/Bilder/"}},
        {"xdg-open", {"/home/anna/Bilder/a b.jpg"}},
        {"xdg-open", {"mailto:info@hestrad.example"}},
        {"xdg-open", {"mailto:"}},
    };
    EXPECT_EQ(recorder.calls, expected);
}

TEST_F(ShellTest, AFailedStartGivesACodeOf32OrLess)
{
    recorder.failingProgram = "xdg-open";
    EXPECT_LE(ShellOpen("explorer", "/tmp"), 32);
    EXPECT_LE(SendMailTo("a@b.example"), 32);
}

TEST_F(ShellTest, BrowserVariableNamesTheProgram)
{
    setenv("BROWSER", "firefox:chromium", 1);
    EXPECT_TRUE(OpenUrlInBrowser("http://www.hestrad.example/?ref=Corvalin"));
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0], (Call{"firefox", {"http://www.hestrad.example/?ref=Corvalin"}}));
}

TEST_F(ShellTest, WithoutBrowserOrWhenItFailsTheDesktopOpensTheAddress)
{
    EXPECT_TRUE(OpenUrlInBrowser("http://x.example/"));
    setenv("BROWSER", "\"/opt/no close", 1);  // no closing quote: empty name, no first start
    EXPECT_TRUE(OpenUrlInBrowser("http://y.example/"));
    setenv("BROWSER", "broken-browser %s", 1);
    recorder.failingProgram = "broken-browser";
    EXPECT_TRUE(OpenUrlInBrowser("http://z.example/"));
    const std::vector<Call> expected = {
        {"xdg-open", {"http://x.example/"}},
        {"xdg-open", {"http://y.example/"}},
        {"broken-browser", {"http://z.example/"}},
        {"xdg-open", {"http://z.example/"}},
    };
    EXPECT_EQ(recorder.calls, expected);

    recorder.failingProgram = "xdg-open";
    unsetenv("BROWSER");
    EXPECT_FALSE(OpenUrlInBrowser("http://w.example/"));
}

TEST(BrowserProgramName, CutsTheCommandToItsProgram)
{
    EXPECT_EQ(BrowserProgramName("\"/opt/My Browser/browser\" --new-window"), "/opt/My Browser/browser");
    EXPECT_EQ(BrowserProgramName("\"/opt/unclosed"), "");
    EXPECT_EQ(BrowserProgramName("firefox"), "firefox");
    EXPECT_EQ(BrowserProgramName("/usr/bin/chromium %s"), "/usr/bin/chromium");
    EXPECT_EQ(BrowserProgramName(" leading blank"), " leading blank");
    EXPECT_EQ(BrowserProgramName(""), "");
    EXPECT_EQ(GetWindowsVersion(), -1);
}

TEST(SystemLauncher, StartsWithoutWaitingAndReportsMissingPrograms)
{
    testsupport::TempDir dir;
    const std::string marker = dir.File("started");
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(CurrentLauncher().StartDetached("/bin/sh", {"-c", "sleep 1; touch '" + marker + "'"}));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(800));
    EXPECT_FALSE(std::filesystem::exists(marker));
    for (int i = 0; i < 50 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(marker));

    EXPECT_FALSE(CurrentLauncher().StartDetached("corvalin-no-such-program", {}));
}
