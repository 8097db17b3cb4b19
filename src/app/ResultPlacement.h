// Where a run's results go and what it will replace, said before it starts:
// the main window's line under its settings and the question before a run
// that replaces anything that exists.
#pragma once

#include <string>
#include <vector>

#include "app/ConversionSettings.h"
#include "app/Session.h"

namespace corvalin {

// "Ergebnisse: Kopien mit „Neu_“ im selben Verzeichnis", "Ergebnisse: … in
// ~/Bilder/Web, Unterverzeichnisse wie im Original" or "Originale werden
// ersetzt": the one line that tells where these settings put the results.
// home is shown as "~" at the start of the output folder; empty: never.
std::string ResultPlacementLine(const TConversionSettings& settings, const std::string& home);

// What a run of these sources would replace that exists now.
struct TReplacementCount {
    int originals = 0;  // sources whose result takes their own name
    int earlier = 0;    // other files there already that results overwrite
    bool operator==(const TReplacementCount&) const = default;
};

// Decided per source as the run decides its target (its own settings, its
// copy name and output folder, its result format, "vorhandene Dateien");
// a source whose result lands under another name (a format change) keeps
// its original and is no replacement.
TReplacementCount CountReplacements(const TSession& session, const TConversionSettings& settings,
                                    const std::vector<std::string>& sources);

// The question's text, one line for each kind with a count, each saying
// what happens to the files it counts; ends with "Fortfahren?".
std::string ReplacementQuestion(const TReplacementCount& count, bool trash);

}  // namespace corvalin
