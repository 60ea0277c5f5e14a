// The signals that ask a run to stop. SIGINT, SIGTERM, SIGHUP (a closed terminal) and
// SIGQUIT are taken in as Stop at the run's next message point; any further one of them
// ends the process at once, after removing the armed test file (only if it is still the
// run's own), with exit status 128 + signal. SIGXFSZ is ignored, so a write past the
// process's file-size limit fails with an error like any other instead of killing it.
#pragma once

#ifndef _WIN32

namespace orvane::platform {

void InstallStopSignals();
void RestoreStopSignals();

// The first stop signal received since the install, or 0.
int StopSignalReceived();

// A descriptor that becomes readable when a stop signal arrives, for an event loop to
// watch; -1 when there is none. ConsumeStopWakeups empties it.
int StopSignalWakeupFd();
void ConsumeStopWakeups();

// Sleeps for up to `milliseconds`, or less where a stop signal has arrived since the install
// or arrives meanwhile (then at once, leaving the wake-up for StopSignalReceived to tell).
void WaitForStopSignal(int milliseconds);

} // namespace orvane::platform

#endif
