// Reading a file whole, and replacing a file atomically.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/LargeBlocks.h"
#include "common/Limits.h"
#include "common/Stream.h"
#include "common/TempFiles.h"

namespace corvalin {

// Reads the whole regular file. The file is opened without blocking (a pipe
// put in its place cannot hang the run), and anything that is no regular
// file, or holds more than maxBytes, is refused before a byte is read.
// Throws EFOpenError "Datei %s kann nicht geöffnet werden. %s".
TLargeBytes ReadWholeFile(const std::string& path, int64_t maxBytes = kMaxRasterBytes);
// Tests count the reads of a file with this: `hook` hears every path
// ReadWholeFile is asked for (null: none; not for use while files are read).
using TWholeFileReadHook = void (*)(const std::string& path);
void SetWholeFileReadHook(TWholeFileReadHook hook);

// A stream that writes an unnamed temporary file in the target's folder and,
// on Commit, gives it the target's name: a new file is linked straight to
// its name; a file it replaces is first flushed to disk, then renamed over,
// keeping that file's owner, group and mode. A link as target is followed
// and the file it names is replaced. Destroyed without Commit, it leaves
// the earlier file exactly as it was and no temporary file behind.
class TAtomicFileStream : public TStream {
public:
    // Refuses a target that is a folder or no regular file, that the user
    // may not write, or that has several hard links; throws EFCreateError
    // "Datei "%s" kann nicht erstellt werden. %s".
    explicit TAtomicFileStream(const std::string& targetPath);
    ~TAtomicFileStream() override;
    TAtomicFileStream(const TAtomicFileStream&) = delete;
    TAtomicFileStream& operator=(const TAtomicFileStream&) = delete;

    size_t Read(void*, size_t) override { return 0; }
    // Throws EWriteError "Stream-Schreibfehler", with the system's text as
    // its detail, when the system refuses the data.
    size_t Write(const void* buffer, size_t count) override;
    int64_t Position() const override { return bufferStart_ + int64_t(buffered_); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return std::max(size_, Position()); }

    // Puts the file in place; throws EWriteError with the system's text as
    // detail when any step fails, leaving the earlier file as it was.
    void Commit();

private:
    void FlushBuffer();
    void KeepOwnerAndMode();
    void LinkAs(const std::string& name);
    void Abandon() noexcept;

    std::string target_;      // links resolved
    std::string folder_;
    bool replaces_ = false;   // an existing file is replaced
    struct stat replaced_ {};
    int fd_ = -1;
    bool unnamed_ = false;    // O_TMPFILE: no name until LinkAs
    std::string tempName_;    // a named temporary file that exists now
    std::optional<TTemporaryWatch> watch_;  // removes it on SIGTERM and SIGINT
    std::vector<uint8_t> buffer_;
    size_t buffered_ = 0;
    int64_t bufferStart_ = 0;
    int64_t size_ = 0;
    bool committed_ = false;
};

// While it lives, a TAtomicFileStream committed on this thread calls
// beforeReplacing with the path of the file it is about to replace (links
// resolved), once the new file is complete on disk and right before the
// rename. The call may move that file elsewhere (to the desktop's trash);
// what it throws leaves the new file removed, reaches Commit's caller, and
// leaves in place whatever the call did not move. Scopes nest; the innermost
// counts.
class TReplaceScope {
public:
    explicit TReplaceScope(std::function<void(const std::string&)> beforeReplacing);
    ~TReplaceScope();
    TReplaceScope(const TReplaceScope&) = delete;
    TReplaceScope& operator=(const TReplaceScope&) = delete;

private:
    std::function<void(const std::string&)> previous_;
};

// Creates the file through a TAtomicFileStream, lets write(TStream&) fill it
// and replaces the target only when write returns.
template <typename Write>
void WriteFileAtomically(const std::string& path, Write&& write)
{
    TAtomicFileStream file(path);
    write(file);
    file.Commit();
}

}  // namespace corvalin
