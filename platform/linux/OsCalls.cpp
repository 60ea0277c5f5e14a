// The system-call table and the fault injector that can stand in for it.
#include "platform/OsCalls.h"

#include "platform/linux/StatxDio.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace orvane::platform {

namespace real {

// The calls whose C declarations are variadic or have no wrapper get one of a fixed shape.
int open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
int ioctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
int fcntl(int fd, int command, long argument) {
    return ::fcntl(fd, command, argument);
}
// The lock commands take a pointer where the others take a number.
int fcntl_lock(int fd, int command, struct flock* lock) {
    return ::fcntl(fd, command, lock);
}
int getpriority(int which, id_t who) {
    return ::getpriority(static_cast<__priority_which_t>(which), who);
}
int setpriority(int which, id_t who, int priority) {
    return ::setpriority(static_cast<__priority_which_t>(which), who, priority);
}
int getrlimit(int resource, struct rlimit* limit) {
    return ::getrlimit(static_cast<__rlimit_resource_t>(resource), limit);
}
int prctl(int option, unsigned long argument) {
    return ::prctl(option, argument, 0UL, 0UL, 0UL);
}
int ioprio_set(int which, int who, int priority) {
    return static_cast<int>(::syscall(SYS_ioprio_set, which, who, priority));
}
int syncfs(int fd) {
    return ::syncfs(fd);
}
// Like the other calls, -1 with errno, rather than the error number as the result.
int posix_fadvise(int fd, off_t offset, off_t length, int advice) {
    const int err = ::posix_fadvise(fd, offset, length, advice);
    if (err != 0) {
        errno = err;
        return -1;
    }
    return 0;
}
int getrusage(int who, struct rusage* usage) {
    return ::getrusage(static_cast<__rusage_who_t>(who), usage);
}
// Like the other calls, -1 with errno, rather than the error number as the result.
int posix_spawn(pid_t* child, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const* argv, char* const* envp) {
    const int err = ::posix_spawn(child, path, actions, attributes, argv, envp);
    if (err != 0) {
        errno = err;
        return -1;
    }
    return 0;
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return ::renameat2(fromDir, from, toDir, to, flags);
}
using ::access;
using ::chdir;
using ::close;
using ::closedir;
using ::fchmod;
using ::fdatasync;
using ::flock;
using ::fsetxattr;
using ::fstat;
using ::fstatfs;
using ::fsync;
using ::ftruncate;
using ::futimens;
using ::getcwd;
using ::lgetxattr;
using ::link;
using ::lseek;
using ::lstat;
using ::mincore;
using ::mkdir;
using ::mkdtemp;
using ::mlock;
using ::mmap;
using ::munlock;
using ::munmap;
using ::nanosleep;
using ::opendir;
using ::pipe2;
using ::poll;
using ::pread;
using ::pwrite;
using ::read;
using ::readdir;
using ::readlink;
using ::realpath;
using ::rename;
using ::rmdir;
using ::stat;
using ::statvfs;
using ::statx;
using ::unlink;
using ::waitpid;
using ::write;

} // namespace real

