// The long options of a run driven by a script or a shell:
// corvalin [OPTION]... [FILE|FOLDER]...
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/ConversionSettings.h"

namespace corvalin {

// What the long options ask for. A script's run starts from the built-in
// defaults, never from the stored settings, so that its result does not
// depend on how the windows were last used.
struct TScriptOptions {
    TConversionSettings Settings = ScriptDefaults();
    int Threads = 0;                 // 0: one worker per core
    std::string Text;                // the copyright text; empty: none
    std::vector<std::string> Names;  // the files and folders given
    std::string FilesFrom;           // a list of further names; "-": standard input
    std::string Preset;              // a saved preset the other options change
    bool Null = false;               // the list's names end with NUL, not a line break
    bool Json = false;
    bool DryRun = false;
    bool Help = false;
    bool Version = false;

    // No sub-folders, no fitting, no turning, depth and format kept,
    // quality 85, copies named "Neu_" + name beside their sources.
    static TConversionSettings ScriptDefaults();
};

// An option that is unknown, lacks its value or has one it cannot take.
class ERefusedOption : public std::runtime_error {
public:
    ERefusedOption(std::string parameter, const std::string& reason)
        : std::runtime_error(reason), Parameter(std::move(parameter))
    {
    }
    std::string Parameter;  // as given
};

// Whether the arguments use the long options: any argument starting with
// "--" does. The switches' form ("/auto=1") is read otherwise.
bool UsesLongOptions(const std::vector<std::string>& arguments);

// Reads the arguments (without the program name) with getopt_long over the
// settings given (a preset's, or the built-in defaults); every argument that
// is no option is a file or folder. Throws ERefusedOption.
TScriptOptions ParseLongOptions(const std::vector<std::string>& arguments,
                                const TConversionSettings& base = TScriptOptions::ScriptDefaults());

// The help of the long options, one line per option, lines ending with "\n".
std::string LongOptionsHelp();

}  // namespace corvalin
