// The current directory, free space and full-path expansion.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orvane::platform;

namespace {

// Copies `text` into a caller's buffer of `size` bytes: the length without the NUL when it
// fits, else the size needed with the NUL (Windows' convention for these calls).
DWORD CopyOut(const std::string& text, DWORD size, LPSTR buffer) {
    const auto length = static_cast<DWORD>(text.size());
    if (buffer == nullptr || length + 1 > size) {
        return length + 1;
    }
    std::memcpy(buffer, text.c_str(), length + 1);
    return length;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (OsCalls().getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

} // namespace

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (lpPathName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (OsCalls().chdir(lpPathName) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    const std::string directory = CurrentDirectory();
    if (directory.empty()) {
        FailWithErrno(errno);
        return 0;
    }
    return CopyOut(directory, nBufferLength, lpBuffer);
}

BOOL GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, ULARGE_INTEGER* lpFreeBytesAvailableToCaller,
                         ULARGE_INTEGER* lpTotalNumberOfBytes,
                         ULARGE_INTEGER* lpTotalNumberOfFreeBytes) {
    struct statvfs info {};
    const char* directory = lpDirectoryName != nullptr ? lpDirectoryName : ".";
    if (OsCalls().statvfs(directory, &info) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : Win32ErrorFromErrno(errno));
        return FALSE;
    }
    const ULONGLONG unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    // Blocks reserved for root are not available to an ordinary caller: f_bavail.
    if (lpFreeBytesAvailableToCaller != nullptr) {
        lpFreeBytesAvailableToCaller->QuadPart = ULONGLONG{info.f_bavail} * unit;
    }
    if (lpTotalNumberOfBytes != nullptr) {
        lpTotalNumberOfBytes->QuadPart = ULONGLONG{info.f_blocks} * unit;
    }
    if (lpTotalNumberOfFreeBytes != nullptr) {
        lpTotalNumberOfFreeBytes->QuadPart = ULONGLONG{info.f_bfree} * unit;
    }
    return TRUE;
}

// Lexical, as on Windows: relative names are taken against the current directory, "." and
// ".." components are resolved by name, and no link is followed.
DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
    if (lpFileName == nullptr || *lpFileName == '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string path = lpFileName;
    if (path.front() != '/') {
        const std::string directory = CurrentDirectory();
        if (directory.empty()) {
            FailWithErrno(errno);
            return 0;
        }
        path = directory + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) {
        full += "/" + part;
    }
    const bool directoryName = path.back() == '/' && !parts.empty();
    if (full.empty()) {
        full.push_back('/'); // (assigning "/" trips a false -Wrestrict in GCC 12)
    } else if (directoryName) {
        full += "/";
    }
    const DWORD result = CopyOut(full, nBufferLength, lpBuffer);
    if (lpFilePart != nullptr) {
        *lpFilePart = nullptr;
        if (result < nBufferLength && !directoryName && full != "/") {
            *lpFilePart = lpBuffer + full.find_last_of('/') + 1;
        }
    }
    return result;
}
