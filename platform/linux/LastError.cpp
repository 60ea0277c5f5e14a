// The per-thread last error and the one errno-to-Win32 table every call reports through.
#include "platform/linux/ErrnoMap.h"

#include <cerrno>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrnoEntry {
    int err;
    DWORD code;
};

constexpr ErrnoEntry errnoTable[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ELOOP, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {EISDIR, ERROR_ACCESS_DENIED},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EAGAIN, ERROR_LOCK_VIOLATION},
    {EEXIST, ERROR_FILE_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {EBUSY, ERROR_BUSY},
    {EIO, ERROR_IO_DEVICE},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {EPIPE, ERROR_BROKEN_PIPE},
    {ESRCH, ERROR_INVALID_HANDLE},
    {ETIMEDOUT, ERROR_TIMEOUT},
    {EINTR, ERROR_OPERATION_ABORTED},
    {ENXIO, ERROR_NOT_READY},
    {ENODEV, ERROR_NOT_READY},
};
} // namespace

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

namespace orvane::platform {

DWORD Win32ErrorFromErrno(int err) {
    for (const ErrnoEntry& entry : errnoTable) {
        if (entry.err == err) {
            return entry.code;
        }
    }
    return ERROR_GEN_FAILURE;
}

BOOL FailWithErrno(int err) {
    SetLastError(Win32ErrorFromErrno(err));
    return FALSE;
}

} // namespace orvane::platform
