// The system-call table and the fault injector that can stand in for it.
#include "platform/OsCalls.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace orvane::platform {

namespace {

int RealOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

constexpr TOsCallTable realCalls = {
    RealOpen, ::read,    ::write, ::lseek, ::ftruncate, ::fsync, ::close,
    ::unlink, ::statvfs, ::mmap,  ::mlock, ::fstat,     ::flock,
};

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
};

TInjectorState injector;

// Counts the call; returns the errno to fail it with, or 0 to let it through (with
// `limit` lowered for a planned short transfer).
int Strike(TOsCall call, size_t* limit = nullptr) {
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

template <typename Result> Result Fail(int err, Result failure) {
    errno = err;
    return failure;
}

int FaultyOpen(const char* path, int flags, mode_t mode) {
    const int err = Strike(TOsCall::Open);
    return err != 0 ? Fail(err, -1) : realCalls.open(path, flags, mode);
}
ssize_t FaultyRead(int fd, void* buffer, size_t count) {
    const int err = Strike(TOsCall::Read, &count);
    return err != 0 ? Fail<ssize_t>(err, -1) : realCalls.read(fd, buffer, count);
}
ssize_t FaultyWrite(int fd, const void* buffer, size_t count) {
    const int err = Strike(TOsCall::Write, &count);
    return err != 0 ? Fail<ssize_t>(err, -1) : realCalls.write(fd, buffer, count);
}
off_t FaultyLseek(int fd, off_t offset, int whence) {
    const int err = Strike(TOsCall::Lseek);
    return err != 0 ? Fail<off_t>(err, -1) : realCalls.lseek(fd, offset, whence);
}
int FaultyFtruncate(int fd, off_t length) {
    const int err = Strike(TOsCall::Ftruncate);
    return err != 0 ? Fail(err, -1) : realCalls.ftruncate(fd, length);
}
int FaultyFsync(int fd) {
    const int err = Strike(TOsCall::Fsync);
    return err != 0 ? Fail(err, -1) : realCalls.fsync(fd);
}
int FaultyClose(int fd) {
    const int err = Strike(TOsCall::Close);
    if (err != 0) {
        // A failed close still releases the descriptor, as close(2) does on Linux.
        realCalls.close(fd);
        return Fail(err, -1);
    }
    return realCalls.close(fd);
}
int FaultyUnlink(const char* path) {
    const int err = Strike(TOsCall::Unlink);
    return err != 0 ? Fail(err, -1) : realCalls.unlink(path);
}
int FaultyStatvfs(const char* path, struct statvfs* info) {
    const int err = Strike(TOsCall::Statvfs);
    if (err != 0) {
        return Fail(err, -1);
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
void* FaultyMmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
    const int err = Strike(TOsCall::Mmap);
    return err != 0 ? Fail(err, MAP_FAILED)
                    : realCalls.mmap(address, length, protection, flags, fd, offset);
}
int FaultyMlock(const void* address, size_t length) {
    const int err = Strike(TOsCall::Mlock);
    return err != 0 ? Fail(err, -1) : realCalls.mlock(address, length);
}
int FaultyFstat(int fd, struct stat* info) {
    const int err = Strike(TOsCall::Fstat);
    return err != 0 ? Fail(err, -1) : realCalls.fstat(fd, info);
}
int FaultyFlock(int fd, int operation) {
    const int err = Strike(TOsCall::Flock);
    return err != 0 ? Fail(err, -1) : realCalls.flock(fd, operation);
}

constexpr TOsCallTable faultyCalls = {
    FaultyOpen,  FaultyRead,  FaultyWrite,  FaultyLseek,   FaultyFtruncate,
    FaultyFsync, FaultyClose, FaultyUnlink, FaultyStatvfs, FaultyMmap,
    FaultyMlock, FaultyFstat, FaultyFlock,
};

} // namespace

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

void TFaultInjector::Clear() {
    std::lock_guard guard(injector.lock);
    injector.counts = {};
    injector.plans.clear();
    injector.fakeFreeSpace = false;
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

} // namespace orvane::platform
