// The fault-injection seam: every system call the Linux implementation makes goes through
// one table of function pointers. Tests replace it with TFaultInjector to count calls, to
// make the Nth call of a kind fail with a chosen errno or move fewer bytes, and to see
// whether descriptors or mappings were left behind.
#pragma once

#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <time.h>
#include <vector>

namespace orvane::platform {

// The one list of calls: X(kind, member, result, parameter types...). The table, the kind
// enum and the names are all made from it, so none of them can miss a call.
#define ORVANE_OS_CALLS(X)                                                                         \
    X(Open, open, int, const char*, int, mode_t)                                                   \
    X(Read, read, ssize_t, int, void*, size_t)                                                     \
    X(Write, write, ssize_t, int, const void*, size_t)                                             \
    X(Pread, pread, ssize_t, int, void*, size_t, off_t)                                            \
    X(Pwrite, pwrite, ssize_t, int, const void*, size_t, off_t)                                    \
    X(Lseek, lseek, off_t, int, off_t, int)                                                        \
    X(Ftruncate, ftruncate, int, int, off_t)                                                       \
    X(Fsync, fsync, int, int)                                                                      \
    X(Fdatasync, fdatasync, int, int)                                                              \
    X(Close, close, int, int)                                                                      \
    X(Unlink, unlink, int, const char*)                                                            \
    X(Statvfs, statvfs, int, const char*, struct statvfs*)                                         \
    X(Fstatfs, fstatfs, int, int, struct statfs*)                                                  \
    X(Mmap, mmap, void*, void*, size_t, int, int, int, off_t)                                      \
    X(Munmap, munmap, int, void*, size_t)                                                          \
    X(Mlock, mlock, int, const void*, size_t)                                                      \
    X(Munlock, munlock, int, const void*, size_t)                                                  \
    X(Fstat, fstat, int, int, struct stat*)                                                        \
    X(Stat, stat, int, const char*, struct stat*)                                                  \
    X(Lstat, lstat, int, const char*, struct stat*)                                                \
    X(Statx, statx, int, int, const char*, int, unsigned int, struct statx*)                       \
    X(Flock, flock, int, int, int)                                                                 \
    X(Ioctl, ioctl, int, int, unsigned long, void*)                                                \
    X(Fcntl, fcntl, int, int, int, long)                                                           \
    X(FcntlLock, fcntl_lock, int, int, int, struct flock*)                                         \
    X(Futimens, futimens, int, int, const struct timespec*)                                        \
    X(Getcwd, getcwd, char*, char*, size_t)                                                        \
    X(Realpath, realpath, char*, const char*, char*)                                               \
    X(Chdir, chdir, int, const char*)                                                              \
    X(Opendir, opendir, DIR*, const char*)                                                         \
    X(Readdir, readdir, dirent*, DIR*)                                                             \
    X(Closedir, closedir, int, DIR*)                                                               \
    X(Nanosleep, nanosleep, int, const struct timespec*, struct timespec*)                         \
    X(Getpriority, getpriority, int, int, id_t)                                                    \
    X(Setpriority, setpriority, int, int, id_t, int)                                               \
    X(IoprioSet, ioprio_set, int, int, int, int)                                                   \
    X(Getrlimit, getrlimit, int, int, struct rlimit*)                                              \
    X(Prctl, prctl, int, int, unsigned long)                                                       \
    X(Fsetxattr, fsetxattr, int, int, const char*, const void*, size_t, int)                       \
    X(Lgetxattr, lgetxattr, ssize_t, const char*, const char*, void*, size_t)                      \
    X(Syncfs, syncfs, int, int)                                                                    \
    X(PosixFadvise, posix_fadvise, int, int, off_t, off_t, int)                                    \
    X(Mincore, mincore, int, void*, size_t, unsigned char*)                                        \
    X(Getrusage, getrusage, int, int, struct rusage*)                                              \
    X(Fchmod, fchmod, int, int, mode_t)                                                            \
    X(Rename, rename, int, const char*, const char*)                                               \
    X(Renameat2, renameat2, int, int, const char*, int, const char*, unsigned)                     \
    X(Link, link, int, const char*, const char*)                                                   \
    X(Mkdir, mkdir, int, const char*, mode_t)                                                      \
    X(Readlink, readlink, ssize_t, const char*, char*, size_t)                                     \
    X(Access, access, int, const char*, int)                                                       \
    X(Poll, poll, int, struct pollfd*, nfds_t, int)                                                \
    X(Pipe2, pipe2, int, int*, int)                                                                \
    X(PosixSpawn, posix_spawn, int, pid_t*, const char*, const posix_spawn_file_actions_t*,        \
      const posix_spawnattr_t*, char* const*, char* const*)                                        \
    X(Waitpid, waitpid, pid_t, pid_t, int*, int)                                                   \
    X(Mkdtemp, mkdtemp, char*, char*)                                                              \
    X(Rmdir, rmdir, int, const char*)

#define ORVANE_OS_CALL_MEMBER(kind, member, result, ...) result (*member)(__VA_ARGS__);
struct TOsCallTable {
    ORVANE_OS_CALLS(ORVANE_OS_CALL_MEMBER)
};
#undef ORVANE_OS_CALL_MEMBER

#define ORVANE_OS_CALL_KIND(kind, ...) kind,
enum class TOsCall { ORVANE_OS_CALLS(ORVANE_OS_CALL_KIND) };
#undef ORVANE_OS_CALL_KIND

#define ORVANE_OS_CALL_ONE(kind, ...) TOsCall::kind,
inline constexpr std::size_t OsCallKinds =
    std::initializer_list<TOsCall>{ORVANE_OS_CALLS(ORVANE_OS_CALL_ONE)}.size();
#undef ORVANE_OS_CALL_ONE

// The call's own name ("open", "lseek", ...), for sweeps that say which call they failed.
const char* OsCallName(TOsCall call);

// The table in force.
const TOsCallTable& OsCalls();

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
    void ShortenNth(TOsCall call, unsigned nth, std::size_t count);
    // From now on statvfs reports this many bytes available to the caller.
    void FakeFreeSpace(unsigned long long bytes);
    // From now on a statx that succeeds reports this alignment for direct I/O, as a file
    // system that tells it does (STATX_DIOALIGN).
    void FakeDirectAlignment(std::uint32_t memory, std::uint32_t offset);
    void Clear();

    unsigned Count(TOsCall call) const;
    unsigned TotalCount() const;
    // Descriptors (files and directory streams) opened minus closed through the seam, and
    // mappings made minus unmapped, since the injector was made or last cleared.
    long OpenDescriptors() const;
    long LiveMappings() const;

    // A positioned transfer (pread or pwrite) as it was asked of the system.
    struct TTransfer {
        TOsCall Call;
        const void* Buffer;
        off_t Offset;
        std::size_t Count;
    };
    // Every positioned transfer since the injector was made or last cleared, in order.
    std::vector<TTransfer> Transfers() const;
};

} // namespace orvane::platform

#endif
