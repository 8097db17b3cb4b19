#include "common/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "common/Exceptions.h"
#include "common/TempFiles.h"

namespace corvalin {

namespace {

constexpr size_t kWriteBufferBytes = 1 << 20;

std::string OpenErrorText(const std::string& path, const std::string& reason)
{
    return FormatText("Datei %s kann nicht geöffnet werden. %s", {path, reason});
}

std::string CreateErrorText(const std::string& path, const std::string& reason)
{
    return FormatText("Datei \"%s\" kann nicht erstellt werden. %s", {path, reason});
}

[[noreturn]] void ThrowCreateError(const std::string& path, int error)
{
    throw EFCreateError(CreateErrorText(path, SystemErrorText(error)));
}

[[noreturn]] void ThrowWriteError(int error)
{
    throw EWriteError(msg::StreamWrite, SystemErrorText(error));
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The file a target name stands for: a link is followed to the file it
// names, so the link stays and that file is replaced.
std::string ResolveLinks(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved)
        ThrowCreateError(path, errno);  // a dangling link names no file to replace
    return resolved.get();
}

mode_t NewFileMode()
{
    // The umask is read once; changing it briefly is only safe at start.
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return 0666 & ~mask;
}

// Loops over partial writes; false with errno set when the system refuses.
bool WriteAll(int fd, const uint8_t* data, size_t count, int64_t offset)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, data, count, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        count -= size_t(n);
        offset += n;
    }
    return true;
}

// What the innermost TReplaceScope of the thread asks for before a replacement.
thread_local std::function<void(const std::string&)> beforeReplacing;

// Makes the rename itself durable. Best effort: the new file is complete
// and on disk already, so a failure here can at worst bring back the
// complete earlier file after a power cut.
void SyncFolder(const std::string& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        (void)::fsync(fd.get());
}

}  // namespace

namespace {

std::atomic<TWholeFileReadHook> wholeFileReadHook{nullptr};

}  // namespace

void SetWholeFileReadHook(TWholeFileReadHook hook)
{
    wholeFileReadHook = hook;
}

TLargeBytes ReadWholeFile(const std::string& path, int64_t maxBytes)
{
    if (const TWholeFileReadHook hook = wholeFileReadHook)
        hook(path);
    // O_NONBLOCK: opening a FIFO put in the picture's place must not wait
    // for a writer; the type check below refuses it right after.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        throw EFOpenError(OpenErrorText(path, SystemErrorText(errno)));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw EFOpenError(OpenErrorText(path, SystemErrorText(errno)));
    if (S_ISDIR(info.st_mode))
        throw EFOpenError(OpenErrorText(path, SystemErrorText(EISDIR)));
    if (!S_ISREG(info.st_mode))
        throw EFOpenError(OpenErrorText(path, "Keine gewöhnliche Datei."));
    const std::string tooLarge =
        OpenErrorText(path, "Die Datei ist größer als " + std::to_string(maxBytes) + " Bytes.");
    if (info.st_size > maxBytes)
        throw EFOpenError(tooLarge);

    // The file may still grow while it is read: one byte beyond the limit
    // is enough to refuse it.
    TLargeBytes bytes(size_t(info.st_size) + 1);
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (int64_t(filled) > maxBytes)
                throw EFOpenError(tooLarge);
            bytes.resize(std::min<size_t>(filled * 2 + 4096, size_t(maxBytes) + 1));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EReadError(msg::StreamRead, SystemErrorText(errno));
        if (n == 0)
            break;
        filled += size_t(n);
    }
    bytes.resize(filled);
    return bytes;
}

TReplaceScope::TReplaceScope(std::function<void(const std::string&)> call)
    : previous_(std::exchange(beforeReplacing, std::move(call)))
{
}

TReplaceScope::~TReplaceScope()
{
    beforeReplacing = std::move(previous_);
}

