// What the measuring modes and the proof of a pass need beyond the Win32 calls: settling
// the file system, dropping a file from the page cache and counting what of it is still
// there, the counters of the block device under a file, the thread's CPU time, the time the
// process spent stopped, and the file handle behind an mmio handle so that its data can be
// flushed to the device.
#pragma once

#include "platform/MMSystem.h"
#include "platform/Win32.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane::platform {

// A step that failed: the system call's name and its errno; Call is nullptr on success.
struct TStepResult {
    const char* Call = nullptr;
    int Error = 0;
    explicit operator bool() const { return Call == nullptr; }
};

// The system's text for an errno.
std::string ErrnoText(int error);

// Writes out everything the file system holding `path` has pending (syncfs).
TStepResult SettleFileSystem(const std::string& path);

// Writes the file's data out and asks the kernel to drop its pages from the page cache
// (fdatasync, then posix_fadvise DONTNEED over the whole file). Needs no privileges.
TStepResult DropFromPageCache(const std::string& path);

// How many bytes of the file are in the page cache now (mincore on a read-only mapping);
// none when that can't be told.
std::optional<std::uint64_t> CachedBytes(const std::string& path);

// The block device whose counters cover the file system holding `path`, as "MAJ:MIN";
// empty where there is no single device (tmpfs, overlay, network file systems). /sys is
// read under `root`, a scratch tree in tests.
std::string BlockDeviceOf(const std::string& path, const std::string& root = "/");

struct TDeviceCounters {
    std::uint64_t ReadBytes = 0;
    std::uint64_t WrittenBytes = 0;
};
// The device's counters from /proc/diskstats; none when it is not listed there.
std::optional<TDeviceCounters> ReadDeviceCounters(const std::string& device);

struct TThreadUsage {
    double UserSeconds = 0;
    double SystemSeconds = 0;
    std::uint64_t VoluntarySwitches = 0;
    std::uint64_t InvoluntarySwitches = 0;
};
// The calling thread's CPU time and context switches so far.
std::optional<TThreadUsage> ReadThreadUsage();

// The file handle an open mmio handle works on; INVALID_HANDLE_VALUE for none.
HANDLE MmioFileHandle(HMMIO mmio);

// The time the process spent stopped (SIGSTOP, SIGTSTP, a debugger) while one of these
// exists. The system keeps no count of it, so it is seen from the continue signal: its
// handler adds the time since the run was last seen running (NoteRunning) on the monotonic
// clock. The sum is never less than the real stops, and exceeds them by at most the running
// time between the last NoteRunning before each stop and the stop itself.
class TStoppedTimeWatch {
public:
    TStoppedTimeWatch();
    ~TStoppedTimeWatch();
    TStoppedTimeWatch(const TStoppedTimeWatch&) = delete;
    TStoppedTimeWatch& operator=(const TStoppedTimeWatch&) = delete;
};

// Async-signal-safe and cheap (one clock reading): the process is running now.
void NoteRunning();

// Nanoseconds stopped since the first watch was made; none while no watch exists.
std::optional<std::int64_t> StoppedNanoseconds();

} // namespace orvane::platform

#ifdef _WIN32
// Windows has no page-cache control of this kind, no diskstats and no per-thread rusage:
// the modes do nothing there and the proof stays unknown.
namespace orvane::platform {
inline std::string ErrnoText(int error) {
    return "error " + std::to_string(error);
}
inline TStepResult SettleFileSystem(const std::string&) {
    return {};
}
inline TStepResult DropFromPageCache(const std::string&) {
    return {};
}
inline std::optional<std::uint64_t> CachedBytes(const std::string&) {
    return std::nullopt;
}
inline std::string BlockDeviceOf(const std::string&, const std::string&) {
    return {};
}
inline std::optional<TDeviceCounters> ReadDeviceCounters(const std::string&) {
    return std::nullopt;
}
inline std::optional<TThreadUsage> ReadThreadUsage() {
    return std::nullopt;
}
// No stop signals to see: the stopped time stays unknown.
inline TStoppedTimeWatch::TStoppedTimeWatch() = default;
inline TStoppedTimeWatch::~TStoppedTimeWatch() = default;
inline void NoteRunning() {}
inline std::optional<std::int64_t> StoppedNanoseconds() {
    return std::nullopt;
}
inline HANDLE MmioFileHandle(HMMIO mmio) {
    MMIOINFO info{};
    if (mmioGetInfo(mmio, &info, 0) != 0) {
        return INVALID_HANDLE_VALUE;
    }
    // The standard file I/O procedure keeps the file's handle in the first word.
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(info.adwInfo[0]));
}
} // namespace orvane::platform
#endif
