// Priority requests on Linux, run in child processes so the test process keeps its own
// priorities; the unprivileged cases drop to the "nobody" user where the test runs as root.
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using orvane::testing::InChild;

int IoPriorityOfThisThread() {
    constexpr int ioprioWhoProcess = 1;
    return static_cast<int>(syscall(SYS_ioprio_get, ioprioWhoProcess, 0));
}

TEST(Priority, HighClassGivesTheHighestBestEffortIoLevelWithoutPrivilege) {
    for (bool unprivileged : {false, true}) {
        SCOPED_TRACE(unprivileged ? "unprivileged" : "as started");
        EXPECT_EQ(InChild(unprivileged,
                          [] {
                              if (!SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS)) {
                                  return 1;
                              }
                              constexpr int bestEffortLevel0 = 2 << 13;
                              return IoPriorityOfThisThread() == bestEffortLevel0 ? 0 : 2;
                          }),
                  0);
    }
}

TEST(Priority, RealtimeClassIsRefusedWithAccessDeniedWithoutPrivilege) {
    EXPECT_EQ(InChild(true,
                      [] {
                          if (SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS)) {
                              return 1;
                          }
                          return GetLastError() == ERROR_ACCESS_DENIED ? 0 : 2;
                      }),
              0);
}

TEST(Priority, AboveNormalThreadWakesOnTimeAndNeverLosesNice) {
    for (bool unprivileged : {false, true}) {
        SCOPED_TRACE(unprivileged ? "unprivileged" : "as started");
        EXPECT_EQ(
            InChild(unprivileged,
                    [unprivileged] {
                        const int before = getpriority(PRIO_PROCESS, 0);
                        if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL)) {
                            return 1;
                        }
                        if (prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0) != 1) {
                            return 2;
                        }
                        const int after = getpriority(PRIO_PROCESS, 0);
                        // With CAP_SYS_NICE it takes one nice step; without, it keeps its
                        // nice unless RLIMIT_NICE grants more.
                        const bool privileged = !unprivileged && geteuid() == 0;
                        if (privileged ? after != before - 1 : after > before) {
                            return 3;
                        }
                        // Back to normal restores the nice value and the default slack.
                        if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL) ||
                            getpriority(PRIO_PROCESS, 0) != before ||
                            prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0) == 1) {
                            return 4;
                        }
                        return 0;
                    }),
            0);
    }
}

TEST(Priority, WrongHandlesAndValuesAreRefusedWithTheirCodes) {
    struct Case {
        const char* what;
        std::function<BOOL()> call;
        DWORD code;
    };
    const Case cases[] = {
        {"thread handle for the process",
         [] { return SetPriorityClass(GetCurrentThread(), HIGH_PRIORITY_CLASS); },
         ERROR_INVALID_HANDLE},
        {"process handle for the thread",
         [] { return SetThreadPriority(GetCurrentProcess(), THREAD_PRIORITY_NORMAL); },
         ERROR_INVALID_HANDLE},
        {"unknown class", [] { return SetPriorityClass(GetCurrentProcess(), 0x1234); },
         ERROR_INVALID_PARAMETER},
        {"unknown thread priority", [] { return SetThreadPriority(GetCurrentThread(), 7); },
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.call(), FALSE);
        EXPECT_EQ(GetLastError(), c.code);
    }
}

} // namespace
