// Translation of POSIX errno values into the Win32 error codes the layers report.
#pragma once

#include "platform/Win32.h"

namespace orvane::platform {

DWORD Win32ErrorFromErrno(int err);

// Sets the calling thread's last error from errno and returns FALSE, the usual way a
// Win32 call reports a failure.
BOOL FailWithErrno(int err);

// The code for a failed look-up of `path`: a missing file is 2 where its directory exists,
// else 3 (path not found), as on Windows; other errors through the table.
DWORD PathError(const char* path, int err);

} // namespace orvane::platform
