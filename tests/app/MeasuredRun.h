// A headless run of the built program whose peak memory the kernel measures
// (the high-water mark of its resident set, through time(1)).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "common/Const.h"

// A sanitizer's shadow memory is no memory of the program: peaks are only
// compared in a plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(CORVALIN_SANITIZER_RUNTIME)
constexpr bool kPlainBuild = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kPlainBuild = false;
#else
constexpr bool kPlainBuild = true;
#endif
#else
constexpr bool kPlainBuild = true;
#endif

struct MeasuredRun {
    int status = -1;
    std::string out;
    std::string err;
    int64_t peakBytes = 0;
};

// Runs "corvalin /auto=1 /dir=pics /recursiv=0 /copy=1 switches" with the
// settings in configDir, after removing the copies an earlier run made;
// scratchDir takes time's and the program's error output.
inline MeasuredRun RunMeasured(const std::string& pics, const std::string& configDir,
                               const std::string& scratchDir, const std::string& switches)
{
    namespace fs = std::filesystem;
    using testsupport::Quote;
    for (const auto& entry : fs::directory_iterator(pics))
        if (entry.path().filename().string().starts_with(corvalin::kCopyPrefix))
            fs::remove(entry.path());
    const std::string errFile = scratchDir + "/err.txt", peakFile = scratchDir + "/peak.txt";
    const auto result = testsupport::RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 XDG_CONFIG_HOME=" + Quote(configDir) +
        " /usr/bin/time -f %M -o " + Quote(peakFile) + " " + Quote(CORVALIN_BINARY) + " /auto=1 /dir=" +
        Quote(pics) + " /recursiv=0 /copy=1 " + switches + " 2>" + Quote(errFile));
    const auto peakBytes = testsupport::ReadBytes(peakFile), errBytes = testsupport::ReadBytes(errFile);
    // time's last line is the peak in KB (a failed run's status line comes first).
    const std::string peak(peakBytes.begin(), peakBytes.end());
    const size_t lastLine = peak.find_last_of('\n', peak.size() - 2);
    return {result.status, result.output, {errBytes.begin(), errBytes.end()},
            std::stoll(peak.substr(lastLine == std::string::npos ? 0 : lastLine + 1)) * 1024};
}
