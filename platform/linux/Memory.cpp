// Page memory: VirtualAlloc gives page-aligned, zero-filled pages from anonymous mappings;
// locking maps to mlock, whose refusal reads as Windows' working-set quota.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

using namespace orvane::platform;

namespace {

std::mutex regionLock;
std::map<void*, SIZE_T> regions; // start -> length, for VirtualFree
// Locked pages as disjoint runs, start -> end: Windows refuses to unlock what is not locked.
std::map<std::uintptr_t, std::uintptr_t> lockedRuns;

SIZE_T PageSize() {
    return static_cast<SIZE_T>(::sysconf(_SC_PAGESIZE));
}

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

DWORD LockError(int err) {
    return err == ENOMEM || err == EAGAIN || err == EPERM ? ERROR_WORKING_SET_QUOTA
                                                          : Win32ErrorFromErrno(err);
}

// The whole pages that [address, address + size) touches.
std::pair<std::uintptr_t, std::uintptr_t> PagesOf(LPVOID address, SIZE_T size) {
    const std::uintptr_t page = PageSize();
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    return {start / page * page, (start + size + page - 1) / page * page};
}

void AddLocked(std::uintptr_t start, std::uintptr_t end) {
    auto it = lockedRuns.upper_bound(start);
    if (it != lockedRuns.begin() && std::prev(it)->second >= start) {
        --it;
    }
    while (it != lockedRuns.end() && it->first <= end) {
        start = std::min(start, it->first);
        end = std::max(end, it->second);
        it = lockedRuns.erase(it);
    }
    lockedRuns[start] = end;
}

void RemoveLocked(std::uintptr_t start, std::uintptr_t end) {
    auto it = lockedRuns.upper_bound(start);
    if (it != lockedRuns.begin()) {
        --it;
    }
    while (it != lockedRuns.end() && it->first < end) {
        const auto [runStart, runEnd] = *it;
        it = lockedRuns.erase(it);
        if (runStart < start) {
            lockedRuns[runStart] = std::min(runEnd, start);
        }
        if (runEnd > end) {
            lockedRuns[end] = runEnd;
        }
    }
}

bool AllLocked(std::uintptr_t start, std::uintptr_t end) {
    auto it = lockedRuns.upper_bound(start);
    if (it == lockedRuns.begin()) {
        return false;
    }
    --it;
    return it->first <= start && it->second >= end; // runs are merged: one must hold it all
}

} // namespace

LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    if (lpAddress != nullptr || dwSize == 0 || (flAllocationType & MEM_COMMIT) == 0 ||
        flProtect != PAGE_READWRITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const SIZE_T page = PageSize();
    const SIZE_T length = (dwSize + page - 1) / page * page;
    void* memory =
        OsCalls().mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::lock_guard guard(regionLock);
    regions[memory] = length;
    return memory;
}

BOOL VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    if (dwFreeType != MEM_RELEASE || dwSize != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    SIZE_T length = 0;
    {
        std::lock_guard guard(regionLock);
        const auto it = regions.find(lpAddress);
        if (it == regions.end()) {
            return Fail(ERROR_INVALID_ADDRESS);
        }
        length = it->second;
        if (OsCalls().munmap(lpAddress, length) != 0) {
            return FailWithErrno(errno);
        }
        regions.erase(it);
        const auto [start, end] = PagesOf(lpAddress, length);
        RemoveLocked(start, end); // released pages are unlocked with them
    }
    return TRUE;
}

BOOL VirtualLock(LPVOID lpAddress, SIZE_T dwSize) {
    if (OsCalls().mlock(lpAddress, dwSize) != 0) {
        return Fail(LockError(errno));
    }
    std::lock_guard guard(regionLock);
    const auto [start, end] = PagesOf(lpAddress, dwSize);
    AddLocked(start, end);
    return TRUE;
}

BOOL VirtualUnlock(LPVOID lpAddress, SIZE_T dwSize) {
    std::lock_guard guard(regionLock);
    const auto [start, end] = PagesOf(lpAddress, dwSize);
    if (!AllLocked(start, end)) {
        return Fail(ERROR_NOT_LOCKED);
    }
    if (OsCalls().munlock(lpAddress, dwSize) != 0) {
        return FailWithErrno(errno);
    }
    RemoveLocked(start, end);
    return TRUE;
}

void GetSystemInfo(SYSTEM_INFO* lpSystemInfo) {
    *lpSystemInfo = {};
    lpSystemInfo->dwPageSize = static_cast<DWORD>(PageSize());
    // Allocations are as fine-grained as the page here.
    lpSystemInfo->dwAllocationGranularity = lpSystemInfo->dwPageSize;
    lpSystemInfo->dwNumberOfProcessors = std::max(1u, std::thread::hardware_concurrency());
}
