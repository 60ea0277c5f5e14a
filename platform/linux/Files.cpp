// Files: CreateFileA and the calls on file handles, with Windows' dispositions, share
// modes, access rules and error codes.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"
#include "platform/linux/FileObject.h"
#include "platform/linux/FileTimes.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace orvane::platform {

namespace {

// Windows asks unbuffered transfers for whole sectors at sector-aligned addresses and
// file offsets.
constexpr std::uintptr_t SectorSize = 512;

} // namespace

BOOL TFileObject::Release() {
    ReleaseShare(share);
    return OsCalls().close(fd) == 0 ? TRUE : FailWithErrno(errno);
}

namespace {

HANDLE FailOpen(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

int OpenFlags(DWORD access) {
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    return write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
}

// An unbuffered transfer needs an aligned address, count and file offset (87 otherwise).
bool Aligned(const TFileObject& file, const void* buffer, DWORD count) {
    if ((reinterpret_cast<std::uintptr_t>(buffer) | count) % SectorSize != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const off_t offset = OsCalls().lseek(file.fd, 0, SEEK_CUR);
    if (offset < 0) {
        FailWithErrno(errno);
        return false;
    }
    if (static_cast<std::uintptr_t>(offset) % SectorSize != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Moves the whole count on a regular file: a disk transfer on Windows moves everything or
// fails. A short count of the system repeats the call for the rest; the end of the file
// ends a read early. Other files (pipes, devices) take what one call gives. On a failure
// `done` holds what was moved before it.
template <typename Buffer, typename Call>
BOOL Transfer(const TFileObject& file, Buffer buffer, DWORD count, DWORD& done, Call call) {
    done = 0;
    while (done < count) {
        const ssize_t moved = call(file.fd, buffer + done, count - done);
        if (moved < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FailWithErrno(errno);
        }
        if (moved == 0) {
            break;
        }
        done += static_cast<DWORD>(moved);
        if (!file.regular) {
            break;
        }
    }
    return TRUE;
}

// Empties the open file. Windows empties it for CREATE_ALWAYS whatever the access asked
// for; a descriptor without write access gets a writable twin of the same file for it
// (through /proc, so that it is the same file even if the name has moved on).
bool Empty(int fd, bool writable) {
    if (writable) {
        return OsCalls().ftruncate(fd, 0) == 0;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int twin = OsCalls().open(self.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK, 0);
    if (twin < 0) {
        return false;
    }
    const bool emptied = OsCalls().ftruncate(twin, 0) == 0;
    const int err = errno;
    OsCalls().close(twin);
    errno = err;
    return emptied;
}

// File systems that really compress a file whose compression attribute is set; others
// (ext4 among them) keep the attribute and store the data as it is.
bool Compresses(int fd) {
    struct statfs info {};
    return OsCalls().fstatfs(fd, &info) == 0 &&
           static_cast<unsigned long>(info.f_type) == BTRFS_SUPER_MAGIC;
}

} // namespace

} // namespace orvane::platform

using namespace orvane::platform;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   SECURITY_ATTRIBUTES*, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                   HANDLE) {
    if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING ||
        (dwCreationDisposition == TRUNCATE_EXISTING && (dwDesiredAccess & GENERIC_WRITE) == 0)) {
        return FailOpen(ERROR_INVALID_PARAMETER);
    }
    // Never blocking in the open: a FIFO without a writer (or a device that waits) at the
    // name must not hang the caller. Cleared again below for anything but a regular file.
    int flags = OpenFlags(dwDesiredAccess) | O_CLOEXEC | O_NONBLOCK;
    if ((dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING) != 0) {
        flags |= O_DIRECT;
    }
    if ((dwFlagsAndAttributes & FILE_FLAG_WRITE_THROUGH) != 0) {
        flags |= O_DSYNC;
    }
    if ((dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        flags |= O_NOFOLLOW;
    }
    const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    const bool mayCreate = dwCreationDisposition == CREATE_NEW ||
                           dwCreationDisposition == CREATE_ALWAYS ||
                           dwCreationDisposition == OPEN_ALWAYS;
    // An open that may create or empty a file never follows a symbolic link in the last
    // component: a link planted where a new file is expected must not redirect the
    // writes (or the truncation) to a file of someone else's.
    if (mayCreate || dwCreationDisposition == TRUNCATE_EXISTING) {
        flags |= O_NOFOLLOW;
    }

    const auto open = [&](int extra) {
        int fd = OsCalls().open(lpFileName, flags | extra, mode);
        if (fd < 0 && errno == EINVAL && (flags & O_DIRECT) != 0) {
            // A file system without direct I/O: the alignment rules are still checked here.
            fd = OsCalls().open(lpFileName, (flags & ~O_DIRECT) | extra, mode);
        }
        return fd;
    };

    // Create exclusively first, so that "it existed" is known and nothing is truncated
    // before the share modes have been checked.
    bool existed = !mayCreate;
    bool created = false; // by this call: removed again if the call fails after all
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        if (mayCreate) {
            fd = open(O_CREAT | O_EXCL);
            created = fd >= 0;
            if (fd >= 0 || errno != EEXIST || dwCreationDisposition == CREATE_NEW) {
                break;
            }
            existed = true;
        }
        fd = open(0);
        if (fd >= 0 || errno != ENOENT || !mayCreate) {
            break; // else it vanished in between: create it after all
        }
    }
    if (fd < 0) {
        const int err = errno;
        if (err == EEXIST) {
            return FailOpen(ERROR_FILE_EXISTS);
        }
        if (err == ELOOP && (flags & O_NOFOLLOW) != 0) {
            return FailOpen(ERROR_ACCESS_DENIED); // a link where no link may be
        }
        return FailOpen(mayCreate && err == ENOENT ? ERROR_PATH_NOT_FOUND
                                                   : PathError(lpFileName, err));
    }

    struct stat info {};
    const auto fail = [&](DWORD code) {
        OsCalls().close(fd);
        if (created) {
            OsCalls().unlink(lpFileName); // a failed CreateFileA leaves no new file behind
        }
        return FailOpen(code);
    };
    if (OsCalls().fstat(fd, &info) != 0) {
        return fail(Win32ErrorFromErrno(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    const bool regular = S_ISREG(info.st_mode);
    if (!regular) {
        const int status = OsCalls().fcntl(fd, F_GETFL, 0);
        if (status < 0 || OsCalls().fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
            return fail(Win32ErrorFromErrno(errno));
        }
    }
    const bool truncate = dwCreationDisposition == TRUNCATE_EXISTING ||
                          (dwCreationDisposition == CREATE_ALWAYS && existed);
    // The read-only attribute (no write permission at all) holds even for root, also
    // against emptying the file.
    const bool wantsWrite = (dwDesiredAccess & GENERIC_WRITE) != 0;
    if (existed && (wantsWrite || truncate) && (info.st_mode & 0222) == 0) {
        return fail(ERROR_ACCESS_DENIED);
    }

    auto file = std::make_unique<TFileObject>();
    file->fd = fd;
    file->share = {info.st_dev, info.st_ino, dwDesiredAccess, dwShareMode};
    file->noBuffering = (dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING) != 0;
    file->regular = regular;
    if (const DWORD code = AcquireShare(fd, file->share); code != ERROR_SUCCESS) {
        return fail(code);
    }
    if (truncate && info.st_size != 0 && !Empty(fd, wantsWrite)) {
        const DWORD code = Win32ErrorFromErrno(errno);
        ReleaseShare(file->share);
        return fail(code);
    }
    HANDLE handle = InsertObject(std::move(file));
    if (handle == INVALID_HANDLE_VALUE) {
        if (created) {
            OsCalls().unlink(lpFileName);
        }
        return handle; // the object has released its descriptor
    }
    const bool reportsExisting =
        existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              OVERLAPPED*) {
    TFileObject* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    if (lpNumberOfBytesRead == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    if ((file->share.access & GENERIC_READ) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (file->noBuffering && !Aligned(*file, lpBuffer, nNumberOfBytesToRead)) {
        return FALSE;
    }
    return Transfer(*file, static_cast<char*>(lpBuffer), nNumberOfBytesToRead, *lpNumberOfBytesRead,
                    [](int fd, char* at, DWORD count) { return OsCalls().read(fd, at, count); });
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               DWORD* lpNumberOfBytesWritten, OVERLAPPED*) {
    TFileObject* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    if (lpNumberOfBytesWritten == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpNumberOfBytesWritten = 0;
    if ((file->share.access & GENERIC_WRITE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (file->noBuffering && !Aligned(*file, lpBuffer, nNumberOfBytesToWrite)) {
        return FALSE;
    }
    DWORD& done = *lpNumberOfBytesWritten;
    const BOOL ok = Transfer(
        *file, static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite, done,
        [](int fd, const char* at, DWORD count) { return OsCalls().write(fd, at, count); });
    if (ok && file->regular && done < nNumberOfBytesToWrite) {
        SetLastError(ERROR_DISK_FULL); // the system took nothing more: no room left
        return FALSE;
    }
    return ok;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
    TFileObject* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (dwMoveMethod > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const std::int64_t distance =
        lpDistanceToMoveHigh != nullptr
            ? static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                  static_cast<DWORD>(lDistanceToMove))
            : static_cast<std::int64_t>(lDistanceToMove);

    // Without a high part the result must fit 32 bits; the pointer then must not move when
    // it would not, so the old position is needed first.
    off_t previous = -1;
    if (lpDistanceToMoveHigh == nullptr && dwMoveMethod != FILE_BEGIN) {
        previous = OsCalls().lseek(file->fd, 0, SEEK_CUR);
        if (previous < 0) {
            FailWithErrno(errno);
            return INVALID_SET_FILE_POINTER;
        }
    }
    const off_t result = OsCalls().lseek(file->fd, distance, whence[dwMoveMethod]);
    if (result < 0) {
        // lseek refuses a negative result with EINVAL; Windows names it.
        SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh == nullptr && result > 0xFFFFFFFELL) {
        if (previous >= 0) {
            OsCalls().lseek(file->fd, previous, SEEK_SET);
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh != nullptr) {
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<std::uint64_t>(result) >> 32);
    }
    // A low part of 0xFFFFFFFF is a position, not a failure, when the last error is 0.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<std::uint64_t>(result) & 0xFFFFFFFF);
}

DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh) {
    TFileObject* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return INVALID_FILE_SIZE;
    }
    struct stat info {};
    if (OsCalls().fstat(file->fd, &info) != 0) {
        FailWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFF);
}

namespace {

// The file behind a handle opened for writing; nullptr with the last error set (6 for a
// handle that is no open file, 5 for one without write access) otherwise.
TFileObject* WritableFile(HANDLE handle) {
    TFileObject* file = Lookup<TFileObject>(handle);
    if (file != nullptr && (file->share.access & GENERIC_WRITE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return file;
}

} // namespace

BOOL SetEndOfFile(HANDLE hFile) {
    TFileObject* file = WritableFile(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    const off_t position = OsCalls().lseek(file->fd, 0, SEEK_CUR);
    if (position < 0 || OsCalls().ftruncate(file->fd, position) != 0) {
        return FailWithErrno(errno);
    }
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    TFileObject* file = WritableFile(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    int result;
    do {
        result = OsCalls().fdatasync(file->fd);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINVAL) { // EINVAL: a pipe or device that keeps no data
        return FailWithErrno(errno);
    }
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    TFileObject* file = Lookup<TFileObject>(hFile);
    if (file == nullptr) {
        return FALSE;
    }
    struct stat info {};
    if (lpFileInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (OsCalls().fstat(file->fd, &info) != 0) {
        return FailWithErrno(errno);
    }
    BY_HANDLE_FILE_INFORMATION& out = *lpFileInformation;
    out = {};
    out.dwFileAttributes =
        (info.st_mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    out.ftCreationTime = FileTimeOfTimespec(info.st_ctim);
    out.ftLastAccessTime = FileTimeOfTimespec(info.st_atim);
    out.ftLastWriteTime = FileTimeOfTimespec(info.st_mtim);
    const auto device = static_cast<std::uint64_t>(info.st_dev);
    out.dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    out.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    out.nFileSizeLow = static_cast<DWORD>(size);
    out.nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    const auto inode = static_cast<std::uint64_t>(info.st_ino);
    out.nFileIndexHigh = static_cast<DWORD>(inode >> 32);
    out.nFileIndexLow = static_cast<DWORD>(inode);
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    std::unique_ptr<TKernelObject> object = RemoveObject(hObject);
    if (object == nullptr) {
        return FALSE;
    }
    return object->Release();
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID, DWORD, DWORD* lpBytesReturned, OVERLAPPED*) {
    TFileObject* file = Lookup<TFileObject>(hDevice);
    if (file == nullptr) {
        return FALSE;
    }
    if (dwIoControlCode != FSCTL_SET_COMPRESSION) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (lpInBuffer == nullptr || nInBufferSize < sizeof(WORD)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const WORD format = *static_cast<const WORD*>(lpInBuffer);
    if (!Compresses(file->fd)) {
        SetLastError(ERROR_INVALID_FUNCTION); // as a volume without compression answers
        return FALSE;
    }
    // The file system's own compression attribute.
    int attributes = 0;
    if (OsCalls().ioctl(file->fd, FS_IOC_GETFLAGS, &attributes) != 0) {
        SetLastError(errno == ENOTTY || errno == EOPNOTSUPP ? ERROR_INVALID_FUNCTION
                                                            : Win32ErrorFromErrno(errno));
        return FALSE;
    }
    const int wanted = format == COMPRESSION_FORMAT_NONE ? (attributes & ~FS_COMPR_FL)
                                                         : (attributes | FS_COMPR_FL);
    int now = 0;
    if (OsCalls().ioctl(file->fd, FS_IOC_SETFLAGS, const_cast<int*>(&wanted)) != 0) {
        SetLastError(errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL
                         ? ERROR_INVALID_FUNCTION
                         : Win32ErrorFromErrno(errno));
        return FALSE;
    }
    // Some file systems accept the flag and drop it: that is no compression either.
    if (OsCalls().ioctl(file->fd, FS_IOC_GETFLAGS, &now) != 0 ||
        (now & FS_COMPR_FL) != (wanted & FS_COMPR_FL)) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (lpBytesReturned != nullptr) {
        *lpBytesReturned = 0;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    struct stat info {};
    if (lpFileName == nullptr || OsCalls().lstat(lpFileName, &info) != 0) {
        SetLastError(lpFileName == nullptr ? ERROR_INVALID_PARAMETER
                                           : PathError(lpFileName, errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISLNK(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target {};
        if (OsCalls().stat(lpFileName, &target) == 0 && S_ISDIR(target.st_mode)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        }
    } else {
        if (S_ISDIR(info.st_mode)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        }
        if ((info.st_mode & 0222) == 0) {
            attributes |= FILE_ATTRIBUTE_READONLY;
        }
        if (S_ISREG(info.st_mode)) {
            const int fd =
                OsCalls().open(lpFileName, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0);
            int flags = 0;
            if (fd >= 0 && OsCalls().ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                (flags & FS_COMPR_FL) != 0 && Compresses(fd)) {
                attributes |= FILE_ATTRIBUTE_COMPRESSED;
            }
            if (fd >= 0) {
                OsCalls().close(fd);
            }
        }
    }
    SetLastError(ERROR_SUCCESS);
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
    struct stat info {};
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (OsCalls().lstat(lpFileName, &info) != 0) {
        SetLastError(PathError(lpFileName, errno));
        return FALSE;
    }
    // Windows refuses directories and read-only files; unlink would remove the latter.
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && (info.st_mode & 0222) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (DeleteDenied(info.st_dev, info.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (OsCalls().unlink(lpFileName) != 0) {
        SetLastError(PathError(lpFileName, errno));
        return FALSE;
    }
    return TRUE;
}
