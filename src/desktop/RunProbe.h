// A measuring aid for developers, off unless CORVALIN_RUN_PROBE is set in
// the environment: during a batch run it records how long the front-end
// thread went without delivering window messages, and how quickly closing
// the progress window stopped the run. At the end of the run it writes one
// line of figures to standard error.
#pragma once

#include <chrono>
#include <cstdint>

#include <QObject>

namespace corvalin {

class TRunProbe : public QObject {
public:
    TRunProbe();

    // A run begins; progressWindow is the window whose closing cancels it.
    void RunStarted(QObject* progressWindow);
    void MessagesDelivered();
    void FileStarted();
    // The run loop has asked whether the progress window is still open.
    void VisibilityAsked(bool visible);
    void RunEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Clock = std::chrono::steady_clock;

    // What one run measured.
    struct TFigures {
        bool running = false;
        Clock::time_point lastDelivery;
        Clock::duration longestGap{};
        int64_t deliveries = 0;
        int64_t filesStarted = 0;
        int64_t startedAfterClose = 0;
        // When the progress window hid, on both clocks: the wall clock lets
        // a script compare it with the moment it clicked.
        bool closed = false;
        Clock::time_point hidden;
        std::chrono::system_clock::time_point hiddenWall;
        bool noticedClose = false;
        Clock::duration noticed{};
    };

    void Report() const;

    bool enabled_ = false;
    TFigures run_;
};

}  // namespace corvalin
