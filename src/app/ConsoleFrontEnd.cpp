#include "app/ConsoleFrontEnd.h"

#include <algorithm>

#include "app/TerminalText.h"

namespace corvalin {

namespace {

// Message texts separate their lines with carriage returns, some with
// "\r\n"; a terminal needs one line feed for each.
void PrintLines(std::FILE* stream, std::string text)
{
    for (size_t pair = text.find("\r\n"); pair != std::string::npos; pair = text.find("\r\n", pair))
        text.erase(pair, 1);
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::fputs(text.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

}  // namespace

// Names in messages and result lines are shown with their control
// characters escaped; a message's own line breaks stay.
void TConsoleFrontEnd::ShowMessage(const std::string& text)
{
    PrintAround(err_, TerminalText(text, TLineBreaks::Kept));
}

void TConsoleFrontEnd::PrintAround(std::FILE* stream, const std::string& text)
{
    const bool redraw = progressLine_ && progressRunning_;
    if (redraw)
        progressLine_->Clear();
    PrintLines(stream, text);
    if (redraw)
        progressLine_->Redraw();
}

void TConsoleFrontEnd::ShowHelp(const std::string& text)
{
    PrintLines(out_, text);
}

void TConsoleFrontEnd::AddResultLine(const std::string& line, const std::string& reason)
{
    const std::string shown = TerminalText(line, TLineBreaks::Escaped);
    PrintAround(out_, shown);
    if (!reason.empty())
        PrintAround(err_, shown + " " + TerminalText(reason, TLineBreaks::Pairs));
}

void TConsoleFrontEnd::ReportFile(const TFileReport&)
{
    if (progressLine_ && progressRunning_)
        progressLine_->FileDone();
}

void TConsoleFrontEnd::SetProgressMaximum(int maximum)
{
    if (!progressLine_)
        return;
    progressRunning_ = true;
    progressLine_->Start(maximum);
}

void TConsoleFrontEnd::CloseProgress()
{
    progressVisible_ = false;
    if (progressLine_ && progressRunning_)
        progressLine_->Clear();
    progressRunning_ = false;
}

void TConsoleFrontEnd::TickAllSelection()
{
    for (Entry& entry : selection_)
        entry.ticked = true;
}

void TConsoleFrontEnd::TransferOverlay(TCopyrightText& record)
{
    overlayFont_ = record.ChosenFont;
    LoadOverlaySettings(overlayControls_, record);
    StoreOverlaySettings(overlayControls_, &overlayFont_, record);
}

}  // namespace corvalin