namespace {

#define ORVANE_OS_CALL_REAL(kind, member, ...) &real::member,
constexpr TOsCallTable realCalls = {ORVANE_OS_CALLS(ORVANE_OS_CALL_REAL)};
#undef ORVANE_OS_CALL_REAL

#define ORVANE_OS_CALL_NAME(kind, member, ...) #member,
constexpr std::array<const char*, OsCallKinds> callNames = {ORVANE_OS_CALLS(ORVANE_OS_CALL_NAME)};
#undef ORVANE_OS_CALL_NAME

std::atomic<const TOsCallTable*> currentCalls{&realCalls};

struct TPlan {
    TOsCall call;
    unsigned nth = 0;
    int err = 0;
    bool persistent = false;
    bool shorten = false;
    size_t count = 0;
};

struct TInjectorState {
    std::mutex lock;
    std::array<unsigned, OsCallKinds> counts{};
    std::vector<TPlan> plans;
    bool fakeFreeSpace = false;
    unsigned long long freeSpace = 0;
    bool fakeAlignment = false;
    std::uint32_t memoryAlignment = 0;
    std::uint32_t offsetAlignment = 0;
    long descriptors = 0;
    long mappings = 0;
    std::vector<TFaultInjector::TTransfer> transfers;
};

TInjectorState injector;

// Counts the call; returns the errno to fail it with, or 0 to let it through (with
// `limit` lowered for a planned short transfer).
int Strike(TOsCall call, size_t* limit) {
    std::lock_guard guard(injector.lock);
    const auto kind = static_cast<std::size_t>(call);
    const unsigned n = ++injector.counts[kind];
    for (const TPlan& plan : injector.plans) {
        if (plan.call != call || n < plan.nth || (n > plan.nth && !plan.persistent)) {
            continue;
        }
        if (!plan.shorten) {
            return plan.err;
        }
        if (limit != nullptr && *limit > plan.count) {
            *limit = plan.count;
        }
    }
    return 0;
}

void Track(long TInjectorState::*counter, long change) {
    std::lock_guard guard(injector.lock);
    injector.*counter += change;
}

template <typename Result> Result FailureOf() {
    if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
    } else {
        return Result(-1);
    }
}

// The general case: the call fails as planned or reaches the system.
template <TOsCall Kind, typename Result, typename... Args> struct TFaulty {
    static Result Call(Args... args) {
        const int err = Strike(Kind, nullptr);
        if (err != 0) {
            errno = err;
            return FailureOf<Result>();
        }
        return Real()(args...);
    }
    static auto Real() { return realCalls.*Member(); }
    static constexpr auto Member() {
#define ORVANE_OS_CALL_PICK(kind, member, ...)                                                     \
    if constexpr (Kind == TOsCall::kind) {                                                         \
        return &TOsCallTable::member;                                                              \
    } else
        ORVANE_OS_CALLS(ORVANE_OS_CALL_PICK) {
            return nullptr;
        }
#undef ORVANE_OS_CALL_PICK
    }
};

template <typename Result, typename Buffer> struct TFaultyTransfer {
    template <TOsCall Kind> static Result Call(int fd, Buffer buffer, size_t count) {
        const int err = Strike(Kind, &count);
        if (err != 0) {
            errno = err;
            return -1;
        }
        if constexpr (Kind == TOsCall::Read) {
            return realCalls.read(fd, buffer, count);
        } else {
            return realCalls.write(fd, buffer, count);
        }
    }
};
template <> struct TFaulty<TOsCall::Read, ssize_t, int, void*, size_t> {
    static ssize_t Call(int fd, void* buffer, size_t count) {
        return TFaultyTransfer<ssize_t, void*>::Call<TOsCall::Read>(fd, buffer, count);
    }
};
template <> struct TFaulty<TOsCall::Write, ssize_t, int, const void*, size_t> {
    static ssize_t Call(int fd, const void* buffer, size_t count) {
        return TFaultyTransfer<ssize_t, const void*>::Call<TOsCall::Write>(fd, buffer, count);
    }
};

// Positioned transfers are recorded as asked, so that a test sees every buffer and offset.
template <TOsCall Kind, typename Buffer> struct TFaultyPositioned {
    static ssize_t Call(int fd, Buffer buffer, size_t count, off_t offset) {
        {
            std::lock_guard guard(injector.lock);
            injector.transfers.push_back({Kind, buffer, offset, count});
        }
        const int err = Strike(Kind, &count);
        if (err != 0) {
            errno = err;
            return -1;
        }
        if constexpr (Kind == TOsCall::Pread) {
            return realCalls.pread(fd, buffer, count, offset);
        } else {
            return realCalls.pwrite(fd, buffer, count, offset);
        }
    }
};
template <> struct TFaulty<TOsCall::Pread, ssize_t, int, void*, size_t, off_t> {
    static ssize_t Call(int fd, void* buffer, size_t count, off_t offset) {
        return TFaultyPositioned<TOsCall::Pread, void*>::Call(fd, buffer, count, offset);
    }
};
template <> struct TFaulty<TOsCall::Pwrite, ssize_t, int, const void*, size_t, off_t> {
    static ssize_t Call(int fd, const void* buffer, size_t count, off_t offset) {
        return TFaultyPositioned<TOsCall::Pwrite, const void*>::Call(fd, buffer, count, offset);
    }
};

