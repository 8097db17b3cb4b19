// The state the main window owns besides its controls: the Preview and
// AutoConvert flags, the overlay record, and what the last run counted.
// Every operation of the engine takes the session; the session reaches the
// windows only through its front end.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "app/FrontEnd.h"
#include "app/RunTargets.h"
#include "overlay/CopyrightText.h"

namespace corvalin {

// The largest memory budget "maxmem" and "/maxmem" take, in MB (1 TB).
inline constexpr int kMaxMemoryMegabytes = 1 << 20;

struct TRunTotals {
    int32_t converted = 0;   // files without error (skipped ones included)
    int32_t failed = 0;      // failure lines written
    int32_t warnings = 0;    // converted files with a warning (a damaged source), counted in converted too
    int64_t bytesBefore = 0;
    int64_t bytesAfter = 0;
    bool cancelled = false;  // the progress window was closed before the last entry
};

class TSession {
public:
    explicit TSession(TFrontEnd& frontEnd) : frontEnd_(frontEnd) {}
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    TFrontEnd& FrontEnd() { return frontEnd_; }

    // Shown as the preview menu's check mark and the progress window's
    // preview box; the progress window's box writes it back here.
    bool Preview = true;
    // Set by "/auto"; never stored.
    bool AutoConvert = false;
    // The window asks before a run replaces originals, until the user ticks
    // "Nicht mehr fragen" (stored as "askreplace"). Headless runs never ask.
    bool AskBeforeReplacing = true;
    // The overlay record (text, border and alignment come from the store;
    // the font from the overlay dialog before each run).
    TCopyrightText Overlay{"Beispieltext", 5, kAlignBottomLeft, nullptr};
    // Totals of the most recent RunConversion.
    TRunTotals LastRun;
    // The most recent search met a folder that does not exist.
    bool FolderMissing = false;
    // What the current run has written and what it has still to convert.
    TRunTargets Targets;
    // Files converted at once: "/threads=N"; 0 is one per available core.
    // Never stored.
    int Threads = 0;
    // Memory the files converted at once share, in MB: the setting "maxmem"
    // or "/maxmem=N"; 0 is half the physical memory or the cgroup's limit.
    int MaxMemoryMegabytes = 0;
    // A command-line parameter was refused: no automatic run starts.
    bool ParameterRefused = false;
    // The most recent run was refused before it started, nothing converted:
    // its settings contradict themselves (a copy onto its own source, a
    // name text that is none), the stamp has a value it cannot use or a logo
    // that cannot be read, or its output folder cannot take the results.
    bool RunRefused = false;
    bool OutputFolderUnusable = false;
    // A script's run names its sources: each one's folder that an output
    // folder recreates the tree below (empty: the source's name alone),
    // instead of the searched folder. A named source that is no file fails.
    std::map<std::string, std::string> NamedSources;

private:
    TFrontEnd& frontEnd_;
};

}  // namespace corvalin
