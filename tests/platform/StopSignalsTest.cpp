// The stop signals, each in a child process of its own: the first of INT, TERM, HUP and
// QUIT is only recorded; the next ends the process with 128 + signal after removing the
// armed test file; a wait ends when one arrives; a write past the file-size limit fails
// instead of killing the process.
#include "platform/StopSignals.h"
#include "platform/TestFileGuard.h"
#include "platform/Win32.h"
#include "tests/support/PlatformTestSupport.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace orvane::platform {
namespace {

using testing::Exists;
using testing::TTempDir;

// Runs `body` in a child; its exit status, or 1000 + the signal that killed it.
int ChildStatus(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Creates a new file at `name` and arms its removal, as a run does with its test file.
bool CreateAndArm(const std::string& name) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &info)) {
        return false;
    }
    ArmAbortRemoval(name, info.dwVolumeSerialNumber,
                    (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
    return true;
}

TEST(StopSignals, TheFirstStopsTheSecondEndsAtOnceAndTakesOnlyTheArmedFile) {
    for (int first : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(first);
        TTempDir dir;
        const std::string name = dir.Path("armed.tmp");
        const int status = ChildStatus([&] {
            if (!CreateAndArm(name)) {
                return 1;
            }
            InstallStopSignals();
            ::raise(first);
            // Taken in, not acted on: the run stops at its next message point.
            if (StopSignalReceived() != first || !Exists(name)) {
                return 2;
            }
            char byte = 0;
            if (::read(StopSignalWakeupFd(), &byte, 1) != 1) {
                return 3; // an event loop is woken
            }
            ::raise(SIGTERM); // the second ends the process
            return 4;
        });
        EXPECT_EQ(status, 128 + SIGTERM);
        EXPECT_FALSE(Exists(name));
    }
}

TEST(StopSignals, ASecondSignalSparesAFileThatIsNoLongerTheRunsOwn) {
    TTempDir dir;
    const std::string name = dir.Path("swapped.tmp");
    const std::string users = dir.Path("users");
    testing::WriteWholeFile(users, "keep");
    const int status = ChildStatus([&] {
        if (!CreateAndArm(name)) {
            return 1;
        }
        ::unlink(name.c_str());
        if (::link(users.c_str(), name.c_str()) != 0) {
            return 2;
        }
        InstallStopSignals();
        ::raise(SIGINT);
        ::raise(SIGINT);
        return 3;
    });
    EXPECT_EQ(status, 128 + SIGINT);
    EXPECT_EQ(testing::ReadWholeFile(name), "keep");
}

TEST(StopSignals, AWaitEndsWhenAStopSignalArrivesBeforeOrDuringIt) {
    const int status = ChildStatus([] {
        InstallStopSignals();
        const pid_t waiting = ::getpid();
        if (::fork() == 0) {
            ::kill(waiting, SIGTERM); // whenever it lands, before the wait or in it
            ::_exit(0);
        }
        WaitForStopSignal(60000); // the child's alarm ends a wait that misses the signal
        return StopSignalReceived() == SIGTERM ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(StopSignals, AWritePastTheFileSizeLimitFailsInsteadOfKillingTheProcess) {
    TTempDir dir;
    const std::string name = dir.Path("limited");
    const int status = ChildStatus([&] {
        InstallStopSignals();
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 1;
        }
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        char block[8192] = {};
        DWORD done = 0;
        WriteFile(file, block, 4096, &done, nullptr); // up to the limit
        const BOOL ok = WriteFile(file, block, 4096, &done, nullptr);
        return !ok && GetLastError() == ERROR_FILE_TOO_LARGE ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
} // namespace orvane::platform
