// Events: objects one thread waits on and another sets.
#include "platform/Win32.h"
#include "platform/linux/Handles.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace orvane::platform;

namespace {

class TEventObject final : public TKernelObject {
public:
    static constexpr TKind ObjectKind = TKind::Event;
    TEventObject(bool manual, bool initiallySignalled)
        : TKernelObject(ObjectKind), manualReset(manual), signalled(initiallySignalled) {}

    std::mutex lock;
    std::condition_variable changed;
    const bool manualReset;
    bool signalled;
};

} // namespace

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    if (lpName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED); // named events would cross processes
        return nullptr;
    }
    HANDLE handle =
        InsertObject(std::make_unique<TEventObject>(bManualReset != FALSE, bInitialState != FALSE));
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr; // CreateEvent reports failure with NULL
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL SetEvent(HANDLE hEvent) {
    auto* event = Lookup<TEventObject>(hEvent);
    if (event == nullptr) {
        return FALSE;
    }
    {
        std::lock_guard guard(event->lock);
        event->signalled = true;
    }
    event->changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto* event = Lookup<TEventObject>(hEvent);
    if (event == nullptr) {
        return FALSE;
    }
    std::lock_guard guard(event->lock);
    event->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto* event = Lookup<TEventObject>(hHandle);
    if (event == nullptr) {
        return WAIT_FAILED;
    }
    std::unique_lock guard(event->lock);
    const auto isSignalled = [event] { return event->signalled; };
    if (dwMilliseconds == INFINITE) {
        event->changed.wait(guard, isSignalled);
    } else if (!event->changed.wait_for(guard, std::chrono::milliseconds(dwMilliseconds),
                                        isSignalled)) {
        return WAIT_TIMEOUT;
    }
    if (!event->manualReset) {
        event->signalled = false;
    }
    return WAIT_OBJECT_0;
}
