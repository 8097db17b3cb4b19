#include "common/FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Exceptions.h"

namespace corvalin {

namespace {

std::string OpenErrorText(const std::string& path, int error)
{
    return FormatText("Datei %s kann nicht geöffnet werden. %s", {path, SystemErrorText(error)});
}

std::string CreateErrorText(const std::string& path, int error)
{
    return FormatText("Datei \"%s\" kann nicht erstellt werden. %s", {path, SystemErrorText(error)});
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

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw EFOpenError(OpenErrorText(path, errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw EFOpenError(OpenErrorText(path, errno));
    if (S_ISDIR(info.st_mode))
        throw EFOpenError(OpenErrorText(path, EISDIR));

    std::vector<uint8_t> bytes;
    if (info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EReadError(msg::StreamRead);
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

TAtomicFileStream::TAtomicFileStream(const std::string& targetPath)
    : target_(targetPath), buffer_(1 << 20)
{
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw EFCreateError(CreateErrorText(target_, EISDIR));

    std::string pattern = FolderOf(target_) + "/.corvalin-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw EFCreateError(CreateErrorText(target_, errno));
    tempPath_ = pattern;
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(tempPath_.c_str());
        throw EFCreateError(CreateErrorText(target_, error));
    }
    std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
}

TAtomicFileStream::~TAtomicFileStream()
{
    if (file_ != nullptr)
        std::fclose(file_);
    if (!committed_)
        ::unlink(tempPath_.c_str());
}

size_t TAtomicFileStream::Write(const void* buffer, size_t count)
{
    return std::fwrite(buffer, 1, count, file_);
}

int64_t TAtomicFileStream::Position() const
{
    return std::ftell(file_);
}

void TAtomicFileStream::Seek(int64_t position)
{
    std::fseek(file_, static_cast<long>(position), SEEK_SET);
}

int64_t TAtomicFileStream::Size() const
{
    const long here = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    const long size = std::ftell(file_);
    std::fseek(file_, here, SEEK_SET);
    return size;
}

void TAtomicFileStream::Commit()
{
    // New files get the usual permissions (umask applied); a replaced file keeps its own.
    mode_t mode = 0666;
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    const bool flushed = std::fflush(file_) == 0 && ::fchmod(::fileno(file_), mode) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed || ::rename(tempPath_.c_str(), target_.c_str()) != 0)
        throw EWriteError(msg::StreamWrite);
    committed_ = true;
}

}  // namespace corvalin
