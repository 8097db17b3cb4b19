// Preloaded into the program by user_runs.py: counts the calls that put a
// saved file in place (write, pwrite, fsync, fdatasync, close, rename,
// linkat) and, at the call numbered CORVALIN_FAULT_AT, makes it fail
// (CORVALIN_FAULT_MODE=fail), kills the process with SIGKILL (kill) or
// sends it SIGTERM (term) instead of making it. Descriptors 0 to 2 do not
// count. CORVALIN_FAULT_COUNT names a file that receives the number of
// counted calls when the process ends. CORVALIN_FAULT_NO_TMPFILE=1 makes
// unnamed temporary files unavailable, as on file systems without them.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long counted;
static long faultAt = -1;
static const char* mode = "fail";

static void Setup(void) __attribute__((constructor));
static void Report(void) __attribute__((destructor));

static void Setup(void)
{
    const char* at = getenv("CORVALIN_FAULT_AT");
    if (at != NULL)
        faultAt = atol(at);
    const char* m = getenv("CORVALIN_FAULT_MODE");
    if (m != NULL)
        mode = m;
}

static void Report(void)
{
    const char* path = getenv("CORVALIN_FAULT_COUNT");
    if (path == NULL)
        return;
    FILE* out = fopen(path, "w");
    if (out != NULL) {
        fprintf(out, "%ld\n", counted);
        fclose(out);
    }
}

// 1 when this call is to fail (errno set), after a kill or term did not end us.
static int Fault(int error)
{
    if (++counted != faultAt)
        return 0;
    if (strcmp(mode, "kill") == 0)
        raise(SIGKILL);
    if (strcmp(mode, "term") == 0) {
        raise(SIGTERM);
        return 0;  // a handler that returns lets the call go on
    }
    errno = error;
    return 1;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* buffer, size_t count)
{
    if (fd > 2 && Fault(ENOSPC))
        return -1;
    return NEXT(write)(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset)
{
    if (fd > 2 && Fault(ENOSPC))
        return -1;
    return NEXT(pwrite)(fd, buffer, count, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset)
{
    if (fd > 2 && Fault(ENOSPC))
        return -1;
    return NEXT(pwrite64)(fd, buffer, count, offset);
}

int fsync(int fd)
{
    if (Fault(EIO))
        return -1;
    return NEXT(fsync)(fd);
}

int fdatasync(int fd)
{
    if (Fault(EIO))
        return -1;
    return NEXT(fdatasync)(fd);
}

int close(int fd)
{
    if (fd > 2 && Fault(EIO)) {
        NEXT(close)(fd);  // the descriptor is gone all the same, as on Linux
        return -1;
    }
    return NEXT(close)(fd);
}

int rename(const char* from, const char* to)
{
    if (Fault(EIO))
        return -1;
    return NEXT(rename)(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags)
{
    if (Fault(ENOSPC))
        return -1;
    return NEXT(linkat)(fromDir, from, toDir, to, flags);
}

static int OpenWith(int (*real)(const char*, int, ...), const char* path, int flags, va_list args)
{
    mode_t perms = 0;
    if (flags & (O_CREAT | __O_TMPFILE))
        perms = va_arg(args, mode_t);
    const char* noTmp = getenv("CORVALIN_FAULT_NO_TMPFILE");
    if ((flags & __O_TMPFILE) == __O_TMPFILE && noTmp != NULL && noTmp[0] == '1') {
        errno = EOPNOTSUPP;
        return -1;
    }
    return real(path, flags, perms);
}

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = OpenWith(NEXT(open), path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = OpenWith(NEXT(open64), path, flags, args);
    va_end(args);
    return fd;
}
