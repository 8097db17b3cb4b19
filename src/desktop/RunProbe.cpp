#include "desktop/RunProbe.h"

#include <cstdio>
#include <cstdlib>

#include <QEvent>

namespace corvalin {
namespace {

double Milliseconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double, std::milli>(span).count();
}

}  // namespace

TRunProbe::TRunProbe()
{
    const char* setting = std::getenv("CORVALIN_RUN_PROBE");
    enabled_ = setting != nullptr && setting[0] != '\0';
}

void TRunProbe::RunStarted(QObject* progressWindow)
{
    if (!enabled_)
        return;
    run_ = {};
    run_.running = true;
    run_.lastDelivery = Clock::now();
    if (progressWindow != nullptr) {
        progressWindow->removeEventFilter(this);
        progressWindow->installEventFilter(this);
    }
}

void TRunProbe::MessagesDelivered()
{
    if (!run_.running)
        return;
    const Clock::time_point now = Clock::now();
    if (now - run_.lastDelivery > run_.longestGap)
        run_.longestGap = now - run_.lastDelivery;
    run_.lastDelivery = now;
    ++run_.deliveries;
}

void TRunProbe::FileStarted()
{
    if (!run_.running)
        return;
    ++run_.filesStarted;
    if (run_.closed)
        ++run_.startedAfterClose;
}

void TRunProbe::VisibilityAsked(bool visible)
{
    if (!run_.running || visible || !run_.closed || run_.noticedClose)
        return;
    run_.noticedClose = true;
    run_.noticed = Clock::now() - run_.hidden;
}

bool TRunProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (run_.running && !run_.closed && event->type() == QEvent::Hide) {
        run_.closed = true;
        run_.hidden = Clock::now();
        run_.hiddenWall = std::chrono::system_clock::now();
    }
    return QObject::eventFilter(watched, event);
}

void TRunProbe::RunEnded()
{
    if (!run_.running)
        return;
    MessagesDelivered();
    Report();
    run_.running = false;
}

void TRunProbe::Report() const
{
    std::fprintf(stderr, "run probe: files started %lld, message deliveries %lld, longest gap %.1f ms",
                 static_cast<long long>(run_.filesStarted), static_cast<long long>(run_.deliveries),
                 Milliseconds(run_.longestGap));
    if (run_.closed) {
        const double wall = std::chrono::duration<double>(run_.hiddenWall.time_since_epoch()).count();
        std::fprintf(stderr,
                     ", progress window closed at %.6f, run loop noticed %s%.1f ms later,"
                     " files started after closing %lld, run ended %.1f ms after closing",
                     wall, run_.noticedClose ? "" : "(never) ", Milliseconds(run_.noticed),
                     static_cast<long long>(run_.startedAfterClose),
                     Milliseconds(Clock::now() - run_.hidden));
    }
    std::fprintf(stderr, "\n");
}

}  // namespace corvalin
