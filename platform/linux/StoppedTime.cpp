// The stopped time of the process, seen from SIGCONT: the handler only reads the monotonic
// clock and adds the gap since the process was last seen running, all of it lock-free.
#include "platform/Measuring.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

namespace orvane::platform {

namespace {

static_assert(std::atomic<std::int64_t>::is_always_lock_free, "the handler may take no lock");

std::atomic<std::int64_t> lastRunning{0}; // ns on CLOCK_MONOTONIC; 0: not seen yet
std::atomic<std::int64_t> stoppedTotal{0};
int watches = 0; // made and ended on the run's thread only
struct sigaction previousContinue {};

std::int64_t MonotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void OnContinue(int) {
    const int savedErrno = errno;
    const std::int64_t now = MonotonicNow();
    const std::int64_t last = lastRunning.exchange(now);
    if (last > 0 && now > last) {
        stoppedTotal.fetch_add(now - last);
    }
    errno = savedErrno;
}

} // namespace

// sigaction is left out of the seam like the stop signals' own: a handler that can't be
// installed only leaves the stopped time unknown, which StoppedNanoseconds then says.
TStoppedTimeWatch::TStoppedTimeWatch() {
    if (watches++ > 0) {
        return;
    }
    NoteRunning();
    struct sigaction action {};
    action.sa_handler = OnContinue;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the passes' calls go on as they would without it
    if (::sigaction(SIGCONT, &action, &previousContinue) != 0) {
        watches = 0;
    }
}

TStoppedTimeWatch::~TStoppedTimeWatch() {
    if (watches == 0 || --watches > 0) {
        return;
    }
    ::sigaction(SIGCONT, &previousContinue, nullptr);
}

void NoteRunning() {
    lastRunning.store(MonotonicNow(), std::memory_order_relaxed);
}

std::optional<std::int64_t> StoppedNanoseconds() {
    if (watches == 0) {
        return std::nullopt;
    }
    return stoppedTotal.load();
}

} // namespace orvane::platform
