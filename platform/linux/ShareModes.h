// Windows share modes between open handles: exact within the process, and across
// processes as far as whole-file locks carry them (an exclusive open takes an exclusive
// lock, any other open a shared one).
#pragma once

#include "platform/Win32.h"

#include <sys/types.h>

namespace orvane::platform {

struct TShareEntry {
    dev_t device = 0;
    ino_t inode = 0;
    DWORD access = 0;
    DWORD share = 0;
};

// Registers an open of the file behind `fd`; ERROR_SUCCESS or ERROR_SHARING_VIOLATION.
DWORD AcquireShare(int fd, const TShareEntry& entry);
void ReleaseShare(const TShareEntry& entry);

// True when a handle of this process holds the file without FILE_SHARE_DELETE.
bool DeleteDenied(dev_t device, ino_t inode);

} // namespace orvane::platform
