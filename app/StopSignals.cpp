// The self-pipe between the signal handlers and the event loop.
#include "app/StopSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orvane {

namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnSignal(int signalNumber) {
    const auto byte = static_cast<char>(signalNumber);
    // Nothing else is safe in a handler; a full pipe already holds a pending stop.
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

} // namespace

TStopSignals::TStopSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the default handlers stay: a signal then ends the program at once
    }
    FNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1) {
            emit Received(byte);
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInt);
    ::sigaction(SIGTERM, &action, &previousTerm);
}

TStopSignals::~TStopSignals() {
    if (FNotifier == nullptr) {
        return;
    }
    ::sigaction(SIGINT, &previousInt, nullptr);
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace orvane
