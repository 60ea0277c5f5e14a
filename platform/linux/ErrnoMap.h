// Translation of POSIX errno values into the Win32 error codes the layers report.
#pragma once

#include "platform/Win32.h"

namespace orvane::platform {

DWORD Win32ErrorFromErrno(int err);

// Sets the calling thread's last error from errno and returns FALSE, the usual way a
// Win32 call reports a failure.
BOOL FailWithErrno(int err);

} // namespace orvane::platform
