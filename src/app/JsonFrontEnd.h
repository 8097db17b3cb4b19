// The front end of a script's run with --json: one JSON object per file on
// standard output instead of the German result list, and a last object
// with the totals. Messages still go to standard error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/ConsoleFrontEnd.h"

namespace corvalin {

class TJsonFrontEnd : public TConsoleFrontEnd {
public:
    TJsonFrontEnd(std::FILE* out = stdout, std::FILE* err = stderr) : TConsoleFrontEnd(out, err), out_(out) {}

    void AddResultLine(const std::string&, const std::string&) override {}
    void AddFileResultLine(const std::string&, const std::string&, const std::string&) override {}
    // {"source", "target", "status": "converted|skipped|failed|planned",
    //  "reason", "bytes_before", "bytes_after", "width", "height"}, and
    //  "warning" for a converted file that has one.
    void ReportFile(const TFileReport& report) override;
    // {"files", "converted", "skipped", "failed", "bytes_before",
    //  "bytes_after"}, "warnings" when any file had one, and "planned"
    //  after a dry run.
    void WriteTotals(bool dryRun);

private:
    std::FILE* out_;
    int64_t files_ = 0, converted_ = 0, skipped_ = 0, failed_ = 0, planned_ = 0, warnings_ = 0;
    int64_t bytesBefore_ = 0, bytesAfter_ = 0;
};

}  // namespace corvalin
