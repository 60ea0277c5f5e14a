// Page memory: VirtualAlloc gives page-aligned, zero-filled pages from anonymous mappings;
// locking maps to mlock, whose refusal reads as Windows' working-set quota.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

using namespace orvane::platform;

namespace {

std::mutex regionLock;
std::map<void*, SIZE_T> regions; // start -> length, for VirtualFree

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
        regions.erase(it);
    }
    return ::munmap(lpAddress, length) == 0 ? TRUE : FailWithErrno(errno);
}

BOOL VirtualLock(LPVOID lpAddress, SIZE_T dwSize) {
    if (OsCalls().mlock(lpAddress, dwSize) != 0) {
        return Fail(LockError(errno));
    }
    return TRUE;
}

BOOL VirtualUnlock(LPVOID lpAddress, SIZE_T dwSize) {
    return ::munlock(lpAddress, dwSize) == 0 ? TRUE : FailWithErrno(errno);
}

void GetSystemInfo(SYSTEM_INFO* lpSystemInfo) {
    *lpSystemInfo = {};
    lpSystemInfo->dwPageSize = static_cast<DWORD>(PageSize());
    // Allocations are as fine-grained as the page here.
    lpSystemInfo->dwAllocationGranularity = lpSystemInfo->dwPageSize;
    lpSystemInfo->dwNumberOfProcessors = std::max(1u, std::thread::hardware_concurrency());
}
