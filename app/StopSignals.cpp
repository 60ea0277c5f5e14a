// The stop signals' wake-up descriptor watched by the event loop.
#include "app/StopSignals.h"

#include "platform/StopSignals.h"

#include <QSocketNotifier>

namespace orvane {

TStopSignals::TStopSignals(QObject* parent) : QObject(parent) {
    platform::InstallStopSignals();
    const int fd = platform::StopSignalWakeupFd();
    if (fd < 0) {
        return;
    }
    FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] {
        platform::ConsumeStopWakeups();
        if (const int signalNumber = platform::StopSignalReceived(); signalNumber != 0) {
            emit Received(signalNumber);
        }
    });
}

TStopSignals::~TStopSignals() {
    delete FNotifier;
    platform::RestoreStopSignals();
}

} // namespace orvane
