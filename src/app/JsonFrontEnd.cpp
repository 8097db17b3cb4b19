#include "app/JsonFrontEnd.h"

#include <nlohmann/json.hpp>

namespace corvalin {

namespace {

const char* StatusWord(TFileReport::TStatus status)
{
    switch (status) {
    case TFileReport::Converted: return "converted";
    case TFileReport::Skipped: return "skipped";
    case TFileReport::Planned: return "planned";
    case TFileReport::Failed: break;
    }
    return "failed";
}

// One line each. A name that is no valid UTF-8 keeps its readable parts;
// JSON cannot carry the raw bytes.
void WriteLine(std::FILE* out, const nlohmann::json& object)
{
    const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace

void TJsonFrontEnd::ReportFile(const TFileReport& report)
{
    TConsoleFrontEnd::ReportFile(report);
    ++files_;
    converted_ += report.Status == TFileReport::Converted;
    skipped_ += report.Status == TFileReport::Skipped;
    failed_ += report.Status == TFileReport::Failed;
    planned_ += report.Status == TFileReport::Planned;
    bytesBefore_ += report.BytesBefore;
    bytesAfter_ += report.BytesAfter;
    warnings_ += !report.Warning.empty();
    nlohmann::json line = {{"source", report.Source},
                           {"target", report.Target},
                           {"status", StatusWord(report.Status)},
                           {"reason", report.Reason},
                           {"bytes_before", report.BytesBefore},
                           {"bytes_after", report.BytesAfter},
                           {"width", report.Width},
                           {"height", report.Height}};
    // Only where there is one: the lines of every other file stay as they were.
    if (!report.Warning.empty())
        line["warning"] = report.Warning;
    WriteLine(out_, line);
}

void TJsonFrontEnd::WriteTotals(bool dryRun)
{
    nlohmann::json totals = {{"files", files_},   {"converted", converted_},      {"skipped", skipped_},
                             {"failed", failed_}, {"bytes_before", bytesBefore_}, {"bytes_after", bytesAfter_}};
    if (warnings_ > 0)
        totals["warnings"] = warnings_;
    if (dryRun)
        totals["planned"] = planned_;
    WriteLine(out_, totals);
}

}  // namespace corvalin
