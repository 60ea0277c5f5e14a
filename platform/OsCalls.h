// The fault-injection seam: every system call the Linux implementation makes goes through
// one table of function pointers. Tests replace it with TFaultInjector to count calls and
// to make the Nth call of a kind fail with a chosen errno or move fewer bytes.
#pragma once

#ifndef _WIN32

#include <array>
#include <cstddef>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

namespace orvane::platform {

struct TOsCallTable {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*ftruncate)(int fd, off_t length);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*unlink)(const char* path);
    int (*statvfs)(const char* path, struct statvfs* info);
    void* (*mmap)(void* address, size_t length, int protection, int flags, int fd, off_t offset);
    int (*mlock)(const void* address, size_t length);
    int (*fstat)(int fd, struct stat* info);
    int (*flock)(int fd, int operation);
};

// The table in force.
const TOsCallTable& OsCalls();

enum class TOsCall {
    Open,
    Read,
    Write,
    Lseek,
    Ftruncate,
    Fsync,
    Close,
    Unlink,
    Statvfs,
    Mmap,
    Mlock,
    Fstat,
    Flock,
};
inline constexpr std::size_t OsCallKinds = 13;

// While one exists, every call is counted and the planned faults strike. Counts start at
// zero when it is made; calls are numbered from 1 per kind. One at a time, on any thread.
class TFaultInjector {
public:
    TFaultInjector();
    ~TFaultInjector();
    TFaultInjector(const TFaultInjector&) = delete;
    TFaultInjector& operator=(const TFaultInjector&) = delete;

    // The nth call of `call` from now fails with `err` (and with `persistent`, every call
    // after it too) without reaching the system.
    void FailNth(TOsCall call, unsigned nth, int err, bool persistent = false);
    // The nth read or write from now moves at most `count` bytes.
    void ShortenNth(TOsCall call, unsigned nth, size_t count);
    // From now on statvfs reports this many bytes available to the caller.
    void FakeFreeSpace(unsigned long long bytes);
    void Clear();

    unsigned Count(TOsCall call) const;
    unsigned TotalCount() const;
};

} // namespace orvane::platform

#endif
