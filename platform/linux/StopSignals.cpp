// The stop-signal handler: it only records, writes a wake-up byte and, for a second
// signal, removes the armed file and ends the process; all of it async-signal-safe. And a
// wait that a stop signal cuts short.
#include "platform/StopSignals.h"

#include "platform/OsCalls.h"
#include "platform/TestFileGuard.h"
#include "platform/Win32.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orvane::platform {

namespace {

constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t received = 0;
int wakeup[2] = {-1, -1};
struct sigaction previous[std::size(StopSignalNumbers)]{};
struct sigaction previousFileSizeLimit {};
bool installed = false;

void OnStopSignal(int signalNumber) {
    if (received != 0) {
        RemoveArmedFileNow();
        ::_exit(128 + signalNumber);
    }
    received = signalNumber;
    if (wakeup[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeup[1], &byte, 1);
    }
}

} // namespace

void InstallStopSignals() {
    if (installed) {
        return;
    }
    received = 0;
    if (::pipe2(wakeup, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakeup[0] = wakeup[1] = -1; // the flag alone still stops the run
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int number : StopSignalNumbers) {
        sigaddset(&action.sa_mask, number); // one handler at a time
    }
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
        ::sigaction(StopSignalNumbers[i], &action, &previous[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &previousFileSizeLimit);
    installed = true;
}

void RestoreStopSignals() {
    if (!installed) {
        return;
    }
    for (std::size_t i = 0; i < std::size(StopSignalNumbers); ++i) {
        ::sigaction(StopSignalNumbers[i], &previous[i], nullptr);
    }
    ::sigaction(SIGXFSZ, &previousFileSizeLimit, nullptr);
    for (int& fd : wakeup) {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = -1;
    }
    received = 0;
    installed = false;
}

int StopSignalReceived() {
    return received;
}

int StopSignalWakeupFd() {
    return wakeup[0];
}

void WaitForStopSignal(int milliseconds) {
    if (received != 0) {
        return;
    }
    if (wakeup[0] < 0) {
        Sleep(static_cast<DWORD>(milliseconds)); // no pipe: the signal is seen after the sleep
        return;
    }
    pollfd ready{wakeup[0], POLLIN, 0};
    // An interrupting signal ends the wait early too; the caller asks whether it was a stop.
    OsCalls().poll(&ready, 1, milliseconds);
}

void ConsumeStopWakeups() {
    char bytes[64];
    while (wakeup[0] >= 0 && ::read(wakeup[0], bytes, sizeof bytes) > 0) {
    }
}

} // namespace orvane::platform
