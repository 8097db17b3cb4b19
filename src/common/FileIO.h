// Reading a file whole, and replacing a file atomically.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Stream.h"

namespace corvalin {

// Reads the whole file; throws EFOpenError "Datei %s kann nicht geöffnet werden. %s".
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// A stream that writes a temporary file beside the target and, on Commit,
// renames it over the target, keeping the permission bits of a file it
// replaces. Destroyed without Commit, it removes the temporary file, so a
// failed save leaves the earlier file exactly as it was.
class TAtomicFileStream : public TStream {
public:
    // Throws EFCreateError "Datei "%s" kann nicht erstellt werden. %s".
    explicit TAtomicFileStream(const std::string& targetPath);
    ~TAtomicFileStream() override;
    TAtomicFileStream(const TAtomicFileStream&) = delete;
    TAtomicFileStream& operator=(const TAtomicFileStream&) = delete;

    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override;
    int64_t Position() const override;
    void Seek(int64_t position) override;
    int64_t Size() const override;

    // Flushes and renames over the target; throws EWriteError when that fails.
    void Commit();

private:
    std::string target_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    bool committed_ = false;
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
