// The stop signals (SIGINT, SIGTERM, SIGHUP, SIGQUIT) as a Qt signal: the handler only
// writes to a pipe, and the event loop (or a run's own event processing) delivers
// Received, so the window can stop a run at its next message point and clean up before it
// closes. A further signal ends the process at once, removing the run's test file.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace orvane {

class TStopSignals : public QObject {
    Q_OBJECT
public:
    explicit TStopSignals(QObject* parent = nullptr);
    ~TStopSignals() override;

signals:
    void Received(int signalNumber);

private:
    QSocketNotifier* FNotifier = nullptr;
};

} // namespace orvane
