// The priority requests through the platform layer.
#include "app/Priorities.h"

#include "platform/Win32.h"

namespace orvane {

bool TPlatformPriorities::RaiseProcessPriority() {
    return SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != 0;
}

bool TPlatformPriorities::RaiseThreadPriority() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL) != 0;
}

} // namespace orvane