template <>
struct TFaulty<TOsCall::Statx, int, int, const char*, int, unsigned int, struct statx*> {
    static int Call(int dirFd, const char* path, int flags, unsigned int mask, struct statx* info) {
        const int err = Strike(TOsCall::Statx, nullptr);
        if (err != 0) {
            errno = err;
            return -1;
        }
        const int result = realCalls.statx(dirFd, path, flags, mask, info);
        std::lock_guard guard(injector.lock);
        if (result == 0 && injector.fakeAlignment) {
            info->stx_mask |= STATX_DIOALIGN;
            SetStatxField(*info, StatxDioMemoryOffset, injector.memoryAlignment);
            SetStatxField(*info, StatxDioOffsetOffset, injector.offsetAlignment);
        }
        return result;
    }
};

template <> struct TFaulty<TOsCall::Open, int, const char*, int, mode_t> {
    static int Call(const char* path, int flags, mode_t mode) {
        const int err = Strike(TOsCall::Open, nullptr);
        if (err != 0) {
            errno = err;
            return -1;
        }
        const int fd = realCalls.open(path, flags, mode);
        if (fd >= 0) {
            Track(&TInjectorState::descriptors, 1);
        }
        return fd;
    }
};

template <> struct TFaulty<TOsCall::Close, int, int> {
    static int Call(int fd) {
        const int err = Strike(TOsCall::Close, nullptr);
        // A failed close still releases the descriptor, as close(2) does on Linux.
        const int result = realCalls.close(fd);
        if (result == 0 || errno != EBADF) {
            Track(&TInjectorState::descriptors, -1);
        }
        if (err != 0) {
            errno = err;
            return -1;
        }
        return result;
    }
};

template <> struct TFaulty<TOsCall::Pipe2, int, int*, int> {
    static int Call(int* ends, int flags) {
        const int err = Strike(TOsCall::Pipe2, nullptr);
        if (err != 0) {
            errno = err;
            return -1;
        }
        const int result = realCalls.pipe2(ends, flags);
        if (result == 0) {
            Track(&TInjectorState::descriptors, 2);
        }
        return result;
    }
};

template <> struct TFaulty<TOsCall::Opendir, DIR*, const char*> {
    static DIR* Call(const char* path) {
        const int err = Strike(TOsCall::Opendir, nullptr);
        if (err != 0) {
            errno = err;
            return nullptr;
        }
        DIR* dir = realCalls.opendir(path);
        if (dir != nullptr) {
            Track(&TInjectorState::descriptors, 1);
        }
        return dir;
    }
};

template <> struct TFaulty<TOsCall::Closedir, int, DIR*> {
    static int Call(DIR* dir) {
        const int err = Strike(TOsCall::Closedir, nullptr);
        const int result = realCalls.closedir(dir); // the stream is gone either way
        Track(&TInjectorState::descriptors, -1);
        if (err != 0) {
            errno = err;
            return -1;
        }
        return result;
    }
};

template <> struct TFaulty<TOsCall::Mmap, void*, void*, size_t, int, int, int, off_t> {
    static void* Call(void* address, size_t length, int protection, int flags, int fd,
                      off_t offset) {
        const int err = Strike(TOsCall::Mmap, nullptr);
        if (err != 0) {
            errno = err;
            return MAP_FAILED;
        }
        void* memory = realCalls.mmap(address, length, protection, flags, fd, offset);
        if (memory != MAP_FAILED) {
            Track(&TInjectorState::mappings, 1);
        }
        return memory;
    }
};

template <> struct TFaulty<TOsCall::Munmap, int, void*, size_t> {
    static int Call(void* address, size_t length) {
        const int err = Strike(TOsCall::Munmap, nullptr);
        if (err != 0) {
            errno = err;
            return -1;
        }
        const int result = realCalls.munmap(address, length);
        if (result == 0) {
            Track(&TInjectorState::mappings, -1);
        }
        return result;
    }
};