TAtomicFileStream::TAtomicFileStream(const std::string& targetPath)
    : target_(ResolveLinks(targetPath)), folder_(FolderOf(target_)), buffer_(kWriteBufferBytes)
{
    if (::stat(target_.c_str(), &replaced_) == 0) {
        if (S_ISDIR(replaced_.st_mode))
            ThrowCreateError(targetPath, EISDIR);
        if (!S_ISREG(replaced_.st_mode))
            throw EFCreateError(CreateErrorText(targetPath, "Keine gewöhnliche Datei."));
        // Renaming over a file needs only a writable folder; the file's own
        // write permission is what the user's intent is measured by.
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
            ThrowCreateError(targetPath, errno);
        // A new file in place of one with several names would split them.
        if (replaced_.st_nlink > 1)
            throw EFCreateError(CreateErrorText(
                targetPath, "Die Datei hat " + std::to_string(replaced_.st_nlink) +
                                " feste Verknüpfungen (Hardlinks) und wird nicht ersetzt."));
        replaces_ = true;
    } else if (errno != ENOENT) {
        ThrowCreateError(targetPath, errno);
    }

    RemoveLeftoverTemporaries(folder_);
    fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    unnamed_ = fd_ >= 0;
    if (!unnamed_) {
        // File systems without unnamed files: a named one, removed on failure
        // and, through the watch, on SIGTERM and SIGINT.
        tempName_ = NewTemporaryName(folder_);
        watch_.emplace(tempName_);
        fd_ = ::open(tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            tempName_.clear();
            ThrowCreateError(targetPath, errno);
        }
    }
}

TAtomicFileStream::~TAtomicFileStream()
{
    if (!committed_)
        Abandon();
}

void TAtomicFileStream::Abandon() noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
    tempName_.clear();
}

size_t TAtomicFileStream::Write(const void* buffer, size_t count)
{
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    size_t left = count;
    while (left > 0) {
        if (buffered_ == buffer_.size())
            FlushBuffer();
        const size_t n = std::min(left, buffer_.size() - buffered_);
        std::copy(bytes, bytes + n, buffer_.data() + buffered_);
        buffered_ += n;
        bytes += n;
        left -= n;
    }
    return count;
}

void TAtomicFileStream::FlushBuffer()
{
    if (buffered_ == 0)
        return;
    if (!WriteAll(fd_, buffer_.data(), buffered_, bufferStart_))
        ThrowWriteError(errno);
    bufferStart_ += int64_t(buffered_);
    size_ = std::max(size_, bufferStart_);
    buffered_ = 0;
}

void TAtomicFileStream::Seek(int64_t position)
{
    FlushBuffer();
    bufferStart_ = position;
}

void TAtomicFileStream::KeepOwnerAndMode()
{
    if (!replaces_) {
        if (::fchmod(fd_, NewFileMode()) != 0)
            ThrowWriteError(errno);
        return;
    }
    // Owner and group where the system allows it (another user's file
    // becomes the writer's own otherwise); the mode after them, because a
    // change of owner clears the set-id bits.
    if (::fchown(fd_, replaced_.st_uid, replaced_.st_gid) != 0)
        (void)::fchown(fd_, uid_t(-1), replaced_.st_gid);
    if (::fchmod(fd_, replaced_.st_mode & 07777) != 0)
        ThrowWriteError(errno);
}

void TAtomicFileStream::LinkAs(const std::string& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return;
    const int error = errno;
    // Without /proc, the descriptor itself (needs a recent kernel or privilege).
    if (error == ENOENT && ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
        return;
    ThrowWriteError(error);
}

void TAtomicFileStream::Commit()
{
    FlushBuffer();
    KeepOwnerAndMode();
    // A rename may reach the disk before the data it puts in place: without
    // this flush a power cut could leave an empty file where the original
    // was. A new file puts nothing at risk.
    if (replaces_ && ::fsync(fd_) != 0)
        ThrowWriteError(errno);

    if (unnamed_) {
        if (!replaces_) {
            LinkAs(target_);
            if (::close(std::exchange(fd_, -1)) != 0) {
                const int error = errno;
                ::unlink(target_.c_str());
                ThrowWriteError(error);
            }
            committed_ = true;
            return;
        }
        // rename is the only atomic replacement, and it needs a name.
        const std::string name = NewTemporaryName(folder_);
        watch_.emplace(name);
        LinkAs(name);
        tempName_ = name;
    }
    if (replaces_ && beforeReplacing)
        beforeReplacing(target_);
    if (::close(std::exchange(fd_, -1)) != 0 || ::rename(tempName_.c_str(), target_.c_str()) != 0)
        ThrowWriteError(errno);
    tempName_.clear();
    watch_.reset();
    committed_ = true;
    if (replaces_)
        SyncFolder(folder_);
}

}  // namespace corvalin
