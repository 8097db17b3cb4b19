// What one batch run has written and what it has still to convert, so that
// a run never overwrites its own results or a source still waiting for its
// turn (photo.bmp saved as JPEG must not replace the photo.jpg that the same
// run converts next).
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace corvalin {

// Shared by the workers of a run: every operation takes the lock.
class TRunTargets {
public:
    // A new run: every ticked source waits for its conversion. Outside a
    // run (between Finish and Start) nothing is refused or remembered.
    void Start(const std::vector<std::string>& tickedSources);
    void Finish();
    // The source's own conversion begins: it no longer waits.
    void Begin(const std::string& source);
    // Whether this run has written the file already (it is then not
    // converted again).
    bool WasWritten(const std::string& path) const;
    // Throws EFCreateError naming the clash when target was written by this
    // run (the reason names the source it was made from and this source),
    // or (without copies) is another source still waiting.
    void CheckTarget(const std::string& target, const std::string& source, bool saveAsCopy) const;
    // Target was made from source.
    void Written(const std::string& target, const std::string& source);
    // For numbering: target itself, or else the first of target_1.ext,
    // target_2.ext, ... that nothing has as its name on disk and that this
    // run has neither written nor handed out; it is handed out now, so that
    // no other file of the run takes it. Throws EFCreateError when none is free.
    // The run remembers where each name's search ended: the next search for
    // it goes on from there, as every name before was taken.
    std::string ClaimFreeName(const std::string& target);

private:
    mutable std::mutex mutex_;
    std::set<std::string> waiting_;
    std::map<std::string, std::string> written_;  // target's identity: its source
    std::set<std::string> claimed_;
    std::map<std::string, int> nextNumber_;  // target's identity: the number its next search starts at
    bool running_ = false;
};

// One name per file whatever way the path spells it: links and "." or ".."
// in the folder resolved; a link as the last part resolved to the file it
// names when that exists.
std::string FileIdentity(const std::string& path);

}  // namespace corvalin
