// The process's table of open files and their share modes, plus flock across processes.
#include "platform/linux/ShareModes.h"

#include "platform/OsCalls.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <sys/file.h>
#include <vector>

namespace orvane::platform {

namespace {

std::mutex tableLock;
std::vector<TShareEntry> openFiles;

bool SameFile(const TShareEntry& a, const TShareEntry& b) {
    return a.device == b.device && a.inode == b.inode;
}

// A handle that moves no data (access 0, attributes only) takes no part in share checks
// on Windows: it is neither refused nor does it refuse others.
bool MovesData(const TShareEntry& entry) {
    return (entry.access & (GENERIC_READ | GENERIC_WRITE)) != 0;
}

// Windows' rule: each side's access must be allowed by the other side's share mode.
bool Conflicts(const TShareEntry& held, const TShareEntry& wanted) {
    if (!MovesData(held) || !MovesData(wanted)) {
        return false;
    }
    const auto denies = [](const TShareEntry& holder, const TShareEntry& other) {
        return ((other.access & GENERIC_READ) != 0 && (holder.share & FILE_SHARE_READ) == 0) ||
               ((other.access & GENERIC_WRITE) != 0 && (holder.share & FILE_SHARE_WRITE) == 0);
    };
    return denies(held, wanted) || denies(wanted, held);
}

} // namespace

DWORD AcquireShare(int fd, const TShareEntry& entry) {
    std::lock_guard guard(tableLock);
    for (const TShareEntry& held : openFiles) {
        if (SameFile(held, entry) && Conflicts(held, entry)) {
            return ERROR_SHARING_VIOLATION;
        }
    }
    // ...and so takes no lock across processes either.
    const bool exclusive = (entry.share & (FILE_SHARE_READ | FILE_SHARE_WRITE)) == 0;
    if (MovesData(entry) && OsCalls().flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 &&
        errno == EWOULDBLOCK) {
        return ERROR_SHARING_VIOLATION;
    }
    // Other flock failures (a file system without locks) leave the check to this process.
    openFiles.push_back(entry);
    return ERROR_SUCCESS;
}

void ReleaseShare(const TShareEntry& entry) {
    std::lock_guard guard(tableLock);
    const auto it = std::find_if(openFiles.begin(), openFiles.end(), [&](const TShareEntry& held) {
        return SameFile(held, entry) && held.access == entry.access && held.share == entry.share;
    });
    if (it != openFiles.end()) {
        openFiles.erase(it);
    }
}

bool DeleteDenied(dev_t device, ino_t inode) {
    std::lock_guard guard(tableLock);
    return std::any_of(openFiles.begin(), openFiles.end(), [&](const TShareEntry& held) {
        return held.device == device && held.inode == inode && MovesData(held) &&
               (held.share & FILE_SHARE_DELETE) == 0;
    });
}

} // namespace orvane::platform
