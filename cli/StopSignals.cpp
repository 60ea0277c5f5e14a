// Signal handling for the command line: only async-signal-safe work in the handler.
#include "cli/CliHost.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace orvane::cli {

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
char fileToRemove[4096] = {};
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnSignal(int signalNumber) {
    if (pendingSignal != 0 || signalNumber == 0) {
        // The second one: end now, and take the test file with us.
        if (fileToRemove[0] != '\0') {
            ::unlink(fileToRemove);
        }
        ::_exit(128 + signalNumber);
    }
    pendingSignal = signalNumber;
}

} // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInt);
    ::sigaction(SIGTERM, &action, &previousTerm);
}

void RestoreStopSignals() {
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    pendingSignal = 0;
    fileToRemove[0] = '\0';
}

int StopSignalReceived() {
    return pendingSignal;
}

void SetFileToRemoveOnAbort(const std::string& path) {
    if (path.size() < sizeof fileToRemove) {
        std::memcpy(fileToRemove, path.c_str(), path.size() + 1);
    }
}

} // namespace orvane::cli
