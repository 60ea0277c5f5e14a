// Process and thread priority on Linux.
//
// Windows raises the CPU priority of a process and a thread; on Linux an ordinary user may
// not lower a nice value (that needs CAP_SYS_NICE or a raised RLIMIT_NICE), so a literal
// mapping would be refused at every normal start. What a disk benchmark gains from
// priority is mostly on the disk and in waking on time, so:
//
// - SetPriorityClass sets the I/O scheduling priority of every thread of the process:
//   HIGH is best-effort level 0, the highest level an unprivileged process may take
//   (NORMAL is the kernel's default level 4; IDLE is the idle class; REALTIME is the
//   real-time class, which needs CAP_SYS_ADMIN or CAP_SYS_NICE and is refused otherwise).
// - SetThreadPriority sets the calling thread's timer slack to 1 ns for a priority above
//   normal, so its pauses and waits end on time, and moves its nice value by the priority
//   as far as RLIMIT_NICE (or a capability) lets it; lowering a priority always works.
//
// A refusal by the kernel fails the call with the mapped error code.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <iterator>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using orvane::platform::OsCalls;

namespace {

// The pseudo handles Windows hands out for the calling process and thread.
HANDLE const currentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
HANDLE const currentThread = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

constexpr int ioprioWhoProcess = 1;
constexpr int ioprioClassShift = 13;
constexpr int ioprioClassRealtime = 1;
constexpr int ioprioClassBestEffort = 2;
constexpr int ioprioClassIdle = 3;

constexpr int IoPriority(int ioClass, int level) {
    return (ioClass << ioprioClassShift) | level;
}

struct ClassEntry {
    DWORD priorityClass;
    int ioPriority;
};

constexpr ClassEntry classTable[] = {
    {IDLE_PRIORITY_CLASS, IoPriority(ioprioClassIdle, 7)},
    {BELOW_NORMAL_PRIORITY_CLASS, IoPriority(ioprioClassBestEffort, 6)},
    {NORMAL_PRIORITY_CLASS, IoPriority(ioprioClassBestEffort, 4)},
    {ABOVE_NORMAL_PRIORITY_CLASS, IoPriority(ioprioClassBestEffort, 2)},
    {HIGH_PRIORITY_CLASS, IoPriority(ioprioClassBestEffort, 0)},
    {REALTIME_PRIORITY_CLASS, IoPriority(ioprioClassRealtime, 0)},
};

int SetThreadIoPriority(pid_t tid, int ioPriority) {
    return OsCalls().ioprio_set(ioprioWhoProcess, tid, ioPriority);
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// The lowest nice value RLIMIT_NICE lets this process take without a capability
// (20 - limit; a limit of 0 or 1 allows no lowering at all).
int LowestPermittedNice() {
    rlimit limit{};
    if (OsCalls().getrlimit(RLIMIT_NICE, &limit) != 0) {
        return 19;
    }
    if (limit.rlim_cur == RLIM_INFINITY) {
        return -20;
    }
    return 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
}

// The nice value the thread had before the first request, so that repeated requests
// don't add up.
int BaseNice() {
    static const int base = [] {
        errno = 0;
        const int nice = OsCalls().getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()));
        return errno == 0 ? nice : 0;
    }();
    return base;
}

} // namespace

HANDLE GetCurrentProcess() {
    return currentProcess;
}

HANDLE GetCurrentThread() {
    return currentThread;
}

BOOL SetPriorityClass(HANDLE hProcess, DWORD dwPriorityClass) {
    using orvane::platform::FailWithErrno;
    if (hProcess != currentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const auto entry =
        std::find_if(std::begin(classTable), std::end(classTable),
                     [&](const ClassEntry& e) { return e.priorityClass == dwPriorityClass; });
    if (entry == std::end(classTable)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // I/O priority belongs to each thread; set it on all of them. Threads started later
    // inherit it from their creator.
    DIR* tasks = OsCalls().opendir("/proc/self/task");
    if (tasks == nullptr) {
        return SetThreadIoPriority(0, entry->ioPriority) == 0 ? TRUE : FailWithErrno(errno);
    }
    int failure = 0;
    while (const dirent* task = OsCalls().readdir(tasks)) {
        const pid_t tid = static_cast<pid_t>(std::atoi(task->d_name));
        // A thread may end between the listing and the call (ESRCH); it needs nothing.
        if (tid > 0 && SetThreadIoPriority(tid, entry->ioPriority) != 0 && errno != ESRCH) {
            failure = errno;
        }
    }
    OsCalls().closedir(tasks);
    return failure == 0 ? TRUE : FailWithErrno(failure);
}

BOOL SetThreadPriority(HANDLE hThread, int nPriority) {
    using orvane::platform::FailWithErrno;
    if (hThread != currentThread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    int step = 0;
    switch (nPriority) {
    case THREAD_PRIORITY_IDLE:
        step = -19;
        break;
    case THREAD_PRIORITY_TIME_CRITICAL:
        step = 4;
        break;
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
        step = nPriority;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    // 0 restores the thread's default slack (50 us).
    if (OsCalls().prctl(PR_SET_TIMERSLACK, step > 0 ? 1UL : 0UL) != 0) {
        return FailWithErrno(errno);
    }

    const int base = BaseNice();
    const int wanted = std::clamp(base - step, -20, 19);
    const id_t tid = static_cast<id_t>(CurrentThreadId());
    if (OsCalls().setpriority(PRIO_PROCESS, static_cast<id_t>(tid), wanted) == 0) {
        return TRUE;
    }
    // Without CAP_SYS_NICE, what RLIMIT_NICE allows is all the system grants (often
    // nothing below the base value); take that much.
    if ((errno == EACCES || errno == EPERM) && wanted < base) {
        const int granted = std::clamp(LowestPermittedNice(), wanted, base);
        if (OsCalls().setpriority(PRIO_PROCESS, static_cast<id_t>(tid), granted) == 0) {
            return TRUE;
        }
    }
    return FailWithErrno(errno);
}
