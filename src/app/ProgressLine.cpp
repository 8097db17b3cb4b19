#include "app/ProgressLine.h"

#include <cmath>

namespace corvalin {

namespace {

// A line redrawn more often only flickers.
constexpr std::chrono::milliseconds kRedrawPause{200};

std::string Duration(double seconds)
{
    const long long whole = std::llround(seconds);
    const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
    return text;
}

}  // namespace

std::string TProgressLine::Text(int done, int total, double seconds)
{
    std::string text = std::to_string(done) + " von " + std::to_string(total) + " Dateien";
    if (done <= 0 || seconds <= 0)
        return text;
    const double rate = done / seconds;
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.1f", rate);
    std::string rateText = shown;
    if (const size_t point = rateText.find('.'); point != std::string::npos)
        rateText[point] = ',';
    text += ", " + rateText + " Dateien/s";
    if (done < total)
        text += ", noch " + Duration((total - done) / rate);
    return text;
}

void TProgressLine::Start(int total)
{
    total_ = total;
    done_ = 0;
    start_ = TClock::now();
    Redraw();
}

void TProgressLine::FileDone()
{
    ++done_;
    if (TClock::now() - drawn_ >= kRedrawPause || done_ == total_)
        Redraw();
}

void TProgressLine::Clear()
{
    if (!shown_)
        return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    shown_ = false;
}

void TProgressLine::Redraw()
{
    const double seconds = std::chrono::duration<double>(TClock::now() - start_).count();
    std::fprintf(terminal_, "\r\033[K%s", Text(done_, total_, seconds).c_str());
    std::fflush(terminal_);
    drawn_ = TClock::now();
    shown_ = true;
}

}  // namespace corvalin
