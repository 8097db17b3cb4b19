// The progress line of a run on a terminal: files done of all, files per
// second and the time still needed, redrawn in place on one line.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace corvalin {

class TProgressLine {
public:
    explicit TProgressLine(std::FILE* terminal) : terminal_(terminal) {}

    void Start(int total);
    // One more file is done; redraws at most a few times a second.
    void FileDone();
    // Takes the line away, so that other output starts on a clean line.
    void Clear();
    // Draws the line again after other output.
    void Redraw();

    // "3 von 10 Dateien, 1,5 Dateien/s, noch 0:05"; without a rate before
    // the first file is done.
    static std::string Text(int done, int total, double seconds);

private:
    using TClock = std::chrono::steady_clock;

    std::FILE* terminal_;
    int total_ = 0;
    int done_ = 0;
    bool shown_ = false;
    TClock::time_point start_{};
    TClock::time_point drawn_{};
};

}  // namespace corvalin
