// The one errno-to-Win32 table every call reports through, and the path-aware reading of
// a failed look-up.
#include "platform/linux/ErrnoMap.h"

#include "platform/OsCalls.h"

#include <cerrno>
#include <string>

namespace orvane::platform {

namespace {

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
bool IsDirectory(const std::string& path) {
    struct stat info {};
    return OsCalls().stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ParentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

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

DWORD PathError(const char* path, int err) {
    if (err == ENOENT && *path != '\0' && IsDirectory(ParentOf(path))) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (err == ENOENT || err == ENOTDIR) {
        return ERROR_PATH_NOT_FOUND;
    }
    return Win32ErrorFromErrno(err);
}

} // namespace orvane::platform
