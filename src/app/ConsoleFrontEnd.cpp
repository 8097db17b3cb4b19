#include "app/ConsoleFrontEnd.h"

#include <algorithm>

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

void TConsoleFrontEnd::ShowMessage(const std::string& text)
{
    PrintLines(err_, text);
}

void TConsoleFrontEnd::ShowHelp(const std::string& text)
{
    PrintLines(out_, text);
}

void TConsoleFrontEnd::AddResultLine(const std::string& line, const std::string& reason)
{
    PrintLines(out_, line);
    if (!reason.empty())
        PrintLines(err_, line + " " + reason);
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