template <> struct TFaulty<TOsCall::Statvfs, int, const char*, struct statvfs*> {
    static int Call(const char* path, struct statvfs* info) {
        const int err = Strike(TOsCall::Statvfs, nullptr);
        if (err != 0) {
            errno = err;
            return -1;
        }
        const int result = realCalls.statvfs(path, info);
        std::lock_guard guard(injector.lock);
        if (result == 0 && injector.fakeFreeSpace) {
            const unsigned long unit = info->f_frsize != 0 ? info->f_frsize : info->f_bsize;
            info->f_blocks *= unit;
            info->f_bfree *= unit;
            info->f_frsize = 1;
            info->f_bavail = injector.freeSpace;
            info->f_bfree = std::max<unsigned long long>(info->f_bfree, injector.freeSpace);
            info->f_blocks = std::max<unsigned long long>(info->f_blocks, info->f_bfree);
        }
        return result;
    }
};

#define ORVANE_OS_CALL_FAULTY(kind, member, result, ...)                                           \
    &TFaulty<TOsCall::kind, result, __VA_ARGS__>::Call,
constexpr TOsCallTable faultyCalls = {ORVANE_OS_CALLS(ORVANE_OS_CALL_FAULTY)};
#undef ORVANE_OS_CALL_FAULTY

} // namespace

const char* OsCallName(TOsCall call) {
    const auto kind = static_cast<std::size_t>(call);
    return kind < callNames.size() ? callNames[kind] : "?";
}

const TOsCallTable& OsCalls() {
    return *currentCalls.load(std::memory_order_relaxed);
}

TFaultInjector::TFaultInjector() {
    Clear();
    currentCalls.store(&faultyCalls);
}

TFaultInjector::~TFaultInjector() {
    currentCalls.store(&realCalls);
}

void TFaultInjector::FailNth(TOsCall call, unsigned nth, int err, bool persistent) {
    std::lock_guard guard(injector.lock);
    const auto kind = static_cast<std::size_t>(call);
    injector.plans.push_back({call, injector.counts[kind] + nth, err, persistent, false, 0});
}

void TFaultInjector::ShortenNth(TOsCall call, unsigned nth, size_t count) {
    std::lock_guard guard(injector.lock);
    const auto kind = static_cast<std::size_t>(call);
    injector.plans.push_back({call, injector.counts[kind] + nth, 0, false, true, count});
}

void TFaultInjector::FakeFreeSpace(unsigned long long bytes) {
    std::lock_guard guard(injector.lock);
    injector.fakeFreeSpace = true;
    injector.freeSpace = bytes;
}

void TFaultInjector::FakeDirectAlignment(std::uint32_t memory, std::uint32_t offset) {
    std::lock_guard guard(injector.lock);
    injector.fakeAlignment = true;
    injector.memoryAlignment = memory;
    injector.offsetAlignment = offset;
}

void TFaultInjector::Clear() {
    std::lock_guard guard(injector.lock);
    injector.counts = {};
    injector.plans.clear();
    injector.fakeFreeSpace = false;
    injector.fakeAlignment = false;
    injector.transfers.clear();
    injector.descriptors = 0;
    injector.mappings = 0;
}

unsigned TFaultInjector::Count(TOsCall call) const {
    std::lock_guard guard(injector.lock);
    return injector.counts[static_cast<std::size_t>(call)];
}

unsigned TFaultInjector::TotalCount() const {
    std::lock_guard guard(injector.lock);
    unsigned total = 0;
    for (unsigned n : injector.counts) {
        total += n;
    }
    return total;
}

long TFaultInjector::OpenDescriptors() const {
    std::lock_guard guard(injector.lock);
    return injector.descriptors;
}

long TFaultInjector::LiveMappings() const {
    std::lock_guard guard(injector.lock);
    return injector.mappings;
}

std::vector<TFaultInjector::TTransfer> TFaultInjector::Transfers() const {
    std::lock_guard guard(injector.lock);
    return injector.transfers;
}

} // namespace orvane::platform
